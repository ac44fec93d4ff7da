#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with, in two sets:
#   scripts/install-deps.sh               both sets: what the test suite needs (scripts/test.sh)
#   scripts/install-deps.sh --build-only  only what building and running the program, the
#                                         driver, the writer and the packages needs
#                                         (scripts/run-demo.sh; cmake -DBUILD_TESTING=OFF)
# Idempotent: installs only what is missing. Quiet on success: apt's output goes to a log that
# is shown only when the installation fails.
set -euo pipefail

build_packages=(
  build-essential cmake pkg-config
  # unixODBC's driver manager and installer library, and odbcinst, which registers drivers.
  unixodbc-dev odbcinst
  # SQLite, linked into the driver.
  libsqlite3-dev
  # OpenSSL's libcrypto: the reader opens it at run time for encrypted files (its headers are
  # needed to build).
  libssl-dev
  # CPack's Debian packages look up the libraries they depend on with file.
  file
)
test_packages=(
  unixodbc python3-pyodbc
  # mdbtools: the oracle the reader and the writer are checked against.
  mdbtools mdbtools-dev
  # Clients the driver is tested with: PHP (odbc_* and PDO_ODBC), Perl DBI, GDAL.
  php-cli php-odbc libdbd-odbc-perl gdal-bin
  libgtest-dev libgmock-dev libbenchmark-dev
  valgrind hyperfine locales time
  clang-14 libclang-rt-14-dev libfuzzer-14-dev
  # The desktop dialog module (built when GTK is there) and its tests on a private X desktop.
  libgtk-3-dev xvfb xdotool x11-utils x11-apps xauth
  libx11-dev dbus-daemon at-spi2-core python3-gi gir1.2-atspi-2.0 gir1.2-gtk-3.0
  # The engines the access layer is tested against, with their ODBC drivers and clients.
  # The tests start their own servers; a system service that a package may start is not used.
  libsqliteodbc sqlite3 odbc-postgresql postgresql odbc-mariadb mariadb-server mariadb-client
)

case "${1:-}" in
  "") packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  --build-only) packages=("${build_packages[@]}") ;;
  *)
    echo "usage: $0 [--build-only]" >&2
    exit 2
    ;;
esac

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

log=$(mktemp)
trap 'rm -f "$log"' EXIT
export DEBIAN_FRONTEND=noninteractive
if ! { "${as_root[@]}" apt-get update -q &&
       "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
         apt-get install -y -q --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps: could not install ${missing[*]}" >&2
  exit 1
fi
