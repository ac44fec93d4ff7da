#!/usr/bin/env bash
# The brand listing program's whole run (connect, open, three rows, close) on a table of 10 rows
# and on a table of 1,000,000 rows, beside `mdb-export FILE avion | head -3` on the same two
# files, timed in one hyperfine run. The program reads rows only as its cursor moves, so its
# time must not grow with the table: the script fails when the large table's median is more than
# twice the small one's.
#
# Usage: bench/program_first_rows.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: RUNS (default 30) timed runs of each command after 3 warm-up runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-30}
program="$build/app/brand-listing"
writer="$build/tools/mkmdb/mkmdb"
for tool in hyperfine mdb-export; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 2; }
done
for file in "$program" "$writer" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build brand-listing, mkmdb and mdbodbc" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each table in its own folder, with the directory two levels below it that the program runs from.
sizes=(10 1000000)
for rows in "${sizes[@]}"; do
  mkdir -p "$work/t$rows/hangar/bay"
  "$writer" "$work/t$rows/bd2.mdb" --table avion --column 'marque:text(50)' --generate "$rows"
done

export ODBCSYSINI="$build/odbc" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

# Every command must do its whole work before it is timed.
expected=$'-- marque 1\n-- marque 2\n-- marque 3'
for rows in "${sizes[@]}"; do
  got=$(cd "$work/t$rows/hangar/bay" && "$program" </dev/null 2>/dev/null)
  [ "$got" = "$expected" ] || { echo "program on $rows rows wrote: $got" >&2; exit 1; }
  # mdb-export ends on a broken pipe once head has its lines; the lines themselves are checked.
  got=$(mdb-export "$work/t$rows/bd2.mdb" avion | head -3 | tr -d '\r' || true)
  [ "$got" = $'marque\n"marque 1"\n"marque 2"' ] || { echo "mdb-export on $rows rows wrote: $got" >&2; exit 1; }
done

echo "Files:"
for rows in "${sizes[@]}"; do
  printf '  %8s rows: %12s bytes\n' "$rows" "$(stat -c %s "$work/t$rows/bd2.mdb")"
done
echo

commands=()
for rows in "${sizes[@]}"; do
  commands+=(-n "program $rows rows"
             "cd '$work/t$rows/hangar/bay' && '$program' </dev/null >/dev/null 2>&1")
done
for rows in "${sizes[@]}"; do
  commands+=(-n "mdb-export | head -3 $rows rows"
             "mdb-export '$work/t$rows/bd2.mdb' avion | head -3 >/dev/null")
done
hyperfine --style basic --warmup 3 --runs "$runs" --export-csv "$work/times.csv" "${commands[@]}"

# command,mean,stddev,median,user,system,min,max (seconds)
echo
echo "Medians of $runs runs:"
awk -F, 'NR > 1 { printf "  %-36s %8.2f ms  (min %.2f, max %.2f)\n", $1, $4 * 1000, $7 * 1000, $8 * 1000 }' \
  "$work/times.csv"
ratio=$(awk -F, 'NR == 2 { small = $4 } NR == 3 { large = $4 } END { printf "%.2f", large / small }' \
  "$work/times.csv")
echo "Program, 1000000 rows against 10 rows: ${ratio}x"
if awk -v r="$ratio" 'BEGIN { exit !(r > 2) }'; then
  echo "The program's time grows with the table's size." >&2
  exit 1
fi
