#!/usr/bin/env bash
# Reads through an index on 1,000,000 rows, timed inside one connection (bench/driver_index.cpp):
# a point lookup and a range of 100 rows on the primary key, COUNT(*), a join of a 1,000-row
# table to the key, MAX of the key; then the full-scan benchmark of bench/driver_sql.sh runs on
# the same kind of file for comparison with it.
#
# Usage: bench/driver_index.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: RUNS (default 500) timed runs of each statement after as many warm-up runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-500}
client="$build/bench/driver_index"
writer="$build/tools/mkmdb/mkmdb"
for file in "$client" "$writer" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build driver_index, mkmdb and mdbodbc" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# 1,000 keys spread over the big table, in no order.
awk 'BEGIN { srand(7); for (i = 0; i < 1000; i++) print int(1 + rand() * 1000000) }' >"$work/keys.tsv"
"$writer" "$work/big.mdb" --table avion --column id:long --column 'marque:text(50)' \
  --generate 1000000 --primary-key id \
  --table petit --column cle:long --rows "$work/keys.tsv"
export ODBCSYSINI="$build/odbc" LC_ALL=C.UTF-8
"$client" "$work/big.mdb" "$runs"
