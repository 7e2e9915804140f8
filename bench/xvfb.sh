# Sourced by the window benchmarks: runs the rest of the script against a private Xvfb
# display (stopped on exit), or the offscreen platform when Xvfb is missing.
start_display() {
  if command -v Xvfb >/dev/null; then
    local display
    for display in $(seq 90 120); do
      [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]] && continue
      Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      for _ in $(seq 50); do
        [[ -e /tmp/.X11-unix/X$display ]] && break
        sleep 0.1
      done
      export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
      trap 'kill "$xvfb_pid" 2>/dev/null; cleanup' EXIT
      echo "display:    Xvfb :$display"
      return
    done
  fi
  export QT_QPA_PLATFORM=offscreen
  trap cleanup EXIT
  echo "display:    offscreen (no Xvfb)"
}
