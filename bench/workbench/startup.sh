#!/usr/bin/env bash
# Time from starting the workbench to its login dialog on screen, under
# xvfb-run (median of five runs). Needs build/release/bin/quorvane.
#   bash bench/workbench/startup.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
bin=${1:-$PWD/build/release/bin/quorvane}
appdata=$(mktemp -d)
trap 'rm -rf "$appdata"' EXIT
export APPDATA=$appdata QUORVANE_BIN=$bin
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  times=()
  for run in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$QUORVANE_BIN" & app=$!
    until xdotool search --onlyvisible --name "Регистрация пользователя" >/dev/null 2>&1; do sleep 0.005; done
    end=$(date +%s%N)
    kill $app; wait $app 2>/dev/null || true
    times+=($(( (end - start) / 1000000 )))
  done
  sorted=($(printf "%s\n" "${times[@]}" | sort -n))
  echo "start to login dialog: median ${sorted[2]} ms (runs: ${times[*]} ms)"
'
