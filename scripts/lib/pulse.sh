# Sourced by scripts/test and scripts/bench: a private PulseAudio server for
# the voice tests, on a socket of its own (the user's sound server is never
# touched). Its microphone is a pipe source reading mono float samples at
# 16 kHz from a FIFO that the tests write speech into; its only sink is a
# null sink. Exports PULSE_SERVER and QUILLARY_TEST_MICROPHONE (the FIFO).
# Stopped by stop_pulse (call it from an EXIT trap).
PULSE_PID=""
PULSE_DIR=""
stop_pulse() {
  [ -n "$PULSE_PID" ] && kill "$PULSE_PID" 2>/dev/null && wait "$PULSE_PID" 2>/dev/null || true
  [ -n "$PULSE_DIR" ] && rm -rf "$PULSE_DIR" || true
  PULSE_PID=""
  PULSE_DIR=""
}
start_pulse() {
  PULSE_DIR="$(mktemp -d)"
  mkdir -m 700 "$PULSE_DIR/run"
  # The pipe source makes the FIFO itself.
  cat >"$PULSE_DIR/server.pa" <<PA
load-module module-native-protocol-unix socket=$PULSE_DIR/native auth-anonymous=1
load-module module-null-sink sink_name=speakers
load-module module-pipe-source source_name=microphone file=$PULSE_DIR/microphone format=float32le rate=16000 channels=1
set-default-sink speakers
set-default-source microphone
PA
  # -n: no default configuration, only the modules above; no D-Bus, no
  # autospawn, no idle exit. As root it warns that it is not meant to run so.
  HOME="$PULSE_DIR" XDG_RUNTIME_DIR="$PULSE_DIR/run" XDG_CONFIG_HOME="$PULSE_DIR/config" \
    pulseaudio -n -F "$PULSE_DIR/server.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disable-shm=yes --log-target=stderr >"$PULSE_DIR/log" 2>&1 &
  PULSE_PID=$!
  for _ in $(seq 100); do
    if PULSE_SERVER="unix:$PULSE_DIR/native" pactl info >/dev/null 2>&1; then
      export PULSE_SERVER="unix:$PULSE_DIR/native"
      export QUILLARY_TEST_MICROPHONE="$PULSE_DIR/microphone"
      return 0
    fi
    kill -0 "$PULSE_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "The private PulseAudio did not start, so the voice tests cannot run. Its output:" >&2
  cat "$PULSE_DIR/log" >&2 || true
  return 1
}
