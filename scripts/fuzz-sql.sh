#!/usr/bin/env bash
# Fuzzes the SQL front end: builds its libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on), seeds it with the statements of tests/driver/fuzz/seeds.txt,
# one a file, and SQL's words as a dictionary, and runs libFuzzer for SECONDS.
#
#   scripts/fuzz-sql.sh [SECONDS]          (default 60)
#
# Environment:
#   FUZZ_BUILD    build folder of the fuzz target (default build/fuzz-sql); the growing corpus
#                 is kept in FUZZ_BUILD/corpus, inputs that fail in FUZZ_BUILD/findings
# Exits 77 (skipped) without clang; non-zero when the fuzzer finds an input that crashes, hangs
# (10 s) or asks for more than 256 MB at once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD:-$root/build/fuzz-sql}

for tool in clang++-14 clang-14; do
  command -v "$tool" >/dev/null || { echo "fuzz-sql: skipped: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 77; }
done

cmake -S "$root/tests/driver/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j2 >/dev/null

seeds="$build/seeds"
corpus="$build/corpus"
findings="$build/findings"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$findings"
n=0
while IFS= read -r statement; do
  n=$((n + 1))
  printf '%s' "$statement" > "$seeds/seed$n.sql"
done < "$root/tests/driver/fuzz/seeds.txt"
dictionary="$build/sql.dict"
: > "$dictionary"
for word in SELECT FROM WHERE 'GROUP BY' HAVING 'ORDER BY' UNION ALL DISTINCT DISTINCTROW TOP PERCENT \
            'INNER JOIN' 'LEFT JOIN' 'RIGHT JOIN' ON AND OR NOT XOR EQV IMP MOD LIKE BETWEEN IN IS NULL \
            EXISTS TRANSFORM PIVOT PARAMETERS TRUE FALSE YES NO '{fn ' '{d ' '{ts ' '{oj ' '{escape ' \
            '#1/1/2000#' "'" '"' '[' ']' '(' ')' ',' '&' '^' '\' 'Sum(' 'Count(*)' 'IIf(' 'Format(' \
            'DateAdd(' 'Mid(' 'CCur(' 'CDec(' t u id s m x cur dec dt b i g k name; do
  printf '"%s"\n' "$(printf '%s' "$word" | sed 's/\\/\\\\/g; s/"/\\"/g')" >> "$dictionary"
done

cd "$build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/sql_fuzz" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=256 -rss_limit_mb=2048 \
  -max_len=4096 -dict="$dictionary" -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds" \
  2> "$build/fuzz.log" || { tail -60 "$build/fuzz.log" >&2; exit 1; }
grep -E "^(stat::|#[0-9]+ *DONE)" "$build/fuzz.log" | tail -12 || true
echo "fuzz-sql: corpus $(find "$corpus" -type f | wc -l) files in $corpus"
