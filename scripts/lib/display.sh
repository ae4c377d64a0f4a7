# Sourced by scripts/test and scripts/bench: private X displays (Xvfb on a
# free display number) with the jwm window manager, which the tray and
# _NET_ACTIVE_WINDOW need, or with i3. Stopped by stop_display (call it from
# an EXIT trap).
DISPLAY_PIDS=()
DISPLAY_HOMES=()
stop_display() {
  local pid home
  for pid in "${DISPLAY_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for home in "${DISPLAY_HOMES[@]}"; do rm -rf "$home" || true; done
  DISPLAY_PIDS=()
  DISPLAY_HOMES=()
}
# start_display [VARIABLE [KIND]]: starts a display and exports its
# name in VARIABLE (DISPLAY by default). The window manager focuses on click
# by default, so that no result depends on where a test left the pointer;
# "sloppy" focuses the window under the pointer, as Debian's stock jwm
# configuration and many other window managers do; "i3" runs the i3 tiling
# window manager instead of jwm (no bar, no tray), on a configuration of its
# own: the stock one starts a bar, a locker and a set-up wizard.
start_display() {
  local variable="${1:-DISPLAY}" focus="${2:-click}" fifo num="" home wm name wm_name
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/tmp/quillary-xvfb.$$.log 2>&1 &
  DISPLAY_PIDS+=($!)
  # Xvfb writes its display number when it is ready; if it dies first, the
  # read sees end of file instead of hanging.
  read -r -t 30 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ]; then
    echo "Xvfb did not start, so the X11 tests cannot run. Its output:" >&2
    cat /tmp/quillary-xvfb.$$.log >&2 || true
    return 1
  fi
  name=":$num"
  export "$variable=$name"
  # Xvfb names its display as it starts listening; when several start at
  # once a client may still be turned away for a moment, so the window
  # manager starts once the display answers.
  for _ in $(seq 50); do
    xdpyinfo -display "$name" >/dev/null 2>&1 && break
    sleep 0.1
  done
  home="$(mktemp -d)"
  DISPLAY_HOMES+=("$home")
  if [ "$focus" = i3 ]; then
    wm_name=i3
    # Focus goes by click here too.
    cat >"$home/i3.config" <<I3CONFIG
# i3 config file (v4)
font pango:DejaVu Sans 8
focus_follows_mouse no
I3CONFIG
    # Its sockets and logs go under the runtime folder, removed with the home.
    HOME="$home" XDG_RUNTIME_DIR="$home" DISPLAY="$name" i3 -c "$home/i3.config" >"$home/wm.log" 2>&1 &
  else
    wm_name=jwm
    # The dock holds tray icons.
    cat >"$home/.jwmrc" <<JWMRC
<?xml version="1.0"?>
<JWM>
  <Tray x="0" y="-1" height="25" autohide="off"><Dock/></Tray>
  <FocusModel>$focus</FocusModel>
</JWM>
JWMRC
    HOME="$home" DISPLAY="$name" jwm >"$home/wm.log" 2>&1 &
  fi
  wm=$!
  DISPLAY_PIDS+=("$wm")
  # The window manager is ready once it owns the WM selection of screen 0.
  for _ in $(seq 50); do
    xprop -display "$name" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    if ! kill -0 "$wm" 2>/dev/null; then
      echo "The $wm_name window manager exited on display $name, so the X11 tests cannot run. Its output:" >&2
      cat "$home/wm.log" >&2 || true
      return 1
    fi
    sleep 0.1
  done
  echo "The $wm_name window manager did not take display $name within 5 seconds, so the X11 tests cannot run." >&2
  return 1
}
