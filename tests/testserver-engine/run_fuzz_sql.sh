#!/usr/bin/env bash
# Builds the SQL parser fuzz target with clang/libFuzzer in its own build
# folder and runs it for a while. Usage: run_fuzz_sql.sh FUZZ_SOURCE_DIR BUILD_DIR SECONDS
set -euo pipefail
src=$1 build=$2 seconds=$3
cmake -S "$src" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
corpus="$build/corpus"
mkdir -p "$corpus"
rm -f "$build"/crash-*
# Seeds: the statements the tool and the data script send.
printf "SELECT * FROM sysobjects WHERE xtype='U '\r\n ORDER BY name" >"$corpus/catalogue"
printf "EXEC sp_MShelpcolumns 'Order Lines'" >"$corpus/helpcolumns"
printf "DECLARE @T TABLE (Id1 int, Title1 varchar(50));\r\nINSERT INTO @T(Id1, Title1) \r\n  VALUES(1, N'a\\\\\r\nb' + CHAR(13));\r\nUPDATE t SET a = T.a1 FROM @T AS T WHERE (k = T.k1)\r\nINSERT INTO t(k) SELECT k1 FROM @T AS T WHERE NOT EXISTS(SELECT * FROM t WHERE (k = T.k1))\r\nDBCC CHECKIDENT(t, RESEED);" >"$corpus/script"
printf "CREATE TABLE [x y] (Id int IDENTITY(1,1) CONSTRAINT pk PRIMARY KEY, d decimal(18,2) DEFAULT 0, c AS (d * 2)) /* c */ -- d" >"$corpus/create"
printf "19.06.1992 22:22:17.997" >"$corpus/date"
log="$build/fuzz.log"
status=0
"$build/fuzz_sql" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$build/" \
  -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
echo "fuzz_sql: ${runs:-?} inputs in ${seconds} s, exit status $status"
if [ "$status" -ne 0 ]; then
  tail -40 "$log"
  echo "fuzz_sql: crash; the input is in $build/crash-*"
  exit 1
fi
