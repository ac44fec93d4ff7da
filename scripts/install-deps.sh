#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with.
# Idempotent: installs only what is missing and prints nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  unixodbc unixodbc-dev odbcinst
  mdbtools mdbtools-dev libsqlite3-dev python3-pyodbc
  libgtest-dev libgmock-dev libbenchmark-dev
  valgrind hyperfine time
  clang-14 libclang-rt-14-dev libfuzzer-14-dev
  libgtk-3-dev xvfb xdotool x11-utils x11-apps xauth
  libx11-dev dbus-daemon at-spi2-core python3-gi gir1.2-atspi-2.0 gir1.2-gtk-3.0
  # The engines the access layer is tested against, with their ODBC drivers and clients.
  # The tests start their own servers; a system service that a package may start is not used.
  libsqliteodbc sqlite3 odbc-postgresql postgresql odbc-mariadb mariadb-server mariadb-client
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and no way to become root" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq >/dev/null
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
