# What running the product under Wine needs: an Xvfb display picked free and
# reused while it lives, one prefix per flavor under build/, the Japanese
# locale for code page 932, and the means to stop all of it again.
# Source after common.sh.

# A run that must not touch the shared prefixes (another screen DPI, a fresh
# prefix for an unpacked download) names itself with QUILLO_WINE_TAG: it gets
# prefixes and an Xvfb display of its own, wineprefix-TAG and wineprefix64-TAG.
# QUILLO_WINE_DPI sets the screen DPI (LogPixels) of such a prefix when it is made.
WINE_TAG=${QUILLO_WINE_TAG:+-$QUILLO_WINE_TAG}
XVFB_STATE="$BUILD/xvfb$WINE_TAG"
XVFB_PID="$BUILD/xvfb$WINE_TAG.pid"
LOCALE_DIR="$BUILD/locale"

# Wine takes a program's ANSI code page from the Unix locale, and a fresh
# machine has no ja_JP.UTF-8: without it LANG=ja_JP.UTF-8 quietly gives 1252.
# Built once into build/ and found through LOCPATH; nothing of the system changes.
ensure_locale() {
  if [ ! -d "$LOCALE_DIR/ja_JP.UTF-8" ]; then
    mkdir -p "$LOCALE_DIR"
    localedef -i ja_JP -f UTF-8 "$LOCALE_DIR/ja_JP.UTF-8" >"$BUILD/localedef.log" 2>&1 ||
      [ -d "$LOCALE_DIR/ja_JP.UTF-8" ] || { say "could not build the ja_JP.UTF-8 locale"; tail -5 "$BUILD/localedef.log" >&2; return 1; }
  fi
  export LOCPATH="$LOCALE_DIR"
}

# Picks the prefix and the loader of flavor 32 or 64. Debian's `wine` script
# takes the 32-bit loader whenever wine32 is installed, so each flavor names
# its loader itself.
use_flavor() {
  if [ "$1" = 64 ]; then
    export WINEPREFIX="$BUILD/wineprefix64$WINE_TAG" WINEARCH=win64 WINELOADER="$WINE_LIBDIR/wine64"
  else
    export WINEPREFIX="$BUILD/wineprefix$WINE_TAG" WINEARCH=win32 WINELOADER="$WINE_LIBDIR/wine"
  fi
  QUILLO_FLAVOR=$1
}

wine_run() { "$WINELOADER" "$@"; }

# The flavor of a Windows program, from the machine field of its PE header:
# 64 for x86_64, 32 otherwise.
pe_flavor() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] || { echo 32; return; }
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  if [ "$machine" = 8664 ]; then echo 64; else echo 32; fi
}

display_alive() {
  [ -n "${1:-}" ] && [ -S "/tmp/.X11-unix/X${1#:}" ] && xdpyinfo_ok "$1"
}

xdpyinfo_ok() {
  # xdotool ships no probe of its own; asking for the root window's geometry is enough.
  DISPLAY="$1" xdotool getdisplaygeometry >/dev/null 2>&1
}

# Starts (or reuses) a private Xvfb and exports DISPLAY. Returns 0; sets
# STARTED_DISPLAY=1 when this call started it.
STARTED_DISPLAY=0
ensure_display() {
  mkdir -p "$BUILD"
  if [ -f "$XVFB_STATE" ]; then
    local d i
    d=$(cat "$XVFB_STATE")
    # A display of this run that is slow to answer is asked again before it
    # is given up: one started over its pid file would leave it running,
    # unseen by every later stop and by the check for leftovers.
    for i in 1 2 3; do
      if display_alive "$d"; then export DISPLAY="$d"; return 0; fi
      sleep 1
    done
    # Ended only when it is this build's own (stop_display checks).
    stop_display
  fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # Output to a file, never to our stdout: a daemon holding the pipe would keep
    # whoever reads our output (CI) waiting after we are done. exec: the pid we
    # keep is Xvfb's own.
    # The display carries the build folder in its environment, so the check
    # for leftovers finds it even when its pid file is gone.
    (export QUILLO_DISPLAY_OF="$BUILD"; exec setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$BUILD/xvfb.log" 2>&1 </dev/null) &
    local pid=$! i
    for i in $(seq 1 100); do
      if display_alive ":$n"; then
        echo ":$n" >"$XVFB_STATE"
        echo "$pid" >"$XVFB_PID"
        export DISPLAY=":$n"
        STARTED_DISPLAY=1
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  say "could not start Xvfb"
  return 1
}

# Every program runs inside one Wine desktop named "shell", as on Windows:
# title bars, a task bar and a notification area for the tray icon (only that
# name shows them; a desktop named "Default" shows neither).
use_shell_desktop() {
  wine_run reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1 </dev/null
  wine_run reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1 </dev/null
}

# Creates the prefix of the current flavor once; later runs reuse it. Then
# makes sure its server and Wine's own services run, so that a test program
# starts in a fraction of a second. Sets STARTED_SERVER=1 when it started them.
STARTED_SERVER=0
ensure_prefix() {
  ensure_locale || return 1
  if [ ! -f "$WINEPREFIX/.quillo-ready" ]; then
    say "creating the $QUILLO_FLAVOR-bit Wine prefix (once, about 20 s)"
    wine_run wineboot -i >"$BUILD/wineboot$QUILLO_FLAVOR.log" 2>&1 </dev/null
    # Without a window manager Wine waits two seconds for each hidden window
    # to be withdrawn, which makes every closed dialog slow: the "shell"
    # desktop spares that too.
    use_shell_desktop
    wineserver -w
    touch "$WINEPREFIX/.quillo-ready"
  elif ! grep -qi '^"Desktop"="shell"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    # A prefix made before the tray icon existed: give it the task bar too
    # (from the next start of its server on).
    use_shell_desktop
  fi
  if ! server_running && [ -n "${QUILLO_WINE_DPI:-}" ] &&
    ! grep -qi "^\"LogPixels\"=dword:$(printf %08x "$QUILLO_WINE_DPI")\$" "$WINEPREFIX/user.reg" 2>/dev/null; then
    # The screen DPI is read when the server starts: set it, and let that
    # server end, before the one the tests use. Checked at every start, so a
    # prefix first made without a DPI gets it too.
    wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$QUILLO_WINE_DPI" /f >/dev/null 2>&1 </dev/null
    wineserver -w
  fi
  if ! server_running; then
    # Test folders whose copies of the libraries stayed mapped in some Wine
    # process could not be removed by their tests; with no server running
    # nothing maps them any more.
    rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/quillo-test-*
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # The first program of a server also starts Wine's services, which live as
    # long as the server. Start them here with their output going nowhere:
    # started by a test they would inherit its output pipe, and ctest would
    # wait for them to close it.
    wine_run cmd /c exit >/dev/null 2>&1 </dev/null || true
    STARTED_SERVER=1
  fi
}

# Whether a process of ours runs with WINEPREFIX=$1 (default: the current one).
processes_of_prefix() {
  local want="WINEPREFIX=${1:-$WINEPREFIX}" p
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" = $$ ] && continue
    if tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "$want"; then echo "${p#/proc/}"; fi
  done
}

server_running() {
  local p
  for p in $(pgrep wineserver); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

stop_prefix() {  # prefix folder
  [ -d "$1" ] || return 0
  WINEPREFIX="$1" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$1" wineserver -w >/dev/null 2>&1 || true
}

# Whether pid is an Xvfb of this build folder: it carries the folder's mark
# in its environment. One started before displays carried the mark is known
# by its display number (the second argument) instead. A pid file that
# outlived its display (a reboot) may name another checkout's display by now.
our_display_pid() {  # pid [display]
  local pid=$1 d=${2:-} env cmd
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] || return 1
  env=$(tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ") || return 1
  # Matched without pipes: under pipefail a grep -q that stops reading early
  # can fail the pipe it ends.
  case $'\n'"$env"$'\n' in
    *$'\n'"QUILLO_DISPLAY_OF=$BUILD"$'\n'*) return 0 ;;
    *$'\n'QUILLO_DISPLAY_OF=*) return 1 ;;
  esac
  [ -n "$d" ] || return 1
  cmd=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline") || return 1
  case "$cmd" in *"Xvfb $d "*) return 0 ;; esac
  return 1
}

STOPPED_XVFB_PID=""
stop_display() {  # [pid file, state file]: those of this run by default
  local pidfile=${1:-$XVFB_PID} state=${2:-$XVFB_STATE}
  if [ -f "$pidfile" ]; then
    local pid d
    pid=$(cat "$pidfile")
    d=$(cat "$state" 2>/dev/null || true)
    if our_display_pid "$pid" "$d"; then
      STOPPED_XVFB_PID="$STOPPED_XVFB_PID $pid"
      kill "$pid" 2>/dev/null || true
      local i
      for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
  fi
  rm -f "$pidfile" "$state"
}

# The prefixes of this build folder: the two shared ones and those of tagged runs.
all_prefixes() {
  local p
  for p in "$BUILD"/wineprefix "$BUILD"/wineprefix64 "$BUILD"/wineprefix-* "$BUILD"/wineprefix64-*; do
    [ -d "$p" ] && echo "$p"
  done
}

# Everything the Wine runs of this build folder started: every prefix's
# servers and programs, and the private displays.
stop_wine_env() {
  local p
  for p in $(all_prefixes); do stop_prefix "$p"; done
  for p in "$BUILD"/xvfb*.pid; do
    [ -f "$p" ] && stop_display "$p" "${p%.pid}"
  done
  return 0
}

# Every Xvfb started for this build folder, pid file or not (other checkouts'
# displays carry their own folder and are left alone).
displays_of_this_build() {
  local p
  for p in $(pgrep -x Xvfb 2>/dev/null || true); do
    if our_display_pid "$p"; then echo "$p"; fi
  done
  return 0
}

# Lists (and ends) whatever of this build folder is still running; non-zero
# when something was.
check_nothing_left() {
  local left="" p
  local prefix
  for prefix in $(all_prefixes); do
    for p in $(processes_of_prefix "$prefix"); do left="$left $p"; done
  done
  local f mine=""
  for f in "$BUILD"/xvfb*.pid; do
    [ -f "$f" ] || continue
    p=$(cat "$f" 2>/dev/null || true)
    if our_display_pid "$p" "$(cat "${f%.pid}" 2>/dev/null || true)"; then mine="$mine $p"; fi
  done
  # Those stopped in this run were checked to be ours when they were stopped.
  for p in $STOPPED_XVFB_PID $mine $(displays_of_this_build); do
    [ -n "$p" ] && [ "$(cat "/proc/$p/comm" 2>/dev/null)" = Xvfb ] && case " $left " in *" $p "*) ;; *) left="$left $p" ;; esac
  done
  [ -z "$left" ] && return 0
  say "still running after the end:"
  for p in $left; do printf '   %s %s\n' "$p" "$(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null)" >&2; done
  # shellcheck disable=SC2086
  kill -9 $left 2>/dev/null || true
  return 1
}
