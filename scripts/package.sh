#!/usr/bin/env bash
# Builds the Debian package (a Release build of the three programs, then
# cpack) in build/package and prints its path. Install it with
# apt-get install ./build/package/quorvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build/package
# Debian's hardening flags, as its own packages are built.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j2
# One package in the folder, so the install command's pattern names it alone.
rm -f "$build"/quorvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/quorvane_*.deb
