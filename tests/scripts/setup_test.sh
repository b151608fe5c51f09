#!/usr/bin/env bash
# The README commands on a machine that lacks a package, without needing such
# a machine: a copy of the scripts in a clone with no build/ yet, a PATH in
# which xdotool is missing, and stand-ins for apt-get, dpkg, id and cmake.
# Each case runs both commands and checks how far they get.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# Every command of the real PATH but xdotool, as links in one folder.
real_bin="$work/real-bin"
mkdir -p "$real_bin"
IFS=: read -ra dirs <<<"$PATH"
for d in "${dirs[@]}"; do
  for f in "$d"/*; do
    n=${f##*/}
    [ "$n" = xdotool ] || [ -e "$real_bin/$n" ] || ln -s "$f" "$real_bin/$n" 2>/dev/null
  done
done

# case name, uid the stand-in id reports, "ok" or "fail" for apt-get install
run_case() {
  case=$1
  local uid=$2 apt=$3 clone="$work/$1" bin="$work/$1-bin"
  mkdir -p "$clone" "$bin"
  cp -r "$root/scripts" "$clone/"
  cp -P "$real_bin"/* "$bin/"
  rm -f "$bin/sudo"
  # A stand-in replaces the link in the case's folder; writing through the
  # link would overwrite the machine's own command.
  standin() { rm -f "$bin/$1" && cat >"$bin/$1" && chmod +x "$bin/$1"; }
  printf '#!/bin/sh\necho %s\n' "$uid" | standin id
  # i386 is known already; anything else dpkg is asked goes to the log.
  printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && { echo i386; exit 0; }\necho "dpkg $*" >>"%s/calls"\n' "$clone" | standin dpkg
  standin apt-get <<STANDIN
#!/bin/sh
echo "apt-get \$*" >>"$clone/calls"
[ "\$1" = update ] && exit 0
[ "$apt" = ok ] || { echo "E: Could not resolve the package source"; exit 100; }
printf '#!/bin/sh\nexit 0\n' >"$bin/xdotool"
chmod +x "$bin/xdotool"
STANDIN
  printf '#!/bin/sh\necho "cmake reached" >>"%s/calls"\nexit 1\n' "$clone" | standin cmake
  for cmd in test run; do
    env -i HOME="$work" PATH="$bin" bash "$clone/scripts/$cmd" </dev/null >"$clone/out-$cmd" 2>&1
    echo "exit $?" >>"$clone/out-$cmd"
  done
}

expect_out() { grep -qF -- "$2" "$work/$case/out-$1" || fail "scripts/$1 did not say: $2"; }
calls() {
  [ -f "$work/$case/calls" ] || { echo 0; return; }
  grep -cF -- "$1" "$work/$case/calls" || true
}

run_case installs 0 ok
[ -f "$work/$case/build/apt.log" ] || fail "no install log in the new build/"
[ "$(calls 'apt-get install -y -q xdotool')" = 1 ] || fail "xdotool was not installed exactly once (alone)"
[ "$(calls 'cmake reached')" = 2 ] || fail "the build step was not reached by both commands"
expect_out test "installing: xdotool"

run_case install-fails 0 fail
expect_out test "the package install failed"
expect_out test "E: Could not resolve the package source"
[ "$(calls 'cmake reached')" = 0 ] || fail "went on to the build after a failed install"
grep -q '^exit 0$' "$work/$case/out-test" && fail "scripts/test exited 0 after a failed install"

run_case no-root 1000 ok
expect_out test "needs root or sudo"
[ "$(calls 'apt-get')" = 0 ] || fail "apt-get was called without root"
[ "$(calls 'cmake reached')" = 0 ] || fail "went on to the build without the packages"

if [ $failures -eq 0 ]; then echo "set-up path: 3 cases passed"; else exit 1; fi
