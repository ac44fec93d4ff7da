#!/bin/sh
# What the dynamic loader maps for a program or library before it runs: the libraries it must
# map, and none of those it must not. The program maps no GTK, GDK, X11, xcb, cairo or pango
# (the desktop dialog is a module loaded only when a display is named); with the runtime linked
# in, neither the program nor the driver maps the C++ runtime, and the driver maps no SQLite.
# Usage: linked_libraries.sh FILE REQUIRED_PATTERN FORBIDDEN_PATTERN (extended regular expressions)
set -u
libraries=$(ldd "$1") || { echo "ldd cannot read $1"; exit 1; }
# The list must be real: it always holds what every run needs.
echo "$libraries" | grep -Eq "$2" || { echo "nothing matching $2 in:"; echo "$libraries"; exit 1; }
if echo "$libraries" | grep -Ei "$3"; then
  echo "$1 maps libraries it must not"
  exit 1
fi
exit 0
