#!/bin/sh
# Installs the build into a temporary prefix and runs what was installed, as a user would.
# Usage: installed_tree.sh BUILD_FOLDER with-dialog|without-dialog [ISQL_PRELOAD]
# ISQL_PRELOAD: libraries isql must load first (a sanitizer build's run-time libraries).
set -u
build=$1
dialog=$2
isql_preload=${3:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "$*"; exit 1; }

cmake --install "$build" --prefix "$prefix/usr" >"$prefix/install.log" 2>&1 ||
  { cat "$prefix/install.log"; fail "cmake --install failed"; }
for file in bin/brand-listing bin/mkmdb lib/brand-listing/libmdbodbc.so \
            share/brand-listing/odbcinst.ini; do
  [ -f "$prefix/usr/$file" ] || fail "not installed: $file"
done
[ "$dialog" = without-dialog ] || [ -f "$prefix/usr/lib/brand-listing/message-box-gtk.so" ] ||
  fail "not installed: the dialog module"

# The installed writer makes the database; the installed program lists it from two folders
# below, through the installed entry, with no display and no controlling terminal.
data="$prefix/data"
mkdir -p "$data/hangar/bay"
printf 'Airbus\nBoeing\nCessna\nDassault\n' |
  "$prefix/usr/bin/mkmdb" "$data/bd2.mdb" --table avion --column 'marque:text(50)' --rows - ||
  fail "the installed mkmdb failed"
export ODBCSYSINI="$prefix/usr/share/brand-listing" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
out=$(cd "$data/hangar/bay" && setsid -w "$prefix/usr/bin/brand-listing" </dev/null 2>"$prefix/err")
[ "$out" = "$(printf -- '-- Airbus\n-- Boeing\n-- Cessna')" ] ||
  { cat "$prefix/err"; fail "the installed program wrote: $out"; }

# isql reaches the driver by each of its names with a connect string.
for name in "MICROSOFT ACCESS DRIVER (*.mdb)" "Microsoft Access Driver (*.mdb)" \
            "Microsoft Access Driver (*.mdb, *.accdb)"; do
  out=$(echo "SELECT marque FROM avion" |
        LD_PRELOAD="$isql_preload" ASAN_OPTIONS=detect_leaks=0 \
        isql -b -k "DRIVER={$name};DBQ=$data/bd2.mdb" 2>&1)
  echo "$out" | grep -q Dassault || fail "isql through the installed entry $name: $out"
done

# With a display named, the installed program loads the installed module from beside itself
# (the display here cannot be opened, so the box then falls back to standard error).
if [ "$dialog" = with-dialog ]; then
  (cd "$data/hangar/bay" &&
    DISPLAY=:65000 LD_DEBUG=files setsid -w "$prefix/usr/bin/brand-listing" </dev/null \
      >/dev/null 2>"$prefix/loader")
  grep -q "file=$prefix/usr/bin/../lib/brand-listing/message-box-gtk.so" "$prefix/loader" ||
    fail "the installed program did not load its dialog module"
fi
exit 0
