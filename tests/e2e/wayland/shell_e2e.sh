#!/usr/bin/env bash
# End-to-end tests of the Wayland backend under GNOME Shell, run inside `scripts/desktop-session --gnome-shell`
# (with the project's shell extension) or `--gnome-shell --no-extension`: GTK programs of the distribution
# (Mousepad, zenity, Calculator), checked by readers of their own (the extension over the session bus, the
# accessibility bus, ffprobe) and driven from outside through the compositor's remote desktop service.
#
#   shell_e2e.sh TOOL extension|plain
set -uo pipefail

tool=$1 case=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../support/checks.sh
source "$here/../../support/checks.sh"
begin_checks qc-shell-e2e
helper() { /usr/bin/python3 "$here/shell_helper.py" "$@"; }
wait_for() {  # wait_for SECONDS COMMAND...: waits for the command to succeed (an event, not a time)
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}
shell_window() {  # shell_window PID PYTHON-EXPRESSION-ON-w: the extension lists a window of PID for which it holds
  helper windows | /usr/bin/python3 -c 'import json,sys; pid=int(sys.argv[1])
sys.exit(0 if any(w["pid"]==pid and eval(sys.argv[2]) for w in json.load(sys.stdin)) else 1)' "$1" "$2"
}
top_window_is() {  # top_window_is PID: PID's window is at the top of the stack and has the focus
  helper windows | /usr/bin/python3 -c 'import json,sys; w=json.load(sys.stdin)
sys.exit(0 if w and w[0]["pid"]==int(sys.argv[1]) and w[0]["focused"] else 1)' "$1"
}

[ -n "${WAYLAND_DISPLAY:-}" ] || { echo "FAIL: not inside a Wayland session" >&2; exit 1; }

# Private home and settings for the programs; their first-run questions are settings, never clicks. Mesa's
# shader cache stays the invoking user's, as the session keeps it.
export MESA_SHADER_CACHE_DIR=${MESA_SHADER_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quorrel-capture/mesa_shader_cache}
# The user's settings are read from the session's configuration folder, where its settings service writes them.
session_config=$XDG_CONFIG_HOME
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"

# Without the extension: the shell's own full-screen accessible object is no window of an application, and
# input reaches only the focused window, so Accessibility is missing until the extension is turned on; asking
# for it turns it on for the next log-in.
if [ "$case" = plain ]; then
  mousepad >/dev/null 2>&1 &
  started+=($!)
  # The listing that shows Mousepad is the one checked (on a loaded machine a listing may miss a window
  # whose program is slow to answer).
  wait_for 60 sh -c "'$tool' windows >'$work/windows.out' && grep -q '\"app\":\"Mousepad\"' '$work/windows.out'"
  check "windows lists Mousepad and not the shell's own object ($(cat "$work/windows.out"))" \
    json "$work/windows.out" "any(w['app']=='Mousepad' for w in lines[0]['windows']) and not any(w['bundleId']=='org.gnome.Shell' or w['app']=='GNOME Shell' for w in lines[0]['windows'])"
  "$tool" permissions >"$work/permissions.out"
  check "permissions: Accessibility is missing without the extension ($(cat "$work/permissions.out"))" \
    json "$work/permissions.out" 'lines[0]["screenRecording"] is True and lines[0]["accessibility"] is False'
  # The package installs the extension while the user is logged in: the running shell does not know it.
  "$here/../../../scripts/gnome-shell-extension" "$XDG_DATA_HOME/gnome-shell/extensions/quorrel-capture@quorrel-capture.github.io" ||
    fail "the extension could not be laid out"
  # Another extension the user has on stays on.
  XDG_CONFIG_HOME=$session_config gsettings set org.gnome.shell enabled-extensions "['other@example.org']"
  XDG_CONFIG_HOME=$session_config "$tool" permissions --request >"$work/request.out" 2>"$work/request.err"
  check "permissions --request exits 0 and reports the same ($(cat "$work/request.out"))" \
    json "$work/request.out" 'lines[0]["accessibility"] is False'
  check "it says in one line that the extension takes effect at the next log-in ($(cat "$work/request.err"))" \
    test "$(grep -c 'takes effect at the next log-in' "$work/request.err")" = 1 -a "$(wc -l <"$work/request.err")" = 1
  enabled=$(XDG_CONFIG_HOME=$session_config gsettings get org.gnome.shell enabled-extensions)
  check "the extension is added to the user's enabled extensions, beside theirs ($enabled)" \
    test "$enabled" = "['other@example.org', 'quorrel-capture@quorrel-capture.github.io']"
  end_checks
fi
[ "$case" = extension ] || { echo "usage: shell_e2e.sh TOOL extension|plain" >&2; exit 64; }

"$tool" permissions >"$work/permissions.out"
check "permissions: both granted with the extension ($(cat "$work/permissions.out"))" \
  json "$work/permissions.out" 'lines[0]["screenRecording"] is True and lines[0]["accessibility"] is True'

# A scripted run records a window that is not focused when it starts: Mousepad, behind a dialog of another
# program that took the focus. The run focuses and raises it, centres it at the size asked for in the area
# windows may use, types into it and clicks its text area.
mousepad >/dev/null 2>&1 &
mousepad_pid=$!
started+=($mousepad_pid)
check "Mousepad shows its window" wait_for 60 shell_window "$mousepad_pid" 'True'
zenity --info --title Interruption --text "Another window" >/dev/null 2>&1 &
started+=($!)
check "a dialog of another program has the focus" wait_for 60 top_window_is "$!"
read -r area_x area_y area_width area_height < <(helper workarea)
x=$((area_x + (area_width - 800) / 2)) y=$((area_y + (area_height - 600) / 2))
cat >"$work/run.json" <<JOB
{"app": "Mousepad", "out": "$work/run.mov", "fps": 30, "settleMs": 500, "tailMs": 400,
 "windowSize": {"width": 800, "height": 600},
 "steps": [{"action": "type", "role": "TextArea", "value": "first words"},
           {"action": "press", "key": "ctrl+a"},
           {"action": "type", "value": "Grüße, Wayland"},
           {"action": "click", "role": "TextArea"},
           {"action": "wait", "ms": 300}]}
JOB
timeout 90 "$tool" run "$work/run.json" >"$work/run.out" 2>"$work/run.err"
status=$?
check "run exits 0 (status $status: $(tail -n1 "$work/run.out"))" test "$status" = 0
check "its window is 800 x 600, centred in the work area at $x, $y, and recorded whole" \
  json "$work/run.out" "lines[-1]['window']=={'x':$x,'y':$y,'width':800,'height':600} and lines[-1]['windowInRecording']=={'x':0,'y':0,'width':800,'height':600}"
check "the shell has Mousepad's window there, on top and focused" \
  shell_window "$mousepad_pid" "w['frame']==[$x,$y,800,600] and w['focused']"
check "the click on the text area is logged as one, inside the window" \
  json "$work/run.out" 'any(c.get("role")=="AXTextArea" and 0<c["x"]<1 and 0<c["y"]<1 for c in lines[-1]["clicks"])'
texts=$(/usr/bin/python3 "$here/atspi_check.py" mousepad text 2>&1)
check "Mousepad shows the typed text (its texts: $(echo "$texts" | tr '\n' '|' | cut -c1-200))" \
  grep -qxF -- "Grüße, Wayland" <<<"$texts"
read -r width height frames < <(movie "$work/run.mov" )
check "the movie is the window's 800 x 600 ($width x $height, $frames frames)" \
  test "$width" = 800 -a "$height" = 600 -a "${frames:-0}" -ge 5
# The window's edges, not the shadow GTK 3 draws around it inside its surface (black in a movie), nor the
# dialog, which is small and was over another part of the screen.
edge=$(ffmpeg -v error -ss 0.5 -i "$work/run.mov" -frames:v 1 -vf format=gray -f rawvideo - |
  /usr/bin/python3 -c 'import sys; w,h=int(sys.argv[1]),int(sys.argv[2]); d=sys.stdin.buffer.read()
e=[d[y*w+x] for y in range(h) for x in range(w) if min(x,y,w-1-x,h-1-y)<3]; print(int(100*sum(b<16 for b in e)/max(1,len(e))))' "$width" "$height")
check "the movie's outermost pixels are the window's, not a shadow ($edge % of them black)" test "${edge:-100}" -lt 10

# windows: the extension's list, with real screen frames, and never the shell's own object.
"$tool" windows >"$work/windows.out"
check "windows lists Mousepad's window where the shell has it, and not the shell's own object ($(cat "$work/windows.out"))" \
  json "$work/windows.out" "any(w['app']=='Mousepad' and w['bundleId']=='org.xfce.mousepad' and w['pid']==$mousepad_pid and w['frame']=={'x':$x,'y':$y,'width':800,'height':600} for w in lines[0]['windows']) and not any(w['bundleId']=='org.gnome.Shell' or w['app']=='GNOME Shell' for w in lines[0]['windows'])"

# inspect: the window's frame on the screen, and its objects inside it.
echo '{"app": "Mousepad", "launch": false, "maxNodes": 400}' >"$work/inspect.json"
timeout 30 "$tool" inspect "$work/inspect.json" >"$work/inspect.out"
check "inspect gives the window's screen frame and its objects inside it" \
  json "$work/inspect.out" "lines[-1]['window']['x']==$x and lines[-1]['window']['y']==$y and lines[-1]['window']['width']==800 and all(0<=n['frame']['x']<800 and 0<=n['frame']['y']<600 for n in lines[-1]['nodes'] if 'frame' in n and n['frame']['width']>0)"

# A user recording of a question dialog: the user's click on "No", made through the remote desktop service at
# the button's centre, is logged with what it hit and where, and ends the dialog and with it the recording.
zenity --question --title Question --text "Go on?" >/dev/null 2>&1 &
question=$!
started+=($question)
check "the question shows its No button" wait_for 60 helper centre zenity "push button" No
echo "{\"app\": \"zenity\", \"launch\": false, \"recordUser\": true, \"out\": \"$work/user.mov\", \"fps\": 30, \"tailMs\": 200, \"durationSec\": 40, \"stopFile\": \"$work/stop\"}" >"$work/user.json"
timeout 60 "$tool" run "$work/user.json" >"$work/user.out" 2>"$work/user.err" &
run=$!
check "the user recording starts" wait_for 30 grep -q '"Recording your actions"' "$work/user.out"
read -r no_x no_y < <(helper centre zenity "push button" No)
helper click "$no_x" "$no_y"
answer=124
for _ in $(seq 100); do kill -0 "$question" 2>/dev/null || break; sleep 0.1; done
if ! kill -0 "$question" 2>/dev/null; then wait "$question"; answer=$?; else kill "$question"; fi
check "the click at $no_x, $no_y pressed \"No\": zenity answered 1 (it answered $answer)" test "$answer" = 1
touch "$work/stop"
wait "$run"
status=$?
check "the user recording exits 0 (status $status: $(tail -n1 "$work/user.out"))" test "$status" = 0
check "the click is logged with its role, label and fractions, and as a click step" \
  json "$work/user.out" 'len(lines[-1]["clicks"])==1 and lines[-1]["clicks"][0]["role"]=="AXButton" and lines[-1]["clicks"][0]["label"]=="No" and 0<lines[-1]["clicks"][0]["x"]<1 and 0.5<lines[-1]["clicks"][0]["y"]<1 and 0<lines[-1]["clicks"][0]["t"]<lines[-1]["durationSec"] and lines[-1]["steps"]==[{"action":"click","role":"AXButton","label":"No"}]'
check "no tap failure is said ($(cat "$work/user.err"))" test ! -s "$work/user.err"

# GTK 4 measures its objects from its window's corner, not its surface's: Calculator's buttons clicked by
# their labels, a key typed and Enter pressed: 12 + 30 = 42.
cat >"$work/calculator.json" <<JOB
{"app": "Calculator", "out": "$work/calculator.mov", "fps": 30, "settleMs": 800, "tailMs": 400,
 "steps": [{"action": "click", "role": "Button", "label": "1"},
           {"action": "click", "role": "Button", "label": "2"},
           {"action": "type", "value": "+30"},
           {"action": "press", "key": "enter"},
           {"action": "wait", "ms": 300}]}
JOB
timeout 120 "$tool" run "$work/calculator.json" >"$work/calculator.out" 2>"$work/calculator.err"
status=$?
check "Calculator's run exits 0 (status $status: $(tail -n1 "$work/calculator.out"))" test "$status" = 0
texts=$(/usr/bin/python3 "$here/atspi_check.py" gnome-calculator text 2>&1)
check "Calculator shows 42 (its texts: $(echo "$texts" | tr '\n' '|' | cut -c1-200))" grep -qxF -- 42 <<<"$texts"
"$tool" windows >"$work/windows-after.out"
calculator_pid=$(/usr/bin/python3 -c 'import json,sys; print(next((w["pid"] for w in json.load(open(sys.argv[1]))["windows"] if w["bundleId"]=="org.gnome.Calculator"), ""))' "$work/windows-after.out")
[ -n "$calculator_pid" ] && started+=($calculator_pid)
helper windows >"$work/shell-windows.json"
check "its recorded window is the frame the shell has on the screen, recorded whole" \
  /usr/bin/python3 -c 'import json,sys; r=json.loads(open(sys.argv[1]).read().splitlines()[-1]); f=r["window"]
sys.exit(0 if r["windowInRecording"]=={"x":0,"y":0,"width":f["width"],"height":f["height"]} and any(w["frame"]==[f["x"],f["y"],f["width"],f["height"]] for w in json.load(open(sys.argv[2]))) else 1)' "$work/calculator.out" "$work/shell-windows.json"

end_checks
