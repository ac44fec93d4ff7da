#!/bin/sh
# The driver's registration script on an odbcinst.ini of its own: it adds the driver under both
# names, every spelling of them reaches the driver, a second run adds nothing, and removal
# takes away only what it added. An entry that another driver made under one of the names is
# never replaced or removed.
# Usage: registration.sh REGISTRATION_SCRIPT DRIVER_LIBRARY MKMDB [ISQL_PRELOAD]
set -u
script=$1
driver=$2
mkmdb=$3
isql_preload=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; cat "$work/odbcinst.ini"; exit 1; }
export ODBCSYSINI="$work"
: >"$work/odbc.ini"

printf 'Airbus\nDassault\n' | "$mkmdb" "$work/t.mdb" --table avion --column 'marque:text(50)' --rows - ||
  fail "mkmdb failed"
reaches() {
  echo "SELECT marque FROM avion" | LD_PRELOAD="$isql_preload" ASAN_OPTIONS=detect_leaks=0 \
    isql -b -k "DRIVER={$1};DBQ=$work/t.mdb" 2>&1 | grep -q Dassault
}
entries() { grep -c '^\[' "$work/odbcinst.ini"; }

# An empty list: both names, found by each spelling; again: nothing more; removed: nothing left.
: >"$work/odbcinst.ini"
sh "$script" add "$driver" || fail "add failed"
[ "$(entries)" = 2 ] || fail "expected two entries"
for name in "Microsoft Access Driver (*.mdb, *.accdb)" "Microsoft Access Driver (*.mdb)" \
            "MICROSOFT ACCESS DRIVER (*.mdb)" "microsoft access driver (*.MDB, *.ACCDB)"; do
  reaches "$name" || fail "isql does not reach the driver as $name"
done
cp "$work/odbcinst.ini" "$work/first"
sh "$script" add "$driver" || fail "second add failed"
cmp -s "$work/first" "$work/odbcinst.ini" || fail "a second add changed the list"
sh "$script" remove "$driver" || fail "remove failed"
[ "$(entries)" = 0 ] || fail "removal left entries"

# Another driver's entry under one of the names stays as it is, through add and remove.
printf '[Microsoft Access Driver (*.mdb)]\nDriver=/opt/other/libother.so\nSetup=\n' >"$work/odbcinst.ini"
sh "$script" add "$driver" 2>"$work/err" || fail "add beside another driver failed"
grep -q 'left as it is' "$work/err" || fail "no word about the entry left alone"
[ "$(odbcinst -q -d -n 'Microsoft Access Driver (*.mdb)' | sed -n 's/^Driver=//p')" = /opt/other/libother.so ] ||
  fail "the other driver's entry was replaced"
reaches "Microsoft Access Driver (*.mdb, *.accdb)" || fail "the free name does not reach the driver"
sh "$script" remove "$driver" 2>/dev/null || fail "remove beside another driver failed"
[ "$(entries)" = 1 ] && grep -q '^Driver=/opt/other/libother.so' "$work/odbcinst.ini" ||
  fail "removal touched the other driver's entry"
# scripts/install-driver.sh beside the package's registration registers nothing and leaves no
# copy; alone, it registers both names; the package installed and removed after it leaves
# every entry naming a library that is there.
install_driver="$(dirname "$script")/../scripts/install-driver.sh"
local_dir="$work/local"
paths_exist() {
  sed -n 's/^Driver=//p' "$work/odbcinst.ini" | while read -r path; do
    [ -e "$path" ] || { echo "an entry names the missing $path"; return 1; }
  done
}
: >"$work/odbcinst.ini"
sh "$script" add /opt/pkg/libmdbodbc.so
cp "$work/odbcinst.ini" "$work/package"
INSTALL_DRIVER_DIR="$local_dir" bash "$install_driver" "$driver" >/dev/null 2>"$work/err" &&
  fail "install-driver registered beside the package"
grep -q 'stay registered to /opt/pkg/libmdbodbc.so' "$work/err" || fail "install-driver did not say why: $(cat "$work/err")"
cmp -s "$work/package" "$work/odbcinst.ini" || fail "install-driver changed the package's entries"
[ ! -e "$local_dir/libmdbodbc.so" ] || fail "a refused install-driver left its copy"
sh "$script" remove /opt/pkg/libmdbodbc.so
INSTALL_DRIVER_DIR="$local_dir" bash "$install_driver" "$driver" >/dev/null || fail "install-driver alone failed"
[ "$(entries)" = 2 ] || fail "install-driver alone: expected two entries"
reaches "Microsoft Access Driver (*.mdb)" || fail "install-driver's entry does not reach the driver"
sh "$script" add /opt/pkg/libmdbodbc.so 2>/dev/null   # the package installed, then removed
sh "$script" remove /opt/pkg/libmdbodbc.so 2>/dev/null
paths_exist || fail "an entry names a missing library"
reaches "Microsoft Access Driver (*.mdb, *.accdb)" || fail "install-driver's entry was lost"
echo "registration: all cases passed"
exit 0
