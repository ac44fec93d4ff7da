#!/usr/bin/env bash
# The brand listing program's whole run (start, connect, open, three rows, close) measured in one
# run against two yardsticks, on a table of 10 rows and on one of 1,000,000 rows, with the same
# driver, odbcinst.ini and files, no display and no terminal:
#   - first_rows_client, a minimal C program (bench/first_rows_client.c) that makes the same
#     connection with the same connect string, runs the one statement, fetches three rows with
#     SQLGetData and disconnects;
#   - mdb-export FILE avion | head -3.
# bench/side_by_side.cpp times the six commands with their runs interleaved (RUNS rounds after 3
# warm-up rounds, each round running every command once), so that a machine whose speed drifts
# during the benchmark slows all of them alike; the pipeline runs without a shell. The script
# prints, per command, the CPU time (user + system, mean) and the wall-clock median, then the
# ratios and the targets:
#   program / C client, CPU time, on each table                      at most 1.10
#   program / mdb-export | head -3, wall clock, on 1,000,000 rows     at most 1.00
#     (the same on 10 rows is shown without a target)
#   program on 1,000,000 rows / program on 10 rows, wall clock       at most 1.20
# It ends with status 3 when a target is missed (the figures are still printed), 2 when something
# it needs is missing, 1 when a command does not print what the program prints.
#
# Usage: bench/program_first_rows.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: RUNS (default 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-30}
program="$build/app/brand-listing"
client="$build/bench/first_rows_client"
harness="$build/bench/side_by_side"
writer="$build/tools/mkmdb/mkmdb"
for tool in mdb-export head; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 2; }
done
for file in "$program" "$client" "$harness" "$writer" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build brand-listing, first_rows_client, side_by_side, mkmdb and mdbodbc" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each table in its own folder, with the folder two levels below it that the programs run from.
sizes=(10 1000000)
for rows in "${sizes[@]}"; do
  mkdir -p "$work/t$rows/hangar/bay"
  "$writer" "$work/t$rows/bd2.mdb" --table avion --column 'marque:text(50)' --generate "$rows"
done

export ODBCSYSINI="$build/odbc" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

# Every command must do its whole work before it is timed. setsid: no controlling terminal, so
# the program's boxes go to standard error and nobody is asked to press Enter.
expected=$'-- marque 1\n-- marque 2\n-- marque 3'
for rows in "${sizes[@]}"; do
  for command in "$program" "$client"; do
    got=$(cd "$work/t$rows/hangar/bay" && setsid -w "$command" </dev/null 2>/dev/null)
    [ "$got" = "$expected" ] || { echo "${command##*/} on $rows rows wrote: $got" >&2; exit 1; }
  done
  # mdb-export ends on a broken pipe once head has its lines; the lines themselves are checked.
  got=$(mdb-export "$work/t$rows/bd2.mdb" avion | head -3 | tr -d '\r' || true)
  [ "$got" = $'marque\n"marque 1"\n"marque 2"' ] || { echo "mdb-export on $rows rows wrote: $got" >&2; exit 1; }
done

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for rows in "${sizes[@]}"; do
  printf 'File of %8s rows: %12s bytes\n' "$rows" "$(stat -c %s "$work/t$rows/bd2.mdb")"
done
echo

args=()
for rows in "${sizes[@]}"; do
  args+=(-- "program_$rows" "$work/t$rows/hangar/bay" "$program"
         -- "client_$rows" "$work/t$rows/hangar/bay" "$client"
         -- "mdb-export_$rows" "$work" "$(command -v mdb-export)" "$work/t$rows/bd2.mdb" avion '|' "$(command -v head)" -3)
done
# name cpu_mean cpu_median wall_median wall_min (milliseconds) -> name rows cpu_ms wall_ms
"$harness" "$runs" 3 "${args[@]}" | awk '{ split($1, part, "_"); printf "%s %s %.3f %.3f\n", part[1], part[2], $2, $4 }' > "$work/figures"
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Per command ($runs runs): CPU time (user + system, mean), wall-clock median"
awk '{ printf "  %-24s %9.2f ms CPU %9.2f ms wall\n", $1 " " $2 " rows", $3, $4 }' "$work/figures"

echo
echo "Ratios (target):"
awk '
  { cpu[$1 " " $2] = $3; wall[$1 " " $2] = $4 }
  function check(label, value, target) {
    printf "  %-58s %6.2fx  (at most %.2fx) %s\n", label, value, target,
           value <= target ? "met" : "MISSED"
    if (value > target) missed = 1
  }
  END {
    check("program / C client, CPU time, 10 rows", cpu["program 10"] / cpu["client 10"], 1.10)
    check("program / C client, CPU time, 1,000,000 rows",
          cpu["program 1000000"] / cpu["client 1000000"], 1.10)
    printf "  %-58s %6.2fx\n", "program / mdb-export | head -3, wall, 10 rows",
           wall["program 10"] / wall["mdb-export 10"]
    check("program / mdb-export | head -3, wall, 1,000,000 rows",
          wall["program 1000000"] / wall["mdb-export 1000000"], 1.00)
    check("program 1,000,000 rows / program 10 rows, wall",
          wall["program 1000000"] / wall["program 10"], 1.20)
    exit missed ? 3 : 0
  }' "$work/figures"
