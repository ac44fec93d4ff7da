#!/usr/bin/env bash
# Compares, in one run, the time to the first three rows through the driver for a 10-row and a
# 1,000,000-row table. Usage: bench/driver_first_rows.sh BUILD_FOLDER (default build).
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for rows in 10 1000000; do
  "$build/tools/mkmdb/mkmdb" "$work/t$rows.mdb" --table avion --column 'marque:text(50)' \
    --generate "$rows"
done
export ODBCSYSINI="$build/odbc"
for rows in 10 1000000; do
  printf '%8s rows, size %10s bytes: ' "$rows" "$(stat -c %s "$work/t$rows.mdb")"
  "$build/bench/driver_first_rows" "$work/t$rows.mdb"
done
