#!/usr/bin/env bash
# The Jet reader beside mdb-export on the same writer-made files, in one run:
#   - full reads: every row written out as CSV (jet_export FILE avion, mdb-export FILE avion,
#     both to /dev/null) of 1,000,000 rows of one text column and of six columns of every
#     writer type (text, memo, long, double, date/time, yes/no), timed by hyperfine;
#   - the peak memory (maximum resident set size) of each full read;
#   - the time to the first three rows on 10 and on 1,000,000 rows (jet_export --rows 3
#     beside mdb-export piped to head -4).
# It prints a table for the README and fails when the reader is less than 5 times as fast as
# mdb-export, takes 16 MB or more, or reaches the first rows of the large table more than
# twice as slowly as those of the small one.
#
# Usage: bench/jet_read.sh [BUILD_FOLDER]   (default build; use a release build)
# Environment: RUNS (default 10) timed runs of each command after 2 warm-up runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-10}
reader="$build/bench/jet_export"
writer="$build/tools/mkmdb/mkmdb"
for tool in hyperfine mdb-export /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 2; }
done
for file in "$reader" "$writer"; do
  [ -x "$file" ] || { echo "$file is missing: build the jet_export and mkmdb targets" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$writer" "$work/text10.mdb" --table avion --column 'marque:text(50)' --generate 10
"$writer" "$work/text1m.mdb" --table avion --column 'marque:text(50)' --generate 1000000
"$writer" "$work/six1m.mdb" --table avion --column 'marque:text(50)' --column 'notes:memo' \
  --column 'n:long' --column 'd:double' --column 'dt:datetime' --column 'b:yesno' \
  --generate 1000000

# Both read every row before they are timed.
for file in text1m six1m; do
  ours=$("$reader" "$work/$file.mdb" avion | wc -l)
  theirs=$(mdb-export "$work/$file.mdb" avion | wc -l)
  [ "$ours" = 1000001 ] && [ "$theirs" = 1000001 ] ||
    { echo "$file: jet_export wrote $ours lines, mdb-export $theirs" >&2; exit 1; }
done

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# Commands without a pipe run without a shell (-N); the piped ones through one.
hyperfine -N --style basic --warmup 2 --runs "$runs" --export-csv "$work/direct.csv" \
  -n "reader: text 1M" "$reader $work/text1m.mdb avion" \
  -n "mdb-export: text 1M" "mdb-export $work/text1m.mdb avion" \
  -n "reader: six columns 1M" "$reader $work/six1m.mdb avion" \
  -n "mdb-export: six columns 1M" "mdb-export $work/six1m.mdb avion" \
  -n "reader: first 3 of 10" "$reader --rows 3 $work/text10.mdb avion" \
  -n "reader: first 3 of 1M" "$reader --rows 3 $work/text1m.mdb avion" \
  >"$work/hyperfine.log" 2>&1 || { cat "$work/hyperfine.log" >&2; exit 1; }
hyperfine --style basic --warmup 2 --runs "$runs" --export-csv "$work/piped.csv" \
  -n "mdb-export to head -4: first 3 of 10" "mdb-export '$work/text10.mdb' avion | head -4" \
  -n "mdb-export to head -4: first 3 of 1M" "mdb-export '$work/text1m.mdb' avion | head -4" \
  >"$work/hyperfine.log" 2>&1 || { cat "$work/hyperfine.log" >&2; exit 1; }
cat "$work/direct.csv" <(tail -n +2 "$work/piped.csv") > "$work/times.csv"
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
declare -A memory
memory["reader: text 1M"]=$(peak "$reader" "$work/text1m.mdb" avion)
memory["mdb-export: text 1M"]=$(peak mdb-export "$work/text1m.mdb" avion)
memory["reader: six columns 1M"]=$(peak "$reader" "$work/six1m.mdb" avion)
memory["mdb-export: six columns 1M"]=$(peak mdb-export "$work/six1m.mdb" avion)
memory["reader: first 3 of 10"]=$(peak "$reader" --rows 3 "$work/text10.mdb" avion)
memory["reader: first 3 of 1M"]=$(peak "$reader" --rows 3 "$work/text1m.mdb" avion)

# command,mean,stddev,median,user,system,min,max (seconds)
echo
echo "| Run ($runs runs each) | Median | Min | Peak memory |"
echo "|---|---:|---:|---:|"
while IFS=, read -r name mean stddev median user system min max; do
  [ "$name" = command ] && continue
  name=${name//\"/}
  mem=${memory[$name]:-}
  printf '| %s | %.1f ms | %.1f ms | %s |\n' "$name" "$(awk "BEGIN { print $median * 1000 }")" \
    "$(awk "BEGIN { print $min * 1000 }")" "${mem:+$(awk "BEGIN { printf \"%.1f MB\", $mem / 1024 }")}"
done < "$work/times.csv"

median() { awk -F, -v n="$1" '$1 == n { print $4 }' "$work/times.csv"; }
ratio() { awk "BEGIN { printf \"%.2f\", $(median "$1") / $(median "$2") }"; }
below() { awk "BEGIN { exit !($1 < $2) }"; }
text=$(ratio "mdb-export: text 1M" "reader: text 1M")
six=$(ratio "mdb-export: six columns 1M" "reader: six columns 1M")
first=$(ratio "reader: first 3 of 1M" "reader: first 3 of 10")
echo
echo "Full read, mdb-export time / reader time: text ${text}x, six columns ${six}x"
echo "Reader, first three rows, 1,000,000 rows / 10 rows: ${first}x"
status=0
for r in "$text" "$six"; do
  if below "$r" 5; then echo "The reader is less than 5x as fast." >&2; status=1; fi
done
for name in "reader: text 1M" "reader: six columns 1M"; do
  if (( ${memory[$name]} >= 16 * 1024 )); then echo "$name takes 16 MB or more." >&2; status=1; fi
done
if below 2 "$first"; then
  echo "The first rows take longer on the large table." >&2; status=1
fi
exit $status
