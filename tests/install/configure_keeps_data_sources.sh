#!/bin/sh
# A configure of the build tree never overwrites its odbc.ini, where a build-tree user defines
# data sources: one defined there is still listed, and still connects, after a second configure.
# Usage: configure_keeps_data_sources.sh SOURCE_DIR MKMDB ODBCSYSINI_OF_THE_BUILD [ISQL_PRELOAD]
set -u
source_dir=$1
mkmdb=$2
registration=$3
isql_preload=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build="$work/build"
cmake -S "$source_dir" -B "$build" >/dev/null || { echo "the first configure failed"; exit 1; }
ini="$build/odbc/odbc.ini"
[ -f "$ini" ] || { echo "the configure made no $ini"; exit 1; }
"$mkmdb" "$work/planes.mdb" --table avion --column "marque:text(50)" --generate 3 >/dev/null || exit 1
printf '[planes]\nDriver = Microsoft Access Driver (*.mdb)\nDBQ = %s\n' "$work/planes.mdb" > "$ini"
cmake -S "$source_dir" -B "$build" >/dev/null || { echo "the second configure failed"; exit 1; }
grep -q '^DBQ = ' "$ini" || { echo "the second configure emptied $ini:"; cat "$ini"; exit 1; }
# The registration the configure writes points at the driver this test's own build would make;
# the data source is read through the registration of the build under test.
cp "$registration/odbcinst.ini" "$build/odbc/odbcinst.ini" || exit 1
answer=$(echo "SELECT COUNT(*) FROM avion" |
         ODBCSYSINI="$build/odbc" LD_PRELOAD="$isql_preload" isql -b -v -d'|' planes 2>&1)
if printf '%s\n' "$answer" | grep -qx '3'; then
  echo "the data source survived a second configure and connects"
else
  echo "isql planes after the second configure: $answer"
  exit 1
fi
