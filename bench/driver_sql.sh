#!/usr/bin/env bash
# SQL through the driver on a table of 1,000,000 rows (one text column, as the writer's
# --generate makes it), side by side with mdbtools on the same file, in one hyperfine run:
#   SELECT COUNT(*)                       driver   | mdb-sql
#   WHERE marque LIKE '%77777%'           driver   | mdb-sql
#   full fetch (SQLBindCol, rowset 100)   driver   | mdb-export (full export)
# and the peak memory of a forward-only full fetch and of a static cursor moved to the last row.
# Every command's answer is checked before it is timed.
#
# Usage: bench/driver_sql.sh [BUILD_FOLDER] (default: build; use a release build)
# Environment: RUNS (default 10) timed runs of each command after 2 warm-up runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-10}
client="$build/bench/driver_sql"
writer="$build/tools/mkmdb/mkmdb"
for tool in hyperfine mdb-export mdb-sql; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 2; }
done
for file in "$client" "$writer" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "$file is missing: build driver_sql, mkmdb and mdbodbc" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/big.mdb"
"$writer" "$file" --table avion --column 'marque:text(50)' --generate 1000000
export ODBCSYSINI="$build/odbc" LC_ALL=C.UTF-8

like="SELECT marque FROM avion WHERE marque LIKE '%77777%'"
check() {  # NAME EXPECTED ACTUAL
  [ "$2" = "$3" ] || { echo "$1 answered \"$3\", expected \"$2\"" >&2; exit 1; }
}
check "driver count" "count=1000000" "$("$client" "$file" count | cut -d' ' -f1)"
check "driver where" "rows=19" "$("$client" "$file" where | cut -d' ' -f1)"
check "driver fetch" "rows=1000000" "$("$client" "$file" fetch | cut -d' ' -f1)"
check "mdb-sql count" "1000000" "$(echo 'SELECT COUNT(*) FROM avion' | mdb-sql -P -H -F "$file" | tr -d ' \n')"
check "mdb-sql where" "19" "$(echo "$like" | mdb-sql -P -H -F "$file" | grep -c marque)"
check "mdb-export" "1000001" "$(mdb-export "$file" avion | wc -l)"

hyperfine --runs "$runs" --warmup 2 --style basic --export-json "$work/times.json" \
  -n "driver: SELECT COUNT(*)" "$client $file count" \
  -n "mdb-sql: SELECT COUNT(*)" "echo 'SELECT COUNT(*) FROM avion' | mdb-sql -P -H -F $file" \
  -n "driver: WHERE LIKE on text" "$client $file where" \
  -n "mdb-sql: WHERE LIKE on text" "echo \"$like\" | mdb-sql -P -H -F $file" \
  -n "driver: full fetch, rowset 100" "$client $file fetch" \
  -n "mdb-export: full export" "mdb-export $file avion"
# Wall time and processor time (user + system) side by side: on a busy machine the second
# tells more about the work itself.
python3 - "$work/times.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print("| Command | Wall, mean ± σ [ms] | CPU (user + system), mean [ms] |")
print("|:---|---:|---:|")
for r in results:
    print(f"| {r['command']} | {r['mean'] * 1000:.0f} ± {r['stddev'] * 1000:.0f} | {(r['user'] + r['system']) * 1000:.0f} |")
PY
echo
echo "peak memory, forward-only full fetch: $("$client" "$file" fetch | sed 's/.*peak_kb=//') kB"
echo "peak memory, static cursor to the last row: $("$client" "$file" last | sed 's/.*peak_kb=//') kB"
