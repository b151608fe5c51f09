# Shared by the scripts: paths, package installation, the Wine environment.
# Source it; it defines functions and variables only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD="$ROOT/build"
CROSS_BUILD="$BUILD/mingw"
NATIVE_BUILD="$BUILD/native"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win32
# No Mono or Gecko install dialogs when the prefix is made: nothing here needs them.
export WINEDLLOVERRIDES="mscoree=;mshtml="

say() { printf '== %s\n' "$*" >&2; }

# Debian packages the build and the tests need, by the command or file that proves each.
need_packages() {
  local missing=()
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686 mingw-w64-i686-dev)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64 mingw-w64-x86-64-dev)
  [ -f /usr/share/i18n/locales/ja_JP ] || missing+=(locales)
  command -v cmake >/dev/null || missing+=(cmake)
  command -v ninja >/dev/null || missing+=(ninja-build)
  command -v clang++ >/dev/null || missing+=(clang)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  command -v xdotool >/dev/null || missing+=(xdotool)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  [ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
  [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
  dpkg -s wine32 >/dev/null 2>&1 || missing+=(wine wine32 wine64)
  command -v wine >/dev/null || missing+=(wine)
  dpkg -s imagemagick >/dev/null 2>&1 || missing+=(imagemagick)
  printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' '
}

install_packages() {
  local missing
  missing=$(need_packages)
  [ -z "${missing// /}" ] && return 0
  say "installing: $missing"
  mkdir -p "$BUILD"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q >/dev/null
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing \
    >"$BUILD/apt.log" 2>&1 || { tail -20 "$BUILD/apt.log" >&2; return 1; }
  missing=$(need_packages)
  [ -z "${missing// /}" ] || { say "still missing after install: $missing"; return 1; }
}

configure_and_build() {
  mkdir -p "$BUILD"
  if [ ! -f "$CROSS_BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$CROSS_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >"$BUILD/cmake-mingw.log" || return 1
  fi
  if [ ! -f "$NATIVE_BUILD/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$NATIVE_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      >"$BUILD/cmake-native.log" || return 1
  fi
  say "building (cross)"
  ninja -C "$CROSS_BUILD" -j2 >"$BUILD/ninja-mingw.log" 2>&1 || { tail -40 "$BUILD/ninja-mingw.log" >&2; return 1; }
  say "building (native)"
  ninja -C "$NATIVE_BUILD" -j2 >"$BUILD/ninja-native.log" 2>&1 || { tail -40 "$BUILD/ninja-native.log" >&2; return 1; }
}
