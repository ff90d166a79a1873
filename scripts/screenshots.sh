#!/usr/bin/env bash
# Makes the README's screenshots (docs/*.png): runs the workbench under
# xvfb-run against the demo server, photographs the login dialog, logs in,
# runs a query and photographs the main window, then walks the wizard for
# several tables (a ring of two tables made for the picture first).
# QUORVANE_BUILD names another build folder with both programs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${QUORVANE_BUILD:-$root/build/release}
server_bin=${QUORVANE_DEMO_SERVER:-$build/bin/quorvane-testserver}
if [ ! -x "$build/bin/quorvane" ] || [ ! -x "$server_bin" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
  cmake --build "$build" -j2 --target quorvane quorvane-testserver
fi
work=$(mktemp -d)
trap 'kill "${server_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

"$server_bin" --port 0 --data "$work/data" --login sa:demo --demo >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do grep -q '^listening on' "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/server.log" | head -n 1)
server_name="127.0.0.1,$port"
printf '[%s]\n\thost = 127.0.0.1\n\tport = %s\n\ttds version = 7.4\n' "$server_name" "$port" >"$work/freetds.conf"
mkdir -p "$work/appdata/Velquist/Quorvane/1.0"
printf '[Connection]\r\nLogin=sa\r\nServerName=%s\r\n' "$server_name" >"$work/appdata/Velquist/Quorvane/1.0/Settings.ini"
mkdir -p docs

cat >"$work/query.sql" <<'SQL'
SELECT Id, Title, Price, Created
  FROM Goods
 WHERE Price > 1
 ORDER BY Price DESC
GO
PRINT 'Done'
SQL
cat >"$work/ring.sql" <<'SQL'
CREATE TABLE Departments (Id int NOT NULL PRIMARY KEY, Name nvarchar(40) NOT NULL, ManagerId int NULL)
CREATE TABLE Employees (Id int NOT NULL PRIMARY KEY, Name nvarchar(60) NOT NULL, DepartmentId int NULL REFERENCES Departments(Id))
ALTER TABLE Departments ADD CONSTRAINT FK_Departments_Manager FOREIGN KEY (ManagerId) REFERENCES Employees(Id)
SQL
export SCRIPT_FILE=$work/query.sql RING_FILE=$work/ring.sql
export APPDATA=$work/appdata FREETDSCONF=$work/freetds.conf QUORVANE_BIN=$build/bin/quorvane
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -e
  wait_for() { for _ in $(seq 1 100); do id=$(xdotool search --name "$1" 2>/dev/null | head -n 1); [ -n "$id" ] && { echo "$id"; return 0; }; sleep 0.1; done; return 1; }
  "$QUORVANE_BIN" & app=$!
  login=$(wait_for "Регистрация пользователя")
  sleep 0.5
  xdotool windowactivate --sync "$login" 2>/dev/null || true
  xdotool key Tab && xdotool type --delay 20 "demo"
  sleep 0.3
  import -window "$login" docs/login-dialog.png
  xdotool key Return
  main=$(wait_for "Генератор скриптов")
  sleep 1
  # No window manager under xvfb: maximise and focus by hand.
  xdotool windowmove "$main" 0 0 windowsize "$main" 1280 800
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  sleep 0.5
  # The sample database, then a new script typed into the editor.
  xdotool mousemove 110 100 click 1 && sleep 0.5 && xdotool mousemove 50 166 click 1 && sleep 0.5
  xdotool key ctrl+n
  sleep 0.3
  xdotool mousemove 700 300 click 1
  sleep 0.2
  while IFS= read -r line; do
    [ -n "$line" ] && xdotool type --delay 5 "$line"
    xdotool key Return
  done <"$SCRIPT_FILE"
  xdotool key F5
  sleep 1.5
  import -window root docs/main-window.png
  # The wizard for several tables: a ring refused, then three related tables.
  xdotool key ctrl+n
  sleep 0.3
  xdotool mousemove 700 300 click 1
  while IFS= read -r line; do
    xdotool type --delay 5 "$line"
    xdotool key Return
  done <"$RING_FILE"
  xdotool key F5
  sleep 1
  xdotool key ctrl+alt+n
  wizard=$(wait_for "Скрипт для нескольких таблиц")
  sleep 0.5
  xdotool windowfocus --sync "$wizard" 2>/dev/null || true
  # Ticks a table of the list: type-ahead finds it, Space ticks it.
  tick() { sleep 0.6; xdotool type --delay 30 "$1"; sleep 0.2; xdotool key space; }
  eval "$(xdotool getwindowgeometry --shell "$wizard")"
  next() { xdotool mousemove $((X + WIDTH - 126)) $((Y + HEIGHT - 20)) click 1; sleep 0.7; }
  tick Departments; tick Employees
  sleep 0.3
  import -window "$wizard" docs/several-tables-ring.png
  tick Departments; tick Employees
  tick OrderItems; tick Orders; tick Customers
  sleep 0.3
  import -window "$wizard" docs/several-tables-list.png
  next
  import -window "$wizard" docs/several-tables-defaults.png
  next
  import -window "$wizard" docs/several-tables-options.png
  next
  placement=$(wait_for "Скрипт успешно создан")
  sleep 0.5
  import -window "$placement" docs/several-tables-placement.png
  kill $app
'
echo "screenshots: docs/login-dialog.png docs/main-window.png docs/several-tables-*.png"
