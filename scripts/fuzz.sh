#!/usr/bin/env bash
# Fuzzes the Jet reader: builds its libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on), makes a seed corpus at run time (writer-made files, the
# regression files under tests/jet/regressions and, when present, the Access-made fixtures)
# and runs libFuzzer for SECONDS.
#
#   scripts/fuzz.sh [SECONDS]          (default 60)
#
# Environment:
#   FUZZ_BUILD    build folder of the fuzz target (default build/fuzz); the growing corpus is
#                 kept in FUZZ_BUILD/corpus, inputs that fail in FUZZ_BUILD/findings
#   FIXTURES_DIR  folder of access-made-jet4.mdb and jet3-sample.mdb (default ../shared/fixtures)
#   FUZZ_JOBS     parallel fuzzing processes (default 1)
# Exits 77 (skipped) without clang; non-zero otherwise when the fuzzer finds an input that crashes, hangs (5 s) or takes over 1 GB.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD:-$root/build/fuzz}
fixtures=${FIXTURES_DIR:-$root/../shared/fixtures}
jobs=${FUZZ_JOBS:-1}

for tool in clang++-14 clang-14; do
  command -v "$tool" >/dev/null || { echo "fuzz: skipped: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 77; }
done

cmake -S "$root/tests/jet/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j2 >/dev/null

seeds="$build/seeds"
corpus="$build/corpus"
findings="$build/findings"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$findings"
"$build/jet_fuzz_seeds" "$seeds"
cp "$root"/tests/jet/regressions/* "$seeds"/ 2>/dev/null || true
for fixture in access-made-jet4.mdb jet3-sample.mdb; do
  if [ -f "$fixtures/$fixture" ]; then cp "$fixtures/$fixture" "$seeds/"; fi
done

# Damaged files must fail fast and small: an input over 5 s or 1 GB is a finding. Inputs stay
# below 300 KB (the Access-made Jet 4 fixture whole, the Jet 3 one cut).
parallel=()
if [ "$jobs" -gt 1 ]; then parallel=(-jobs="$jobs" -workers="$jobs"); fi
cd "$build"  # parallel jobs write their logs into the current folder
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/jet_fuzz" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=300000 \
  "${parallel[@]}" -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds" \
  2> "$build/fuzz.log" || { tail -60 "$build/fuzz.log" >&2; exit 1; }
grep -E "^(stat::|#[0-9]+ *DONE)" "$build/fuzz.log" | tail -12 || true
echo "fuzz: corpus $(find "$corpus" -type f | wc -l) files in $corpus"
