# A display and a Wine prefix for running the product: an Xvfb display picked
# free at first use and reused while it lives, and one prefix under build/.
# Source after common.sh.

XVFB_STATE="$BUILD/xvfb"

display_alive() {
  [ -n "${1:-}" ] && [ -S "/tmp/.X11-unix/X${1#:}" ] && xdpyinfo_ok "$1"
}

xdpyinfo_ok() {
  # xdotool ships no probe of its own; asking for the root window's geometry is enough.
  DISPLAY="$1" xdotool getdisplaygeometry >/dev/null 2>&1
}

# Starts (or reuses) a private Xvfb and exports DISPLAY.
ensure_display() {
  mkdir -p "$BUILD"
  if [ -f "$XVFB_STATE" ]; then
    local d
    d=$(cat "$XVFB_STATE")
    if display_alive "$d"; then export DISPLAY="$d"; return 0; fi
  fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # Output to a file, never to our stdout: a daemon holding the pipe would keep
    # whoever reads our output (CI) waiting after we are done.
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$BUILD/xvfb.log" 2>&1 </dev/null &
    local i
    for i in $(seq 1 100); do
      if display_alive ":$n"; then
        echo ":$n" >"$XVFB_STATE"
        echo $! >"$BUILD/xvfb.pid"
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
  done
  say "could not start Xvfb"
  return 1
}

# Creates the prefix once; later runs reuse it. Then makes sure the server and
# Wine's own services run, so that a test program starts in a fraction of a second.
ensure_prefix() {
  if [ ! -f "$WINEPREFIX/.quillo-ready" ]; then
    say "creating the Wine prefix (once, about 20 s)"
    wineboot -i >"$BUILD/wineboot.log" 2>&1 </dev/null
    # Every program runs inside one Wine desktop window, as on Windows: title
    # bars, a task bar and a notification area. Without a window manager Wine
    # also waits two seconds for each hidden window to be withdrawn, which
    # makes every closed dialog slow.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 </dev/null
    wineserver -w
    touch "$WINEPREFIX/.quillo-ready"
  fi
  if ! pgrep -x wineserver >/dev/null 2>&1; then
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # The first program of a server also starts Wine's services, which live as
    # long as the server. Start them here with their output going nowhere:
    # started by a test they would inherit its output pipe, and ctest would
    # wait for them to close it.
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  fi
}

stop_wine_env() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$BUILD/xvfb.pid" ]; then
    kill "$(cat "$BUILD/xvfb.pid")" 2>/dev/null || true
    rm -f "$BUILD/xvfb.pid" "$XVFB_STATE"
  fi
}
