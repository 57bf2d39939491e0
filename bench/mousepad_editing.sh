# Sourced by the benchmark scripts inside a 1440x900 virtual desktop without a window manager: real interface
# work in mousepad, the same for every benchmark that uses it.
#   start_mousepad WORK   starts mousepad with a private home under WORK on a long text, fills the screen
#                         with its window and sets editor_pid and window;
#   drive SECONDS         runs the fixed XTEST script (typing, scrolling, opening menus) for SECONDS.
editor_pid=""
window=""

start_mousepad() {
  local work=$1
  mkdir -p "$work/home/config" "$work/home/data" "$work/home/cache" "$work/home/state"
  for line in $(seq 400); do echo "Line $line: the quick brown fox jumps over the lazy dog, again and again."; done \
    >"$work/text.txt"
  HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data \
    XDG_CACHE_HOME=$work/home/cache XDG_STATE_HOME=$work/home/state mousepad "$work/text.txt" >/dev/null 2>&1 &
  editor_pid=$!
  window=$(xdotool search --sync --onlyvisible --pid "$editor_pid" --class mousepad 2>/dev/null | head -1)
  [ -n "$window" ] || { echo "mousepad did not show a window" >&2; exit 70; }
  xdotool windowmove "$window" 0 0 windowsize "$window" 1440 900 windowfocus "$window"
  sleep 2
}

stop_mousepad() {
  if [ -n "$editor_pid" ]; then
    kill "$editor_pid" 2>/dev/null
    wait "$editor_pid" 2>/dev/null
  fi
  return 0
}

drive() {
  local end=$((SECONDS + $1))
  xdotool windowfocus "$window" >/dev/null 2>&1 || true
  while ((SECONDS < end)); do
    xdotool key ctrl+End
    xdotool type --delay 40 "Typed while recording: the quick brown fox. "
    xdotool key Return
    xdotool mousemove --window "$window" 700 450 click --repeat 10 --delay 60 4
    xdotool click --repeat 10 --delay 60 5
    xdotool key alt+f; sleep 0.5; xdotool key Escape
    xdotool key alt+e; sleep 0.5; xdotool key Escape
    xdotool key Page_Up; sleep 0.2; xdotool key Page_Down
  done
}
