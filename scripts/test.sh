#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: once in a release build
# (build/) and once under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/). After
# the release suite, the tests that depend on the locale run again with LANG and LC_ALL unset,
# as on a minimal machine. Last, the driver and its tests that run it on threads are built and
# run under ThreadSanitizer (build-tsan/, only those targets). Every part runs and is reported
# even when an earlier one failed; the script then ends with status 1. At the end it prints each
# part's counts, every skipped test with the reason it gave, and what the suite left in the
# temporary folder.
#
# The first run builds everything twice (2.5 GB of build folders; about 20 minutes on 2 idle
# cores, an hour on busy ones); later runs rebuild only what changed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1
# The engines are installed now: an engine test that would skip for a missing package fails.
export DRAVON_REQUIRE_ENGINES=1

jobs=$(nproc)
failed=()
summaries=()
# The suite's temporary files go to a folder of its own, which must be empty at the end: a test
# that leaves something behind fails the run. What appears in /tmp meanwhile (from programs that
# do not honor TMPDIR) is listed too.
temporary=${TMPDIR:-/tmp}
left_before=$(ls -A "$temporary" | sort)
suite_temporary=$(mktemp -d "$temporary/dravon-suite.XXXXXX")
chmod 1777 "$suite_temporary"  # as /tmp: the engines' servers run as nobody
export TMPDIR=$suite_temporary

# summarize PART FOLDER REPORT: the counts and skipped tests of a part, printed at the end.
summarize() {
  summaries+=("$(python3 scripts/ctest-summary.py "$1" "$2/$3")")
}

# build_and_test NAME FOLDER [CMAKE OPTION]...
build_and_test() {
  local name=$1 folder=$2
  shift 2
  if ! cmake -S . -B "$folder" "$@" >/dev/null; then
    failed+=("$name (configure)")
    return 1
  fi
  if ! cmake --build "$folder" -j"$jobs"; then
    failed+=("$name (build)")
    return 1
  fi
  # The slow label (the mutation sample, hours long) runs only by hand.
  ctest --test-dir "$folder" --output-on-failure -j"$jobs" --output-junit ctest-report.xml \
    -LE '^slow$' || failed+=("$name")
  summarize "$name" "$folder" ctest-report.xml
}

# BUILD_TESTING=ON: scripts/run-demo.sh may have configured build/ without the tests.
if build_and_test release build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON; then
  # Locale-dependent tests (label locale) in the release build, with no locale in the
  # environment.
  env -u LANG -u LC_ALL -u LANGUAGE -u LC_CTYPE -u LC_MESSAGES \
    ctest --test-dir build --output-on-failure -j"$jobs" --output-junit ctest-no-locale.xml \
      -L '^locale$' ||
    failed+=("release without a locale")
  summarize "release without a locale" build ctest-no-locale.xml
fi

# build_and_test_part NAME FOLDER TARGETS TEST_REGEX [CMAKE OPTION]...: only some targets and tests.
build_and_test_part() {
  local name=$1 folder=$2 targets=$3 tests=$4
  shift 4
  if ! cmake -S . -B "$folder" "$@" >/dev/null; then
    failed+=("$name (configure)")
    return 1
  fi
  # shellcheck disable=SC2086
  if ! cmake --build "$folder" -j"$jobs" --target $targets; then
    failed+=("$name (build)")
    return 1
  fi
  ctest --test-dir "$folder" --output-on-failure -j"$jobs" -R "$tests" \
    --output-junit ctest-report.xml || failed+=("$name")
  summarize "$name" "$folder" ctest-report.xml
}

ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test sanitizers build-asan -DCMAKE_BUILD_TYPE=Debug -DDRAVON_SANITIZE=ON \
    -DDRAVON_TRACE_STDERR=OFF

TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build_and_test_part threads build-tsan "mdbodbc driver_tests" 'ThreadsTest|DataAtExec' \
    -DCMAKE_BUILD_TYPE=Debug -DDRAVON_TSAN=ON -DDRAVON_TRACE_STDERR=OFF

echo
printf '%s\n' "${summaries[@]}"
left_by_tests=$(ls -A "$suite_temporary")
if [ -n "$left_by_tests" ]; then
  echo "left behind by tests in their temporary folder:"
  echo "$left_by_tests" | sed 's/^/  /'
  failed+=("files left behind")
fi
rm -rf "$suite_temporary"
left=$(comm -13 <(echo "$left_before") <(ls -A "$temporary" | sort))
if [ -n "$left" ]; then
  echo "left in $temporary by the suite (or by another program meanwhile):"
  echo "$left" | sed 's/^/  /'
fi
if [ ${#failed[@]} -eq 0 ]; then
  echo "test.sh: release, release without a locale, sanitizers and threads: all passed"
  exit 0
fi
echo "test.sh: failed: ${failed[*]}" >&2
exit 1
