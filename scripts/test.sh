#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON >/dev/null
cmake --build build/test -j2
cd build/test
ctest --output-on-failure -j2 --timeout 900
