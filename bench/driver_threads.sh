#!/usr/bin/env bash
# The driver on threads: one connection scanning a table of 1,000,000 rows (one text column, as
# the writer's --generate makes it) alone, then 8 threads each scanning it through a connection
# of its own at once, as rows per second; and the time of a connect while another connection
# runs a long query.
#
# Usage: bench/driver_threads.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: THREADS (default 8), ROUNDS (default 3) scans per connection, REPEATS (default 5)
# alternate measures of both, whose medians are compared.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
client="$build/bench/driver_threads"
writer="$build/tools/mkmdb/mkmdb"
for file in "$client" "$writer" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build driver_threads, mkmdb and mdbodbc" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$writer" "$work/big.mdb" --table avion --column 'marque:text(50)' --generate 1000000
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
ODBCSYSINI="$build/odbc" "$client" "$work/big.mdb" "${THREADS:-8}" "${ROUNDS:-3}" "${REPEATS:-5}"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
