#!/usr/bin/env bash
# End-to-end tests of the Wayland backend on GNOME's headless compositor, run inside
# `scripts/desktop-session --wayland`: a GTK 3 program (Mousepad) and a GTK 4 program (Calculator) from the
# distribution, checked by readers of their own (the accessibility bus, ffprobe).
#
#   wayland_e2e.sh TOOL gtk3|gtk4|lost|xwayland
#   (lost: the compositor is killed during a recording; xwayland: an X11 program, in a session with Xwayland)
set -uo pipefail

tool=$1 case=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../support/checks.sh
source "$here/../../support/checks.sh"
begin_checks qc-wayland-e2e

[ -n "${WAYLAND_DISPLAY:-}" ] || { echo "FAIL: not inside a Wayland session" >&2; exit 1; }

# Private home and settings for the programs; their first-run questions are settings, never clicks. Mesa's
# shader cache stays the invoking user's, as the session keeps it, so that GTK 4 starts as fast as on a desktop.
export MESA_SHADER_CACHE_DIR=${MESA_SHADER_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quorrel-capture/mesa_shader_cache}
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"

case $case in
gtk3)
  app=Mousepad program=mousepad
  # The job's steps: focus the text area and type, select everything with a combination, type over it
  # (characters the US layout lacks included), then click the window's Close button by its label would end
  # the program, so the click goes to the text area by role.
  cat >"$work/run.json" <<JOB
{"app": "$app", "out": "$work/run.mov", "fps": 30, "settleMs": 500, "tailMs": 400,
 "steps": [{"action": "type", "role": "TextArea", "value": "first words"},
           {"action": "press", "key": "ctrl+a"},
           {"action": "type", "value": "Grüße, Wayland"},
           {"action": "click", "role": "TextArea"},
           {"action": "wait", "ms": 300}]}
JOB
  expected_text="Grüße, Wayland"
  ;;
gtk4)
  app=Calculator program=gnome-calculator
  # Buttons clicked by their labels, a key typed and Enter pressed: 12 + 30 = 42.
  cat >"$work/run.json" <<JOB
{"app": "$app", "out": "$work/run.mov", "fps": 30, "settleMs": 800, "tailMs": 400,
 "steps": [{"action": "click", "role": "Button", "label": "1"},
           {"action": "click", "role": "Button", "label": "2"},
           {"action": "type", "value": "+30"},
           {"action": "press", "key": "enter"},
           {"action": "wait", "ms": 300}]}
JOB
  expected_text="42"
  ;;
lost)
  # The compositor dies mid-recording: the run fails as on X11 when the X server dies, and the movie is
  # finished from what was written, not reported as a success when the application dies with it.
  echo '{"app": "Mousepad", "recordUser": true, "out": "'"$work"'/lost.mov", "fps": 30, "durationSec": 30}' >"$work/lost.json"
  timeout 60 "$tool" run "$work/lost.json" >"$work/lost.out" 2>"$work/lost.err" &
  run=$!
  # The compositor is killed once the run records (its progress line), however long the program took to
  # show its window.
  for _ in $(seq 500); do
    grep -q '"Recording your actions"' "$work/lost.out" && break
    kill -0 "$run" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "${QC_COMPOSITOR_PID:?the session names no compositor process}"
  killed=$SECONDS
  wait "$run"
  status=$? took=$((SECONDS - killed))
  check "the run fails at once (status $status $took s after the compositor died: $(tail -n1 "$work/lost.out"))" \
    test "$status" = 1 -a "$took" -lt 15
  check "its last line says the compositor is gone" \
    json "$work/lost.out" 'lines[-1]=={"type":"error","code":"external","message":"lost the connection to the Wayland compositor"}'
  read -r width height frames < <(movie "$work/lost.mov" )
  check "the movie is finished and reads back ($width x $height, $frames frames)" test "${frames:-0}" -ge 1
  end_checks
  ;;
xwayland)
  # An X11 program in the Wayland session (desktop-session --wayland --xwayland): its objects are in X11
  # screen coordinates, while its window is recorded and clicked in the window's own. The compositor centres
  # the small dialog, so a click measured from the screen's corner would be logged (and, where the button
  # cannot be pressed through the accessibility interface, made) far outside it.
  [ -n "${DISPLAY:-}" ] || { echo "FAIL: no Xwayland in this session" >&2; exit 1; }
  GDK_BACKEND=x11 zenity --question --title Question --text "Go on?" >"$work/zenity.log" 2>&1 &
  zenity=$!
  for _ in $(seq 100); do
    /usr/bin/python3 "$here/atspi_check.py" zenity window >/dev/null 2>&1 && break
    sleep 0.2
  done
  cat >"$work/x11.json" <<JOB
{"app": "zenity", "launch": false, "out": "$work/x11.mov", "fps": 30, "settleMs": 300, "tailMs": 300,
 "steps": [{"action": "click", "role": "Button", "label": "No"}]}
JOB
  timeout 60 "$tool" run "$work/x11.json" >"$work/x11.out" 2>"$work/x11.err"
  status=$?
  check "run exits 0 (status $status: $(tail -n1 "$work/x11.out"))" test "$status" = 0
  answer=124
  for _ in $(seq 50); do kill -0 "$zenity" 2>/dev/null || break; sleep 0.1; done
  if ! kill -0 "$zenity" 2>/dev/null; then wait "$zenity"; answer=$?; else kill "$zenity"; fi
  check "the click landed on \"No\": zenity answered 1 (it answered $answer)" test "$answer" = 1
  check "the click's fractions are inside the recorded dialog" \
    json "$work/x11.out" 'len(lines[-1]["clicks"])==1 and all(0<c["x"]<0.5 and 0.5<c["y"]<1 for c in lines[-1]["clicks"])'
  read -r width height frames < <(movie "$work/x11.mov" )
  check "the movie reads back ($width x $height, $frames frames)" test "${frames:-0}" -ge 1 -a "${width:-0}" -gt 100
  end_checks
  ;;
*) echo "usage: wayland_e2e.sh TOOL gtk3|gtk4|lost|xwayland" >&2; exit 64 ;;
esac

# run: launched from its desktop entry by name, recorded while the steps drive it.
timeout 60 "$tool" run "$work/run.json" >"$work/run.out" 2>"$work/run.err"
status=$?
check "run exits 0 (status $status: $(tail -n1 "$work/run.out"))" test "$status" = 0
check "run's result records the window whole, at the recording's corner" \
  json "$work/run.out" 'lines[-1]["type"]=="result" and lines[-1]["windowInRecording"]["x"]==0 and lines[-1]["windowInRecording"]["y"]==0 and lines[-1]["window"]["width"]>100'
if [ "$case" = gtk3 ]; then
  check "the click's fractions are inside the recorded window" \
    json "$work/run.out" 'all(0<c["x"]<1 and 0<c["y"]<1 for c in lines[-1]["clicks"]) and len(lines[-1]["clicks"])>=1'
fi
texts=$(/usr/bin/python3 "$here/atspi_check.py" "$program" text 2>&1)
check "the program shows \"$expected_text\" (its texts: $(echo "$texts" | tr '\n' '|' | cut -c1-200))" \
  grep -qxF -- "$expected_text" <<<"$texts"
read -r width height frames < <(movie "$work/run.mov" )
check "the movie reads back ($width x $height, $frames frames)" test "${frames:-0}" -ge 5 -a "${width:-0}" -gt 100
# The window fills the frame: a stream's buffer as large as the monitor, shrunk whole into the frame, would
# leave most of it black.
dark=$(ffmpeg -v error -ss 0.5 -i "$work/run.mov" -frames:v 1 -vf scale=64:64,format=gray -f rawvideo - |
  /usr/bin/python3 -c 'import sys; d=sys.stdin.buffer.read(); print(int(100*sum(b<16 for b in d)/max(1,len(d))))')
check "the movie shows the window filling its frame ($dark % of it black)" test "${dark:-100}" -lt 40
# The window's edges, not the shadow GTK 3 draws around it inside its surface (black in a movie).
read -r width height _ < <(movie "$work/run.mov" )
edge=$(ffmpeg -v error -ss 0.5 -i "$work/run.mov" -frames:v 1 -vf format=gray -f rawvideo - |
  /usr/bin/python3 -c 'import sys; w,h=int(sys.argv[1]),int(sys.argv[2]); d=sys.stdin.buffer.read()
e=[d[y*w+x] for y in range(h) for x in range(w) if min(x,y,w-1-x,h-1-y)<3]; print(int(100*sum(b<16 for b in e)/max(1,len(e))))' "$width" "$height")
check "the movie's outermost pixels are the window's, not a shadow ($edge % of them black)" test "${edge:-100}" -lt 10

# windows: the program's window, with its process and desktop identity.
"$tool" windows >"$work/windows.out"
read -r title _ _ < <(/usr/bin/python3 "$here/atspi_check.py" "$program" window)
check "windows lists $app's window ($(cat "$work/windows.out"))" \
  json "$work/windows.out" "any(w['app']=='$app' and w['bundleId'] and w['pid']>0 and w['title'].startswith('$title') for w in lines[0]['windows'])"

# inspect: the running program's tree.
echo "{\"app\": \"$app\", \"launch\": false, \"maxNodes\": 400}" >"$work/inspect.json"
timeout 30 "$tool" inspect "$work/inspect.json" >"$work/inspect.out"
check "inspect dumps the window and its buttons" \
  json "$work/inspect.out" 'lines[-1]["nodes"][0]["role"]=="AXWindow" and any(n["role"]=="AXButton" for n in lines[-1]["nodes"])'

# A region of the window, announced through its started file.
pid=$(/usr/bin/python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline())["windows"][0]["pid"])' "$work/windows.out")
cat >"$work/region.json" <<JOB
{"out": "$work/region.mov", "fps": 30, "durationSec": 1.5, "startedFile": "$work/started",
 "region": {"rect": {"x": 40, "y": 40, "width": 200, "height": 120}, "pid": $pid}}
JOB
timeout 30 "$tool" run "$work/region.json" >"$work/region.out" 2>"$work/region.err"
status=$?
check "region recording exits 0 (status $status: $(tail -n1 "$work/region.out"))" test "$status" = 0
check "the started file holds the first frame's time" grep -qE '^[0-9]{13}' "$work/started"
read -r width height frames < <(movie "$work/region.mov" )
check "the region's movie is 200 x 120 ($width x $height, $frames frames)" test "$width" = 200 -a "$height" = 120

# The user's own recording of the window, ended by the host's stop file. The compositor shows no client the
# user's clicks, so none may be logged, and the tap's failure is said once on standard error.
if [ "$case" = gtk3 ]; then
  echo "{\"app\": \"$app\", \"recordUser\": true, \"out\": \"$work/user.mov\", \"fps\": 30, \"tailMs\": 200, \"durationSec\": 30, \"stopFile\": \"$work/stop\"}" >"$work/user.json"
  timeout 60 "$tool" run "$work/user.json" >"$work/user.out" 2>"$work/user.err" &
  run=$!
  # The stop file comes once the run records (its progress line).
  for _ in $(seq 500); do
    grep -q '"Recording your actions"' "$work/user.out" && break
    kill -0 "$run" 2>/dev/null || break
    sleep 0.1
  done
  touch "$work/stop"
  stopped=$SECONDS
  wait "$run"
  status=$? took=$((SECONDS - stopped))
  check "the user recording exits 0 at the stop file, not its 30 s (status $status $took s after it: $(tail -n1 "$work/user.out"))" \
    test "$status" = 0 -a "$took" -lt 15
  check "the user recording logs no click it did not see" \
    json "$work/user.out" 'lines[-1]["clicks"]==[] and lines[-1]["steps"]==[] and lines[-1]["windowTitle"]'
  check "the tap's failure is said once ($(cat "$work/user.err"))" \
    test "$(grep -c 'could not create the event tap' "$work/user.err")" = 1
  read -r width height frames < <(movie "$work/user.mov" )
  check "the user recording's movie reads back ($width x $height, $frames frames)" test "${frames:-0}" -ge 1 -a "${width:-0}" -gt 100
fi

# The user's own recording of the whole monitor (no application named): the compositor's monitor stream.
if [ "$case" = gtk4 ]; then
  echo "{\"recordUser\": true, \"out\": \"$work/display.mov\", \"fps\": 30, \"durationSec\": 1}" >"$work/display.json"
  timeout 30 "$tool" run "$work/display.json" >"$work/display.out" 2>"$work/display.err"
  status=$?
  check "display recording exits 0 (status $status: $(tail -n1 "$work/display.out"))" test "$status" = 0
  read -r width height frames < <(movie "$work/display.mov" )
  check "the display's movie is the monitor's 1440 x 900 ($width x $height, $frames frames)" \
    test "$width" = 1440 -a "$height" = 900
fi

end_checks
