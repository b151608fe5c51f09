# Shared by the scripts: paths, package installation, the two build flavors.
# Source it; it defines functions and variables only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD="$ROOT/build"
NATIVE_BUILD="$BUILD/native"
export WINEDEBUG=-all
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
    printf '.globl _start\n_start:\n  movl $1, %%eax\n  xorl %%ebx, %%ebx\n  int $0x80\n' >"$BUILD/probe/exit0.s"
    as --32 -o "$BUILD/probe/exit0.o" "$BUILD/probe/exit0.s" &&
      ld -m elf_i386 -o "$probe" "$BUILD/probe/exit0.o" || { say "could not build the i386 probe"; return 1; }
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
  # Both Wine loaders: the 32-bit one is installed even where the machine
  # cannot run it, so the set of packages is the same on every machine.
  [ -x /usr/lib/wine/wine ] || missing+=(wine32)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  command -v wine >/dev/null || missing+=(wine)
  command -v import >/dev/null || missing+=(imagemagick)
  printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' '
}

install_packages() {
  local missing
  missing=$(need_packages)
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
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 >>"$log" 2>&1 || { say "dpkg --add-architecture i386 failed"; tail -20 "$log" >&2; return 1; }
  fi
  # shellcheck disable=SC2086
  if ! { $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing; } >>"$log" 2>&1; then
    say "the package install failed (no network or no package source?); the end of $log:"
    tail -20 "$log" >&2
    return 1
  fi
  missing=$(need_packages)
  [ -z "${missing// /}" ] || { say "still missing after the install: $missing"; return 1; }
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

# Both Windows flavors are always built, whatever this machine can run.
configure_and_build() {
  mkdir -p "$BUILD"
  local f
  for f in 32 64; do
    configure_tree "$ROOT" "$(cross_build $f)" "cmake-mingw$f.log" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$(cross_toolchain $f)" || return 1
  done
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
  echo "$dist"
}
