#!/usr/bin/env bash
# Registers the built Access driver with the machine's unixODBC (odbcinst -i -d), under the
# name that connect strings use: "MICROSOFT ACCESS DRIVER (*.mdb)".
#   scripts/install-driver.sh [path/to/libmdbodbc.so]
# Without an argument it takes the library of the release build folder (build/driver). The
# library is copied to /usr/local/lib/odbc so the registration survives a clean of the build.
set -euo pipefail
cd "$(dirname "$0")/.."
library="${1:-build/driver/libmdbodbc.so}"
if [ ! -f "$library" ]; then
  echo "install-driver: $library not found; build the mdbodbc target first" >&2
  exit 1
fi
target_dir=/usr/local/lib/odbc
if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
"${as_root[@]}" install -d "$target_dir"
"${as_root[@]}" install -m 0644 "$library" "$target_dir/libmdbodbc.so"
template=$(mktemp)
trap 'rm -f "$template"' EXIT
cat > "$template" <<INI
[MICROSOFT ACCESS DRIVER (*.mdb)]
Description = Read-only driver for Access database files
Driver = $target_dir/libmdbodbc.so
Setup =
INI
# -r replaces an earlier registration instead of only raising its usage count.
"${as_root[@]}" odbcinst -i -d -r -f "$template" >/dev/null
echo "install-driver: registered $target_dir/libmdbodbc.so as MICROSOFT ACCESS DRIVER (*.mdb)"
