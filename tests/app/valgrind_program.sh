#!/bin/sh
# Runs the brand-listing program under valgrind's memcheck against the scripted driver
# manager, once for a completed run and once for a refused connection. Fails on any memory
# error, on a definite or indirect leak, on an unexpected exit status or on unbalanced handles.
# Usage: valgrind_program.sh VALGRIND PROGRAM FAKE_LIBRARY_DIR (exit status 77: skipped)
set -u
valgrind=$1
program=$(realpath "$2")
fake_dir=$(realpath "$3")
# A program built with a sanitizer cannot run under valgrind: the test is skipped (77).
if readelf -d "$program" 2>/dev/null | grep -Eq 'NEEDED.*lib(asan|tsan)'; then
  echo "skipped: sanitizer build (valgrind cannot run a program built with a sanitizer)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' \
  'answer SQLDriverConnectW 1 rc SQL_ERROR diag 08001 0 "[FakeODBC][Driver]Unable to connect"' \
  > "$work/refused.script"
: > "$work/healthy.script"

failed=0
run() {
  name=$1
  expected_status=$2
  (
    cd "$work" &&
    env -u DISPLAY -u WAYLAND_DISPLAY setsid -w \
      env LD_LIBRARY_PATH="$fake_dir" \
      FAKEODBC_SCRIPT="$work/$name.script" FAKEODBC_LOG="$work/$name.log" \
      "$valgrind" --tool=memcheck --leak-check=full \
        --errors-for-leak-kinds=definite,indirect --error-exitcode=99 \
        --log-file="$work/$name.valgrind" \
        "$program" < /dev/null > "$work/$name.out" 2> "$work/$name.err"
  )
  status=$?
  if [ "$status" -ne "$expected_status" ]; then
    echo "$name: exit status $status, expected $expected_status (99: valgrind found errors)"
    cat "$work/$name.valgrind" "$work/$name.err" 2>/dev/null
    failed=1
  fi
  if ! grep -q '^balanced: yes$' "$work/$name.log" 2>/dev/null; then
    echo "$name: ODBC handles not balanced"
    cat "$work/$name.log" 2>/dev/null
    failed=1
  fi
  grep -E 'ERROR SUMMARY|definitely lost|indirectly lost' "$work/$name.valgrind" 2>/dev/null |
    sed "s/^/$name: /"
}

run healthy 0
run refused 1
exit $failed
