#!/bin/sh
# The program loads no toolkit at start: among the libraries the dynamic loader maps for it
# there is no GTK, GDK, X11, xcb, cairo or pango (the desktop dialog is a module loaded only when a
# display is named). Usage: linked_libraries.sh PROGRAM
set -u
libraries=$(ldd "$1") || { echo "ldd cannot read $1"; exit 1; }
# The list must be real: the program always needs the driver manager.
echo "$libraries" | grep -q 'libodbc\.so' || { echo "no libodbc in:"; echo "$libraries"; exit 1; }
if echo "$libraries" | grep -Ei 'gtk|gdk|libX11|xcb|cairo|pango'; then
  echo "the program maps toolkit libraries at start"
  exit 1
fi
exit 0
