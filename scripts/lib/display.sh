# Sourced by scripts/test and scripts/bench: a private X display (Xvfb on a
# free display number) with the jwm window manager, which the tray and
# _NET_ACTIVE_WINDOW need. Stopped by stop_display (call it from an EXIT trap).
XVFB_PID=""
WM_PID=""
WM_HOME=""
stop_display() {
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$WM_HOME" ] && rm -rf "$WM_HOME" || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
start_display() {
  local fifo num=""
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/tmp/quillary-xvfb.$$.log 2>&1 &
  XVFB_PID=$!
  # Xvfb writes its display number when it is ready; if it dies first, the
  # read sees end of file instead of hanging.
  read -r -t 30 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ]; then
    echo "Xvfb did not start, so the X11 tests cannot run. Its output:" >&2
    cat /tmp/quillary-xvfb.$$.log >&2 || true
    return 1
  fi
  export DISPLAY=":$num"
  WM_HOME="$(mktemp -d)"
  # Click-to-focus, so that no result depends on where a test left the
  # pointer (Debian's stock configuration focuses the window under it). The
  # dock holds tray icons.
  cat >"$WM_HOME/.jwmrc" <<'JWMRC'
<?xml version="1.0"?>
<JWM>
  <Tray x="0" y="-1" height="25" autohide="off"><Dock/></Tray>
  <FocusModel>click</FocusModel>
</JWM>
JWMRC
  HOME="$WM_HOME" jwm >/dev/null 2>&1 &
  WM_PID=$!
  # The window manager is ready once it owns the WM selection of screen 0.
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    if ! kill -0 "$WM_PID" 2>/dev/null; then
      echo "The jwm window manager exited on display $DISPLAY, so the X11 tests cannot run." >&2
      return 1
    fi
    sleep 0.1
  done
  echo "The jwm window manager did not take display $DISPLAY within 5 seconds, so the X11 tests cannot run." >&2
  return 1
}
