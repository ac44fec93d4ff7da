#!/usr/bin/env bash
# Runs the README's examples: each indented block after a line "<!-- example: shell -->" or
# "<!-- example: python -->", in the README's order, in a temporary folder that stands for the
# top of a checkout after scripts/run-demo.sh (its build/ links to the build's writer and
# program, holds a copy of its driver registration with an empty odbc.ini, and build/demo/bd2.mdb
# made from demo/brands.tsv). Every example must end with status 0 and print no isql error.
#
#   scripts/readme-examples.sh [BUILD_FOLDER]    (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
for file in "$build/tools/mkmdb/mkmdb" "$build/odbc/odbcinst.ini"; do
  [ -e "$file" ] || { echo "readme-examples: $file is missing: build mkmdb and mdbodbc" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/demo" "$work/build/odbc"
for part in tools app driver; do
  [ -e "$build/$part" ] && ln -s "$build/$part" "$work/build/$part"
done
# A copy of the build's driver registration and an empty odbc.ini, which examples may change.
cp "$build/odbc/odbcinst.ini" "$work/build/odbc/"
: >"$work/build/odbc/odbc.ini"
"$build/tools/mkmdb/mkmdb" "$work/build/demo/bd2.mdb" --table avion --column "marque:text(50)" \
  --rows "$root/demo/brands.tsv" >/dev/null
export ODBCSYSINI="$work/build/odbc"

# The marked blocks, each into a file of its own: example-N.sh or example-N.py.
python3 - "$root/README.md" "$work" <<'PY'
import sys
readme, work = sys.argv[1], sys.argv[2]
lines = open(readme, encoding="utf-8").read().split("\n")
count = 0
i = 0
while i < len(lines):
    mark = lines[i].strip()
    i += 1
    if not (mark.startswith("<!-- example: ") and mark.endswith(" -->")):
        continue
    kind = mark[len("<!-- example: "):-len(" -->")]
    if kind not in ("shell", "python"):
        sys.exit(f"README: line {i}: an example of unknown kind {kind!r}")
    while i < len(lines) and not lines[i].strip():
        i += 1
    block = []
    while i < len(lines) and (lines[i].startswith("    ") or not lines[i].strip()):
        block.append(lines[i][4:])
        i += 1
    while block and not block[-1].strip():
        block.pop()
    if not block:
        sys.exit(f"README: line {i}: a mark with no indented block after it")
    count += 1
    name = f"{work}/example-{count}.{'sh' if kind == 'shell' else 'py'}"
    with open(name, "w", encoding="utf-8") as out:
        out.write("\n".join(block) + "\n")
if count == 0:
    sys.exit("README: no marked example")
PY

status=0
ran=0
for example in $(ls "$work"/example-*.* | sort -t- -k2 -n); do
  # PHP loads its extensions with RTLD_DEEPBIND, which a preloaded sanitizer runtime refuses.
  if [[ "${LD_PRELOAD:-}" == *asan* ]] && grep -qw php "$example"; then
    echo "readme-examples: $(basename "$example") skipped: PHP cannot run under the sanitizer runtime"
    continue
  fi
  ran=$((ran + 1))
  case "$example" in
    *.sh) run=(bash -eo pipefail "$example") ;;
    *.py) run=(/usr/bin/python3 "$example") ;;  # Debian's, which has python3-pyodbc
  esac
  if ! output=$(cd "$work" && "${run[@]}" 2>&1) || grep -q '\[ISQL\]ERROR' <<<"$output"; then
    echo "readme-examples: this example failed:"
    sed 's/^/    /' "$example"
    echo "  its output:"
    sed 's/^/    /' <<<"$output"
    status=1
  fi
done
[ $status -eq 0 ] && echo "readme-examples: $ran examples ran"
exit $status
