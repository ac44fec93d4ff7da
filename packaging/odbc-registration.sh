#!/bin/sh
# Adds or removes the driver's entries in unixODBC's driver list (odbcinst.ini):
#   odbc-registration.sh add|remove DRIVER_LIBRARY
# The driver is registered under the names that programs ask for: "Microsoft Access Driver
# (*.mdb, *.accdb)" and "Microsoft Access Driver (*.mdb)" (unixODBC compares driver names
# without regard to letter case, so the latter also answers to "MICROSOFT ACCESS DRIVER
# (*.mdb)"). An entry of one of these names that names another library belongs to someone
# else: it is neither replaced nor removed. Honors ODBCSYSINI, as odbcinst does. An entry is
# odbcinst-entry.in, beside this script, with the name and the library filled in.
set -u
action=${1:-}
library=${2:-}
if [ -z "$library" ] || { [ "$action" != add ] && [ "$action" != remove ]; }; then
  echo "usage: $0 add|remove DRIVER_LIBRARY" >&2
  exit 2
fi
template="$(dirname "$0")/odbcinst-entry.in"
if [ "$action" = add ] && [ ! -r "$template" ]; then
  echo "odbc-registration: the entry template $template cannot be read" >&2
  exit 2
fi

# TEXT made safe as the replacement of a sed s|...|...| command.
sed_replacement() {
  printf '%s' "$1" | sed 's/[\\|&]/\\&/g'
}
# The entry of the driver LIBRARY under NAME.
entry() {
  sed -e "s|@DRIVER_NAME@|$(sed_replacement "$1")|g" \
      -e "s|@DRIVER_LIBRARY@|$(sed_replacement "$2")|g" "$template"
}

# The library an entry names, empty when there is no entry of that name.
registered() {
  odbcinst -q -d -n "$1" 2>/dev/null | sed -n 's/^Driver[[:space:]]*=[[:space:]]*//p' | head -n 1
}

status=0
for name in "Microsoft Access Driver (*.mdb, *.accdb)" "Microsoft Access Driver (*.mdb)"; do
  current=$(registered "$name")
  if [ -n "$current" ] && [ "$current" != "$library" ]; then
    echo "odbc-registration: \"$name\" names $current, left as it is" >&2
    continue
  fi
  if [ "$action" = add ]; then
    [ -n "$current" ] && continue
    entry "$name" "$library" | odbcinst -i -d -r >/dev/null || status=1
  else
    # Each removal lowers the entry's usage count; it goes when the count reaches zero.
    rounds=0
    while [ "$(registered "$name")" = "$library" ] && [ $rounds -lt 100 ]; do
      odbcinst -u -d -n "$name" >/dev/null 2>&1 || { status=1; break; }
      rounds=$((rounds + 1))
    done
  fi
done
exit $status
