#!/usr/bin/env bash
# A full fetch through the driver (SQLBindCol, rowset of 100) of the same 1,000,000 rows (one
# text column, as the writer's --generate makes it) written plain, encoded, and in each Office
# encrypted form, in one hyperfine run: each form's wall and processor time, its ratio to the
# plain file, and its peak memory. Every fetch's row count is checked before it is timed.
# Exits with status 3 when a form takes more than 1.5 times the plain file's processor time.
#
# Usage: bench/crypto_fetch.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: RUNS (default 10) timed runs of each command after 2 warm-up runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-10}
client="$build/bench/driver_sql"
writer="$build/tools/mkmdb/mkmdb"
command -v hyperfine >/dev/null || { echo "hyperfine is missing: run scripts/install-deps.sh" >&2; exit 2; }
for file in "$client" "$writer" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build driver_sql, mkmdb and mdbodbc" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ODBCSYSINI="$build/odbc" LC_ALL=C.UTF-8
password="Mot de passe"
names=("plain" "encoded" "RC4 CryptoAPI" "AES standard" "AES agile SHA-1" "AES agile SHA-512")
files=()
write() {  # NAME, then the writer's options
  local file
  file="$work/${#files[@]}.mdb"
  "$writer" "$file" "${@:2}" --table avion --column 'marque:text(50)' --generate 1000000
  answer=$("$client" "$file" fetch "$password" | cut -d' ' -f1)
  [ "$answer" = "rows=1000000" ] || { echo "$1 answered \"$answer\"" >&2; exit 1; }
  files+=("$file")
}
write "${names[0]}"
write "${names[1]}" --encode
write "${names[2]}" --encrypt rc4 --password "$password"
write "${names[3]}" --encrypt aes --password "$password"
write "${names[4]}" --encrypt agile-sha1 --password "$password"
write "${names[5]}" --encrypt agile --password "$password"
commands=()
for i in "${!names[@]}"; do
  commands+=(-n "${names[$i]}" "$client ${files[$i]} fetch '$password'")
done

hyperfine --runs "$runs" --warmup 2 --style basic --export-json "$work/times.json" "${commands[@]}"
for i in "${!names[@]}"; do
  echo "${names[$i]} $("$client" "${files[$i]}" fetch "$password" | sed 's/.*peak_kb=//')"
done > "$work/peaks.txt"
python3 - "$work/times.json" "$work/peaks.txt" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
peaks = dict(line.rsplit(" ", 1) for line in open(sys.argv[2]).read().splitlines())
plain = results[0]
cpu = lambda r: r["user"] + r["system"]
print("| File | Wall, mean ± σ [ms] | CPU (user + system), mean [ms] | CPU / plain | Wall / plain | Peak memory [kB] |")
print("|:---|---:|---:|---:|---:|---:|")
worst = 0.0
for r in results:
    ratio = cpu(r) / cpu(plain)
    worst = max(worst, ratio)
    print(f"| {r['command']} | {r['mean'] * 1000:.0f} ± {r['stddev'] * 1000:.0f} | {cpu(r) * 1000:.0f} | "
          f"{ratio:.2f}× | {r['mean'] / plain['mean']:.2f}× | {peaks[r['command']]} |")
if worst > 1.5:
    print(f"a form takes {worst:.2f} times the plain file's processor time (target: at most 1.5)")
    sys.exit(3)
PY
