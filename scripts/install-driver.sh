#!/usr/bin/env bash
# Registers the built Access driver with the machine's unixODBC (odbcinst.ini), under the names
# that connect strings use: "Microsoft Access Driver (*.mdb, *.accdb)" and "Microsoft Access
# Driver (*.mdb)" (which also answers to "MICROSOFT ACCESS DRIVER (*.mdb)"). An entry of one of
# those names that another driver made is left as it is.
#   scripts/install-driver.sh [path/to/libmdbodbc.so]
# Without an argument it takes the library of the release build folder (build/driver). The
# library is copied to /usr/local/lib/odbc (INSTALL_DRIVER_DIR, when set) so the registration
# survives a clean of the build. Where the package (or anything else) already holds the names,
# nothing is registered and nothing copied: one library answers to them, never two.
set -euo pipefail
cd "$(dirname "$0")/.."
library="${1:-build/driver/libmdbodbc.so}"
if [ ! -f "$library" ]; then
  echo "install-driver: $library not found; build the mdbodbc target first" >&2
  exit 1
fi
target_dir=${INSTALL_DRIVER_DIR:-/usr/local/lib/odbc}
if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
"${as_root[@]}" install -d "$target_dir"
"${as_root[@]}" install -m 0644 "$library" "$target_dir/libmdbodbc.so"
"${as_root[@]}" packaging/odbc-registration.sh add "$target_dir/libmdbodbc.so" || exit 1
# The registration never takes over a name another library holds (the package's, say): the
# machine then keeps that one entry, and this copy is not registered.
registered=$(odbcinst -q -d -n "Microsoft Access Driver (*.mdb)" 2>/dev/null |
             sed -n 's/^Driver[[:space:]]*=[[:space:]]*//p' | head -n 1)
if [ "$registered" != "$target_dir/libmdbodbc.so" ]; then
  # Half a registration would leave two libraries answering to the driver's names.
  "${as_root[@]}" packaging/odbc-registration.sh remove "$target_dir/libmdbodbc.so" 2>/dev/null
  "${as_root[@]}" rm -f "$target_dir/libmdbodbc.so"
  echo "install-driver: the driver's names stay registered to $registered; remove that" \
       "registration first (for the package: apt remove brand-listing)" >&2
  exit 1
fi
echo "install-driver: registered $target_dir/libmdbodbc.so"
