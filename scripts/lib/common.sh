# Shared by the scripts: paths, package installation, the two build flavors.
# Source it; it defines functions and variables only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD="$ROOT/build"
NATIVE_BUILD="$BUILD/native"
export WINEDEBUG=-all
# Where Debian puts Wine's two loaders (a setting only so that the set-up
# check can make them missing).
WINE_LIBDIR=${WINE_LIBDIR:-/usr/lib/wine}
# No Mono or Gecko install dialogs when a prefix is made: nothing here needs them.
export WINEDLLOVERRIDES="mscoree=;mshtml="

say() { printf '== %s\n' "$*" >&2; }

# The Windows flavors: "32" (i686, the primary deliverable) and "64" (x86_64).
cross_build() { if [ "$1" = 64 ]; then echo "$BUILD/mingw64"; else echo "$BUILD/mingw"; fi; }
cross_toolchain() { if [ "$1" = 64 ]; then echo "$ROOT/cmake/mingw-x86_64.cmake"; else echo "$ROOT/cmake/mingw-i686.cmake"; fi; }
# File names of the deliverables: Windows wants the 32-bit and the 64-bit hook
# library under different names, and one folder may hold both flavors.
flavor_suffix() { if [ "$1" = 64 ]; then echo 64; fi; }
dist_folder() { echo "$ROOT/dist/Quillo$(flavor_suffix "$1")"; }
dist_files() {
  local s
  s=$(flavor_suffix "$1")
  echo "Quillo$s.exe QuilloHook$s.dll QuilloDlgEx$s.dll MenuTemp.txt MenuHelp.txt"
}
# Files of the 32-bit tree that the 64-bit folder holds too: on 64-bit Windows
# Quillo64.exe starts the 32-bit companion, which loads the 32-bit libraries,
# to reach 32-bit programs.
dist_companion_files() { if [ "$1" = 64 ]; then echo "QuilloCompanion.exe QuilloHook.dll QuilloDlgEx.dll"; fi; }

# Whether this machine runs 32-bit x86 code at all. Some do not: every i386
# program fails there with "Exec format error", Wine's 32-bit loader included.
# Asked of the machine itself by running a tiny i386 program, once per build
# folder. QUILLO_NO_32BIT=1 makes the answer "no" anywhere, to try the
# 64-bit-only path on a machine that could run both.
runs_32bit_code() {
  [ "${QUILLO_NO_32BIT:-0}" = 1 ] && return 1
  local probe="$BUILD/probe/i386-exit0"
  if [ ! -x "$probe" ]; then
    mkdir -p "$BUILD/probe"
    # A static i386 ELF program of 232 bytes that only exits with 0 (movl $1,
    # %eax; xorl %ebx, %ebx; int $0x80), written out here so that the answer
    # needs no assembler: it decides which packages a fresh machine gets.
    printf '%b' \
      '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00' \
      '\x54\x80\x04\x08\x34\x00\x00\x00\x70\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00' \
      '\x03\x00\x02\x00\x01\x00\x00\x00\x54\x00\x00\x00\x54\x80\x04\x08\x54\x80\x04\x08\x09\x00\x00\x00' \
      '\x09\x00\x00\x00\x05\x00\x00\x00\x01\x00\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80\x00\x2e\x73' \
      '\x68\x73\x74\x72\x74\x61\x62\x00\x2e\x74\x65\x78\x74\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
      '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
      '\x00\x00\x00\x00\x00\x00\x00\x00\x0b\x00\x00\x00\x01\x00\x00\x00\x06\x00\x00\x00\x54\x80\x04\x08' \
      '\x54\x00\x00\x00\x09\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
      '\x01\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x5d\x00\x00\x00\x11\x00\x00\x00' \
      '\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00' >"$probe.tmp" &&
      chmod +x "$probe.tmp" && mv "$probe.tmp" "$probe" || { say "could not write the i386 probe"; return 1; }
  fi
  "$probe" >/dev/null 2>&1
}

# The flavors whose Windows programs this machine can run, primary first.
runnable_flavors() { if runs_32bit_code; then echo "32 64"; else echo "64"; fi; }

# Debian packages the build and the tests need, by the command or file that proves each.
need_packages() {
  local missing=()
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686 mingw-w64-i686-dev)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64 mingw-w64-x86-64-dev)
  command -v cmake >/dev/null || missing+=(cmake)
  command -v ninja >/dev/null || missing+=(ninja-build)
  command -v clang++ >/dev/null || missing+=(clang)
  command -v as >/dev/null || missing+=(binutils)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  command -v xdotool >/dev/null || missing+=(xdotool)
  command -v localedef >/dev/null || missing+=(libc-bin)
  [ -f /usr/share/i18n/locales/ja_JP ] || missing+=(locales)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  [ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
  [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
  # The 32-bit Wine loader only where the machine runs 32-bit code: elsewhere
  # nothing could use it, and it needs the i386 architecture, whose indexes
  # are the ones most often out of step with the rest of the source.
  if runs_32bit_code; then [ -x "$WINE_LIBDIR/wine" ] || missing+=(wine32); fi
  [ -x "$WINE_LIBDIR/wine64" ] || missing+=(wine64)
  command -v wine >/dev/null || missing+=(wine)
  command -v import >/dev/null || missing+=(imagemagick)
  command -v python3 >/dev/null || missing+=(python3)
  printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' '
}

# The indexes an `apt-get update` log says it could not fetch, one a line, as
# "SUITE/COMPONENT ARCH" (or "SUITE" for a whole release file).
failed_indexes() {  # log
  sed -n 's/^Err:[0-9]* [^ ]* \([^ ]*\) \(.*\)$/\1 \2/p' "$1" |
    sed 's/ Packages$//; s/ InRelease$//; s/ Release$//' | sort -u
}

# apt-get update that survives a package source which is partly out of date:
# one index in the middle of a mirror sync makes it exit non-zero although
# every other index arrived and `apt-get install` works with them. It tries a
# few times, names what failed, and goes on; whether the install works is
# what decides. Sets APT_FAILED_SUITES to the suites with a missing index.
APT_FAILED_SUITES=""
apt_update() {  # sudo prefix (may be empty), log
  local sudo=$1 log=$2 try tries=${QUILLO_APT_UPDATE_TRIES:-3} out="$BUILD/apt-update.log" failed="" rc
  for try in $(seq 1 "$tries"); do
    # apt's own words, untranslated: its "Err:" lines are what names the
    # failed indexes. A host that cannot be reached is only a warning to
    # apt-get (exit 0), so its Err lines count as a failure too.
    rc=0
    $sudo env LC_ALL=C apt-get update -q >"$out" 2>&1 || rc=$?
    cat "$out" >>"$log"
    failed=$(failed_indexes "$out")
    if [ $rc -eq 0 ] && [ -z "$failed" ]; then
      APT_FAILED_SUITES=""
      return 0
    fi
    say "apt-get update could not fetch (try $try of $tries): $(echo "${failed:-an index; see $log}" | tr '\n' ';' | sed 's/;$//; s/;/; /g')"
    [ "$try" -lt "$tries" ] && sleep "${QUILLO_APT_RETRY_PAUSE:-20}"
  done
  APT_FAILED_SUITES=$(echo "$failed" | sed 's/[/ ].*//' | sort -u | tr '\n' ' ' | sed 's/ $//')
  say "going on with the indexes that did arrive"
}

apt_install() {  # sudo prefix, log, apt-get options before "install"..., --, packages...
  local sudo=$1 log=$2
  shift 2
  local opts=()
  while [ "$1" != -- ]; do opts+=("$1"); shift; done
  shift
  # Through env: sudo would drop the variables set before it.
  # shellcheck disable=SC2086
  $sudo env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get "${opts[@]}" install -y -q "$@" >>"$log" 2>&1
}

# Installs what need_packages names, and the packages given as arguments
# (by Debian name) that a script of its own needs beyond the build and tests.
still_missing() {  # extra packages...
  local p extra=()
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || extra+=("$p"); done
  echo "$(need_packages) ${extra[*]}"
}
install_packages() {
  local missing
  missing=$(still_missing "$@")
  [ -z "${missing// /}" ] && return 0
  mkdir -p "$BUILD"
  local log="$BUILD/apt.log"
  say "installing: $missing"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
      sudo="sudo -n"
    else
      say "cannot install $missing: this needs root or sudo without a password; install them and run again"
      return 1
    fi
  fi
  # The i386 architecture serves the 32-bit Wine loader alone.
  case " $missing " in
    *" wine32 "*)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386 >>"$log" 2>&1 || { say "dpkg --add-architecture i386 failed"; tail -20 "$log" >&2; return 1; }
      fi
      ;;
  esac
  apt_update "$sudo" "$log"
  # shellcheck disable=SC2086
  if ! apt_install "$sudo" "$log" -- $missing; then
    # With an index of some suite missing, packages that must match across
    # the two architectures (wine32's i386 libraries and their amd64 twins)
    # can ask for versions only that suite has. Prefer the versions of the
    # suites that arrived whole, for this install only.
    local installed=0
    if [ -n "${APT_FAILED_SUITES// /}" ]; then
      local pref="$BUILD/apt-prefer-whole-suites.pref" s
      # This file stands in for the machine's own preferences file: keep its
      # pins first (apt takes the first that matches), then ours.
      { cat /etc/apt/preferences 2>/dev/null || true; echo; } >"$pref"
      for s in $APT_FAILED_SUITES; do
        # A source names its suite by code name or by class; pin both.
        printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\nPackage: *\nPin: release a=%s\nPin-Priority: 100\n\n' "$s" "$s" >>"$pref"
      done
      say "the install failed with an index of $APT_FAILED_SUITES missing; trying again with the versions of the other suites preferred"
      # shellcheck disable=SC2086
      apt_install "$sudo" "$log" -o "Dir::Etc::Preferences=$pref" -- $missing && installed=1
    fi
    if [ $installed -eq 0 ]; then
      say "the package install failed (no network or no package source?); the end of $log:"
      tail -20 "$log" >&2
      return 1
    fi
  fi
  missing=$(still_missing "$@")
  [ -z "${missing// /}" ] || { say "still missing after the install: $missing"; return 1; }
}

# Reads the output of `ctest --repeat until-pass:2` and prints a line for each
# entry whose first run failed: "NAME passed" when its second run passed,
# "NAME failed" when that failed too. An entry that could not run here
# (skipped) did not fail; ctest names it among those that did not run. ctest right-aligns the "N/M" counter, so
# the lines of entries 1 to 9 begin with spaces; the second run's line has no
# counter at all.
retried_entries() {  # log
  awk '
    function entry(line,   rest) {
      rest = line
      sub(/^ *([0-9]+\/[0-9]+ +)?Test +#/, "", rest)
      num = rest; sub(/:.*/, "", num)
      name = rest; sub(/^[0-9]+: +/, "", name); sub(/ .*/, "", name)
    }
    /^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: / {
      entry($0)
      if ($0 ~ /\*\*\*/ && $0 !~ /Not Run \(Disabled\)/ && $0 !~ /\*\*\*Skipped/) { first[num] = name; order[++n] = num }
      next
    }
    /^ +Test +#[0-9]+: / {
      entry($0)
      if (num in first && !(num in second)) second[num] = ($0 ~ /\*\*\*/) ? "failed" : "passed"
    }
    END {
      for (i = 1; i <= n; i++) print first[order[i]], ((order[i] in second) ? second[order[i]] : "failed")
    }
  ' "$1"
}

configure_tree() {  # source folder, build folder, log name, cmake arguments...
  local dir=$2 log=$3
  shift 3
  [ -f "$dir/build.ninja" ] && return 0
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >"$BUILD/$log" 2>&1 || { tail -40 "$BUILD/$log" >&2; return 1; }
}

build_tree() {  # build folder, log name, what it is
  say "building ($3)"
  ninja -C "$1" -j2 >"$BUILD/$2" 2>&1 || { tail -40 "$BUILD/$2" >&2; return 1; }
}

configure_flavors() {
  mkdir -p "$BUILD"
  local f
  for f in 32 64; do
    # The 64-bit tree's tests start the 32-bit companion from the 32-bit tree.
    configure_tree "$ROOT" "$(cross_build $f)" "cmake-mingw$f.log" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$(cross_toolchain $f)" -DQUILLO_BIN32="$(cross_build 32)/bin" || return 1
  done
}

# Both Windows flavors are always built, whatever this machine can run.
configure_and_build() {
  local f
  configure_flavors || return 1
  CC=clang CXX=clang++ configure_tree "$ROOT" "$NATIVE_BUILD" cmake-native.log -DCMAKE_BUILD_TYPE=RelWithDebInfo || return 1
  for f in 32 64; do
    build_tree "$(cross_build $f)" "ninja-mingw$f.log" "Windows, $f-bit" || return 1
  done
  build_tree "$NATIVE_BUILD" ninja-native.log native
}

# Lays out the program folder of one flavor: dist/Quillo or dist/Quillo64.
lay_out_dist() {
  local dist f
  dist=$(dist_folder "$1")
  mkdir -p "$dist"
  for f in $(dist_files "$1"); do cp -f "$(cross_build "$1")/bin/$f" "$dist/"; done
  for f in $(dist_companion_files "$1"); do cp -f "$(cross_build 32)/bin/$f" "$dist/"; done
  # The user's guide, which Help opens: the build copies it beside the program.
  rm -rf "$dist/guide"
  cp -R "$(cross_build "$1")/bin/guide" "$dist/guide"
  echo "$dist"
}
