#!/usr/bin/env bash
# A full fetch through the driver (SQLBindCol, rowset of 100) of the same 1,000,000 rows (one
# text column, as the writer's --generate makes it) written plain, encoded, and in each Office
# encrypted form: each form's processor and wall time, its ratio to the plain file, and its peak
# memory. Every fetch's row count is checked before it is timed. The runs are interleaved
# (bench/side_by_side.cpp), so that a machine whose load changes slows every form alike.
# Exits with status 3 when a form takes more than 1.5 times the plain file's processor time.
#
# Usage: bench/crypto_fetch.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: RUNS (default 15) timed rounds after 2 warm-up rounds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-15}
client="$build/bench/driver_sql"
writer="$build/tools/mkmdb/mkmdb"
harness="$build/bench/side_by_side"
for file in "$client" "$writer" "$harness" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build driver_sql, side_by_side, mkmdb and mdbodbc" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ODBCSYSINI="$build/odbc" LC_ALL=C.UTF-8
password="Mot de passe"
timed=()
write() {  # NAME, then the writer's options
  local file="$work/$1.mdb"
  "$writer" "$file" "${@:2}" --table avion --column 'marque:text(50)' --generate 1000000
  answer=$("$client" "$file" fetch "$password" | cut -d' ' -f1)
  [ "$answer" = "rows=1000000" ] || { echo "$1 answered \"$answer\"" >&2; exit 1; }
  echo "$1 $("$client" "$file" fetch "$password" | sed 's/.*peak_kb=//')" >> "$work/peaks.txt"
  timed+=(-- "$1" "$work" "$client" "$file" fetch "$password")
}
write plain
write encoded --encode
write rc4-cryptoapi --encrypt rc4 --password "$password"
write aes-standard --encrypt aes --password "$password"
write agile-sha1 --encrypt agile-sha1 --password "$password"
write agile-sha512 --encrypt agile --password "$password"

"$harness" "$runs" 2 "${timed[@]}" > "$work/times.txt"
python3 - "$work/times.txt" "$work/peaks.txt" <<'PY'
import sys
times = [line.split() for line in open(sys.argv[1]).read().splitlines()]
peaks = dict(line.split() for line in open(sys.argv[2]).read().splitlines())
names = {"plain": "plain", "encoded": "encoded (Jet)", "rc4-cryptoapi": "RC4 CryptoAPI",
         "aes-standard": "AES, standard", "agile-sha1": "AES-128 agile, SHA-1",
         "agile-sha512": "AES-256 agile, SHA-512"}
plain = times[0]
print("| File | CPU mean [ms] | CPU median [ms] | Wall median [ms] | CPU / plain (median) | Wall / plain (median) | Peak memory [kB] |")
print("|:---|---:|---:|---:|---:|---:|---:|")
worst = 0.0
for name, cpu_mean, cpu_median, wall_median, _ in times:
    ratio = float(cpu_median) / float(plain[2])
    worst = max(worst, ratio)
    print(f"| {names[name]} | {float(cpu_mean):.0f} | {float(cpu_median):.0f} | {float(wall_median):.0f} | "
          f"{ratio:.2f}× | {float(wall_median) / float(plain[3]):.2f}× | {peaks[name]} |")
if worst > 1.5:
    print(f"a form takes {worst:.2f} times the plain file's processor time (target: at most 1.5)")
    sys.exit(3)
PY
