#!/bin/sh
# A build folder configured with -DBUILD_TESTING=OFF looks for none of the packages that only
# the tests and the benchmarks use (GoogleTest, Google Benchmark, mdbtools, X11, valgrind, the
# clients) and holds no test.
# Usage: configure_without_tests.sh SOURCE_DIR
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build="$work/build"
# A find_package of GoogleTest or Google Benchmark (REQUIRED or not) would be refused or noted.
cmake -S "$source_dir" -B "$build" -DBUILD_TESTING=OFF \
      -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
      >"$work/out" 2>&1 || { cat "$work/out"; echo "the configure failed"; exit 1; }
for package in GTest benchmark; do
  grep -q "CMAKE_DISABLE_FIND_PACKAGE_$package\$" "$work/out" ||
    { cat "$work/out"; echo "the configure looked for $package"; exit 1; }
done
# What pkg-config and find_program looked for is kept in the cache.
looked_up=$(grep -E '^(__pkg_config_checked_(MDB|X11)|[A-Z_]*(VALGRIND|ISQL|MDB_[A-Z]+_PROGRAM|PYTHON)[A-Z_]*):' \
              "$build/CMakeCache.txt")
[ -z "$looked_up" ] || { echo "the configure looked for what only tests use:"; echo "$looked_up"; exit 1; }
tests=$(cd "$build" && ctest -N | sed -n 's/^Total Tests: //p')
[ "$tests" = 0 ] || { echo "the build folder holds $tests tests"; exit 1; }
echo "configured without the tests' packages, no test"
