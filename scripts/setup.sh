#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when something is missing.
# Idempotent; meant to run as root on Debian 12 (uses sudo when not root).
set -euo pipefail

packages=(
  build-essential cmake
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libqscintilla2-qt6-dev
  unixodbc unixodbc-dev tdsodbc freetds-bin
  libsqlite3-dev sqlite3
  libsimpleini-dev
  clang libclang-rt-14-dev
  xvfb xauth imagemagick xdotool
  breeze-icon-theme libqt6svg6 fonts-liberation2
  librsvg2-bin desktop-file-utils appstream man-db
  nodejs
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# npm may come from Debian or with the machine's Node.js; either will do.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
