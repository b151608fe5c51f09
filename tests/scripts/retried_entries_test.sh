#!/usr/bin/env bash
# The names scripts/test gives of the entries that failed a first run, read
# from real ctest output: a small ctest project with fifteen entries, of which
# one below 10 and one above 10 fail only their first run, one below 10 and
# one above 10 fail both, and one cannot run here (skipped, as a 32-bit
# journey on a machine without 32-bit code), run the way scripts/test runs the
# Wine tests.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Fails the first time it runs for a name, passes from then on.
printf 'f="%s/ran-$1"; [ -e "$f" ] && exit 0; : >"$f"; exit 1\n' "$work" >"$work/once.sh"
{
  echo 'cmake_minimum_required(VERSION 3.16)'
  echo 'project(retried NONE)'
  echo 'enable_testing()'
  for i in 1 2 3; do echo "add_test(NAME steady_$i COMMAND sh -c \"exit 0\")"; done
  echo "add_test(NAME flaky_low COMMAND sh $work/once.sh low)"
  echo 'add_test(NAME broken_low COMMAND sh -c "exit 1")'
  for i in 6 7 8 9 10 11; do echo "add_test(NAME steady_$i COMMAND sh -c \"exit 0\")"; done
  echo "add_test(NAME flaky_high COMMAND sh $work/once.sh high)"
  echo 'add_test(NAME broken_high COMMAND sh -c "exit 1")'
  echo 'add_test(NAME steady_14 COMMAND sh -c "exit 0")'
  echo 'add_test(NAME skipped_15 COMMAND sh -c "exit 77")'
  echo 'set_tests_properties(skipped_15 PROPERTIES SKIP_RETURN_CODE 77)'
} >"$work/CMakeLists.txt"
cmake -S "$work" -B "$work/b" >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; exit 1; }
(cd "$work/b" && ctest --repeat until-pass:2) >"$work/ctest.log" 2>&1
# The case is only worth something if ctest printed what it prints in a real
# run: a counter padded with a space below 10, and a second-run line.
grep -q '^ [0-9]/15 Test  *#4: flaky_low .*\*\*\*Failed' "$work/ctest.log" || fail "ctest printed no padded first-run line for entry 4"
grep -q '^  *Test #12: flaky_high .*Passed' "$work/ctest.log" || fail "ctest printed no second-run line for entry 12"
grep -q '^15/15 Test  *#15: skipped_15 .*\*\*\*Skipped' "$work/ctest.log" || fail "ctest printed no skipped line for entry 15"

got=$(retried_entries "$work/ctest.log" | sort | tr '\n' ',')
want=$(printf '%s\n' "broken_high failed" "broken_low failed" "flaky_high passed" "flaky_low passed" | sort | tr '\n' ',')
[ "$got" = "$want" ] || fail "retried entries: got [$got], want [$want]"

# A run with no failure names nothing.
rm -f "$work"/ran-*
(cd "$work/b" && ctest --repeat until-pass:2 -R steady) >"$work/steady.log" 2>&1
[ -z "$(retried_entries "$work/steady.log")" ] || fail "a run without failures named: $(retried_entries "$work/steady.log")"

if [ $failures -eq 0 ]; then echo "retried entries: 1 passed, 0 failed"; else exit 1; fi
