#!/usr/bin/env bash
# Installs what building needs (not the test suite's packages), builds the program, the .mdb
# writer and the ODBC driver, makes the demo database
# build/demo/bd2.mdb (table avion, column marque) and runs the program from
# build/demo/hangar/bay, two levels below the file, as its connect string expects.
#
# Each value is shown in a message box before its line is written: a dialog window when a
# display is available, a box on the terminal (dismissed with Enter) when run from one,
# otherwise the box's text on standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh --build-only

# A first configure of build/ leaves the tests out: their packages are not installed for the
# demo. A build/ that already has them (scripts/test.sh configures it so) keeps them.
testing=()
if [ ! -f build/CMakeCache.txt ]; then
  testing=(-DBUILD_TESTING=OFF)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${testing[@]}" >/dev/null
cmake --build build -j"$(nproc)" --target brand-listing mkmdb mdbodbc >/dev/null

demo="$root/build/demo"
mkdir -p "$demo/hangar/bay"
build/tools/mkmdb/mkmdb "$demo/bd2.mdb" --table avion --column "marque:text(50)" \
  --rows demo/brands.tsv

# Non-ASCII brand names need a UTF-8 code page; keep the user's locale when one is set.
if [ -z "${LC_ALL:-}${LC_CTYPE:-}${LANG:-}" ]; then
  export LANG=C.UTF-8
fi

cd "$demo/hangar/bay"
ODBCSYSINI="$root/build/odbc" exec "$root/build/app/brand-listing"
