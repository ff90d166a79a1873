#!/usr/bin/env bash
# Builds the workbench and the demo server, starts the server with its
# sample database "Shop" on 127.0.0.1, and opens the workbench with the demo
# login preset (sa / demo). The server stops when the workbench closes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
build=$root/build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target quorvane quorvane-testserver

server_bin=${QUORVANE_DEMO_SERVER:-$build/bin/quorvane-testserver}
data=$build/demo-data
settings=$build/demo-settings
rm -rf "$data"
mkdir -p "$data" "$settings/Velquist/Quorvane/1.0"

# Port 1433 when it is free, so "(local)" reaches the server; any free port otherwise.
port=1433
if (exec 3<>/dev/tcp/127.0.0.1/1433) 2>/dev/null; then
  port=0
fi
log=$build/demo-server.log
"$server_bin" --port "$port" --data "$data" --login sa:demo --demo >"$log" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  grep -q '^listening on' "$log" && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$log"; echo "demo: the server did not start" >&2; exit 1; }
  sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -n 1)
[ -n "$port" ] || { cat "$log"; echo "demo: the server did not start" >&2; exit 1; }

# The login dialog lists "(local)" and the FreeTDS configuration's servers;
# on another port the demo server gets an entry of its own there.
server_name="(local)"
freetds=$settings/freetds.conf
: >"$freetds"
if [ "$port" != 1433 ]; then
  server_name="127.0.0.1,$port"
  printf '[%s]\n\thost = 127.0.0.1\n\tport = %s\n\ttds version = 7.4\n' "$server_name" "$port" >"$freetds"
fi
printf '[Connection]\r\nLogin=sa\r\nServerName=%s\r\n' "$server_name" \
  >"$settings/Velquist/Quorvane/1.0/Settings.ini"

echo "demo: server on 127.0.0.1:$port (database Shop); log in as sa with the password demo"
APPDATA=$settings FREETDSCONF=$freetds "$build/bin/quorvane"
