#!/usr/bin/env bash
# Installs the build into a temporary prefix, starts the installed programs
# and checks the installed files the way a desktop, man and a package
# manager read them.
# usage: check_install.sh CMAKE BUILD_DIR VERSION DEB_VERSION APP_ID
set -uo pipefail
cmake_bin=$1 build=$2 version=$3 deb_version=$4 app_id=$5

prefix=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
pass() { echo "ok - $1"; }
fail() { echo "not ok - $1"; failures=$((failures + 1)); }

if ! "$cmake_bin" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log"; rm -f "$prefix.log"
  echo "not ok - cmake --install"; exit 1
fi
rm -f "$prefix.log"
pass "cmake --install into $prefix"

# ---- the files, where a desktop looks for them
programs=(quorvane quorvane-script quorvane-testserver)
data_files=(
  "share/applications/$app_id.desktop"
  "share/metainfo/$app_id.metainfo.xml"
  share/icons/hicolor/scalable/apps/quorvane.svg
  share/icons/hicolor/48x48/apps/quorvane.png
  share/icons/hicolor/128x128/apps/quorvane.png
  share/man/man1/quorvane.1.gz
  share/man/man1/quorvane-script.1.gz
  share/man/man1/quorvane-testserver.1.gz
  share/doc/quorvane/copyright
  share/doc/quorvane/changelog.Debian.gz
  share/lintian/overrides/quorvane
)
for p in "${programs[@]}"; do
  if [ -f "$prefix/bin/$p" ] && [ -x "$prefix/bin/$p" ]; then pass "bin/$p installed"; else fail "bin/$p installed"; fi
  # The build tree's library paths must not follow the program.
  if readelf -d "$prefix/bin/$p" 2>/dev/null | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
    fail "bin/$p points into the build tree"
  fi
done
for f in "${data_files[@]}"; do
  if [ ! -f "$prefix/$f" ]; then
    fail "$f installed"
  elif [ -x "$prefix/$f" ]; then
    fail "$f is not executable"
  else
    pass "$f installed"
  fi
done

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in 48 128; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/quorvane.png
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" 2>/dev/null |
    awk '{ print ($1*16777216 + $2*65536 + $3*256 + $4), ($5*16777216 + $6*65536 + $7*256 + $8) }')
  if [ "$(head -c 8 "$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
     [ "${w:-}" = "$size" ] && [ "${h:-}" = "$size" ]; then
    pass "icon PNG is ${size}x${size}"
  else
    fail "icon PNG is ${size}x${size} (got ${w:-?}x${h:-?})"
  fi
done

# ---- the installed programs answer --help and --version, without a display
# name | arguments | exit status | the whole first line of standard output (a
# trailing * matches any rest)
cases=(
  "quorvane|--help|0|usage: quorvane *"
  "quorvane|-h|0|usage: quorvane *"
  "quorvane|--version|0|quorvane $version"
  "quorvane|-platform offscreen --version|0|quorvane $version"
  "quorvane-script|--version|0|quorvane-script $version"
  "quorvane-script|--help|0|usage: quorvane-script *"
  "quorvane-script|--version=2|2|"
  "quorvane-testserver|--version|0|quorvane-testserver $version"
  "quorvane-testserver|--help|0|usage: quorvane-testserver *"
  "quorvane-testserver|--bogus|2|"
)
out=$prefix/.out err=$prefix/.err
for c in "${cases[@]}"; do
  IFS='|' read -r prog args want_code want_line <<<"$c"
  # shellcheck disable=SC2086 # the arguments are split on purpose
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$prog" $args </dev/null >"$out" 2>"$err"
  code=$?
  first=$(head -n 1 "$out")
  ok=1
  [ "$code" = "$want_code" ] || ok=0
  if [ "$want_code" = 0 ]; then
    # shellcheck disable=SC2053 # the pattern is meant to match
    [[ $first == $want_line ]] || ok=0
    [ -s "$err" ] && ok=0
  else
    [ -s "$out" ] && ok=0
    [ -s "$err" ] || ok=0
  fi
  if [ $ok = 1 ]; then
    pass "$prog $args"
  else
    fail "$prog $args: exit $code, first line \"$first\", stderr: $(head -c 300 "$err")"
  fi
done

# ---- desktop entry and AppStream metadata, as their validators see them
desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
if report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ]; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate: $report"
fi
if report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1); then
  pass "appstreamcli validate --no-net"
else
  fail "appstreamcli validate --no-net: $report"
fi
icon=$(sed -n 's/^Icon=//p' "$desktop")
if [ -n "$icon" ] && [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ]; then
  pass "the desktop entry's icon is installed"
else
  fail "the desktop entry's icon \"$icon\" is installed"
fi
if grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"; then
  pass "the metadata launches the installed desktop entry"
else
  fail "the metadata launches $app_id.desktop"
fi
newest_release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
if [ "$newest_release" = "$version" ]; then
  pass "the metadata's newest release is $version"
else
  fail "the metadata's newest release is $version (got \"$newest_release\")"
fi
newest_entry=$(gzip -dc "$prefix/share/doc/quorvane/changelog.Debian.gz" | sed -n '1s/^quorvane (\([^)]*\)).*/\1/p')
if [ "$newest_entry" = "$deb_version" ]; then
  pass "the Debian changelog's newest entry is $deb_version"
else
  fail "the Debian changelog's newest entry is $deb_version (got \"$newest_entry\")"
fi

# ---- manual pages: man renders them without a warning, and each documents
# exactly the options its program's --help lists
for p in "${programs[@]}"; do
  page=$prefix/share/man/man1/$p.1.gz
  if LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$out" 2>"$err" && [ ! -s "$err" ] &&
     grep -q '^NAME' "$out" && grep -q "^QUORVANE" "$out"; then
    pass "man -l $p.1.gz"
  else
    fail "man -l $p.1.gz: $(head -c 500 "$err")"
  fi
  # The tag line after each .TP names the option(s) of an entry.
  documented=$(gzip -dc "$page" | awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }' |
    sed 's/\\-/-/g' | grep -oE -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' ')
  listed=$("$prefix/bin/$p" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' ')
  if [ -n "$listed" ] && [ "$documented" = "$listed" ]; then
    pass "$p.1 documents every option of --help"
  else
    fail "$p.1 documents every option of --help: page [$documented], --help [$listed]"
  fi
done

echo "$failures failed"
[ "$failures" = 0 ]
