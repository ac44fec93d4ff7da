#!/bin/sh
# The project's version, written once in CMake, is what the built driver answers to
# SQLGetInfo(SQL_DRIVER_VER) (ODBC's ##.##.#### form) and what the Debian packages carry.
# Usage: reported_version.sh VERSION ODBCSYSINI_OF_THE_BUILD MKMDB CPACK_CONFIG [PRELOAD]
# PRELOAD: libraries Debian's Python (python3-pyodbc) must load first (a sanitizer build's
# run-time libraries).
set -u
version=$1
sysini=$2
mkmdb=$3
cpack_config=$4
preload=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expected=$(echo "$version" | awk -F. 'NF == 3 { printf "%02d.%02d.%04d", $1, $2, $3 }')
[ -n "$expected" ] || { echo "not a major.minor.patch version: $version"; exit 1; }
"$mkmdb" "$work/v.mdb" --table avion --column 'marque:text(50)' --generate 1 >/dev/null ||
  { echo "mkmdb failed"; exit 1; }
reported=$(ODBCSYSINI="$sysini" LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 /usr/bin/python3 -c '
import sys, pyodbc
connection = pyodbc.connect("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + sys.argv[1])
print(connection.getinfo(pyodbc.SQL_DRIVER_VER))' "$work/v.mdb" 2>&1)
[ "$reported" = "$expected" ] ||
  { echo "the driver reports version $reported, expected $expected (from $version)"; exit 1; }
packaged=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$cpack_config")
[ "$packaged" = "$version" ] ||
  { echo "the packages carry version '$packaged' ($cpack_config), expected $version"; exit 1; }
echo "version $version: driver $reported, packages $packaged"
