#!/usr/bin/env bash
# The README commands on a machine that lacks a package, without needing such
# a machine: a copy of the scripts in a clone with no build/ yet, a PATH in
# which xdotool is missing, and stand-ins for apt-get, dpkg, id and cmake.
# Each case runs both commands and checks how far they get.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/common.sh"
BUILD=$(mktemp -d)  # the i386 probe of common.sh goes here, not into a build folder
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work" "$BUILD"' EXIT
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

# case name, uid the stand-in id reports, what apt-get does: "ok" (update and
# install work), "fail" (install fails), "sync" (update fails as a mirror in
# sync does, install works), "sync-pin" (update as "sync", install works only
# with the versions of the whole suites preferred); then any VAR=value for the
# environment of both commands.
run_case() {
  case=$1
  local uid=$2 apt=$3 clone="$work/$1" bin="$work/$1-bin"
  shift 3
  mkdir -p "$clone" "$bin"
  cp -r "$root/scripts" "$clone/"
  # Wine's loaders are there unless the case takes them away.
  winelib="$clone-winelib"
  mkdir -p "$winelib"
  if [ -z "${NO_WINE:-}" ]; then : >"$winelib/wine"; : >"$winelib/wine64"; chmod +x "$winelib"/wine*; fi
  cp -P "$real_bin"/* "$bin/"
  rm -f "$bin/sudo"
  # A stand-in replaces the link in the case's folder; writing through the
  # link would overwrite the machine's own command.
  standin() { rm -f "$bin/$1" && cat >"$bin/$1" && chmod +x "$bin/$1"; }
  printf '#!/bin/sh\necho %s\n' "$uid" | standin id
  # No foreign architecture is known yet; anything else dpkg is asked goes to the log.
  printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && exit 0\necho "dpkg $*" >>"%s/calls"\n' "$clone" | standin dpkg
  standin apt-get <<STANDIN
#!/bin/sh
echo "apt-get \$*" >>"$clone/calls"
# apt translates its messages: "Err:" is "Fehl:" in German.
err=Fehl
[ "\${LC_ALL:-}" = C ] && err=Err
if [ "\$1" = update ]; then
  case "$apt" in
    sync*) ;;
    unreachable)
      # A host that cannot be reached is only a warning: exit 0.
      echo "\$err:1 http://deb.example/debian bookworm InRelease"
      echo "  Temporary failure resolving 'deb.example'"
      echo "W: Failed to fetch http://deb.example/debian/dists/bookworm/InRelease  Temporary failure resolving 'deb.example'"
      exit 0 ;;
    *) exit 0 ;;
  esac
  # What apt-get printed while one index of the security updates was in the
  # middle of a mirror sync.
  echo "Get:5 http://deb.example/debian bookworm-updates/main i386 Packages [6924 B]"
  echo "Ign:6 http://deb.example/debian-security bookworm-security/main i386 Packages"
  echo "\$err:6 http://deb.example/debian-security bookworm-security/main i386 Packages"
  echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
  echo "E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
case "$apt" in
  fail) echo "E: Could not resolve the package source"; exit 100 ;;
  sync-pin)
    pref=\$(echo "\$*" | sed -n 's/.*Dir::Etc::Preferences=\\([^ ]*\\).*/\\1/p')
    if [ -z "\$pref" ] || ! grep -qx 'Pin: release n=bookworm-security' "\$pref"; then
      echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi ;;
esac
for p in "\$@"; do
  case "\$p" in
    xdotool) printf '#!/bin/sh\\nexit 0\\n' >"$bin/xdotool"; chmod +x "$bin/xdotool" ;;
    wine32) : >"$winelib/wine"; chmod +x "$winelib/wine" ;;
    wine64) : >"$winelib/wine64"; chmod +x "$winelib/wine64" ;;
  esac
done
exit 0
STANDIN
  printf '#!/bin/sh\necho "cmake reached" >>"%s/calls"\nexit 1\n' "$clone" | standin cmake
  for cmd in test run; do
    env -i HOME="$work" PATH="$bin" WINE_LIBDIR="$winelib" QUILLO_APT_RETRY_PAUSE=0 "$@" \
      bash "$clone/scripts/$cmd" </dev/null >"$clone/out-$cmd" 2>&1
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

# A package source with one index in a mirror sync: the update is tried
# again, what failed is named, and the install goes on to the build.
run_case mirror-sync 0 sync
expect_out test "bookworm-security/main i386"
expect_out test "going on with the indexes that did arrive"
[ "$(calls 'apt-get update')" = 3 ] || fail "apt-get update was not tried three times by scripts/test"
[ "$(calls 'cmake reached')" = 2 ] || fail "the build step was not reached by both commands"
grep -q '^exit 0$' "$work/$case/out-test" && fail "scripts/test exited 0 although cmake failed"

# The same, where wine32 can only be had with the versions of the suites whose
# indexes all arrived: the second install prefers them and succeeds. Only a
# machine that runs 32-bit code asks for wine32 at all.
if runs_32bit_code; then
  NO_WINE=1 run_case mirror-sync-wine32 0 sync-pin
  [ "$(calls 'install -y -q wine32 wine64 xdotool')" -ge 1 ] || fail "wine32 was not asked for on a machine that runs 32-bit code"
  [ "$(calls 'dpkg --add-architecture i386')" -ge 1 ] || fail "the i386 architecture was not added for wine32"
  [ "$(calls 'Dir::Etc::Preferences=')" -ge 1 ] || fail "no second install with the whole suites preferred"
  expect_out test "trying again with the versions of the other suites preferred"
  [ "$(calls 'cmake reached')" = 2 ] || fail "the build step was not reached by both commands"
  cases=5
else
  echo "note: this machine runs no 32-bit code, so the wine32 install case was not run"
  cases=4
fi

# The same fallback where no wine32 is asked for at all: any package that
# needs the whole suites' versions takes it.
NO_WINE=1 run_case mirror-sync-64 0 sync-pin QUILLO_NO_32BIT=1
[ "$(calls 'Dir::Etc::Preferences=')" -ge 1 ] || fail "no second install with the whole suites preferred"
[ "$(calls 'cmake reached')" = 2 ] || fail "the build step was not reached by both commands"
cases=$((cases + 1))

# A host that cannot be reached leaves apt-get update at exit 0 with Err
# lines: that too is tried again and named.
run_case unreachable 0 unreachable
[ "$(calls 'apt-get update')" = 3 ] || fail "apt-get update was not tried three times by scripts/test"
expect_out test "could not fetch (try 1 of 3): bookworm"
[ "$(calls 'cmake reached')" = 2 ] || fail "the build step was not reached by both commands"
cases=$((cases + 1))

# A machine that runs no 32-bit code asks for neither wine32 nor the i386
# architecture, also when both Wine loaders are missing.
NO_WINE=1 run_case no-32bit 0 ok QUILLO_NO_32BIT=1
[ "$(calls 'apt-get install')" -ge 1 ] || fail "nothing was installed"
[ "$(calls 'wine64')" -ge 1 ] || fail "wine64 was not asked for"
[ "$(calls 'wine32')" = 0 ] || fail "wine32 was asked for on a machine that runs no 32-bit code"
[ "$(calls 'i386')" = 0 ] || fail "the i386 architecture was added on a machine that runs no 32-bit code"
[ "$(calls 'cmake reached')" = 2 ] || fail "the build step was not reached by both commands"
cases=$((cases + 1))

if [ $failures -eq 0 ]; then echo "set-up path: $cases cases passed"; else exit 1; fi
