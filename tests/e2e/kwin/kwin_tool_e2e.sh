#!/usr/bin/env bash
# End-to-end tests of the KWin module, run inside `scripts/desktop-session --kwin`: the built tool drives and
# records a Qt 5 program (KCalc) and GTK 3 programs (Mousepad, zenity) of the distribution, checked by readers
# of their own: the accessibility bus, KWin's own window list (a KWin script), ffprobe, a program's answer.
#
#   kwin_tool_e2e.sh TOOL qt5|gtk3                 (in a session without KWin's permission check)
#   kwin_tool_e2e.sh TOOL permissions DESKTOP_FILE (in a session that checks, as a user's does)
set -uo pipefail

tool=$1 case=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../support/checks.sh
source "$here/../../support/checks.sh"
begin_checks qc-kwin-tool-e2e
# The percentage of black pixels in the movie's picture at 0.5 s: of the whole picture (a window shrunk into a
# larger frame leaves black around it), or of its outermost 3 pixels (a shadow recorded with the window).
black_percent() {  # black_percent FILE whole|edge
  local width height
  read -r width height _ < <(movie "$1")
  ffmpeg -v error -ss 0.5 -i "$1" -frames:v 1 -vf format=gray -f rawvideo - |
    /usr/bin/python3 -c 'import sys; w,h,part=int(sys.argv[1]),int(sys.argv[2]),sys.argv[3]; d=sys.stdin.buffer.read()
p=[d[y*w+x] for y in range(h) for x in range(w) if part=="whole" or min(x,y,w-1-x,h-1-y)<3]; print(int(100*sum(b<16 for b in p)/max(1,len(p))))' \
    "${width:-1}" "${height:-1}" "$2"
}
texts() {  # texts PROGRAM: its text areas' and labels' texts, one a line, from the accessibility bus
  /usr/bin/python3 "$here/../wayland/atspi_check.py" "$1" text 2>&1
}
kwin_window() {  # kwin_window PID: KWin's own record of the process's window (a KWin script), as JSON
  /usr/bin/python3 "$here/kwin_windows.py" --wait "$1" |
    /usr/bin/python3 -c 'import json,sys; print(json.dumps([w for w in json.load(sys.stdin) if w["pid"]==int(sys.argv[1])][0]))' "$1"
}
process_of() {  # process_of APP: the process of the application's window, as the tool lists it (0 without)
  "$tool" windows | /usr/bin/python3 -c 'import json,sys; print(([w["pid"] for w in json.loads(sys.stdin.readline())["windows"] if w["app"]==sys.argv[1]] or [0])[0])' "$1"
}
wait_for_line() {  # wait_for_line FILE TEXT SECONDS: until a line of FILE holds TEXT
  local deadline=$((SECONDS + $3))
  until grep -qF -- "$2" "$1" 2>/dev/null; do ((SECONDS < deadline)) || return 1; sleep 0.05; done
}

[ -n "${WAYLAND_DISPLAY:-}" ] && [ "${XDG_CURRENT_DESKTOP:-}" = KDE ] || { echo "FAIL: not inside a KWin session" >&2; exit 1; }
# KWin's own settings and data are the session's; the programs get a private home. KCalc 22.12, Mousepad
# 0.5.10 and zenity 3.44 ask nothing on a first start.
kwin_config=$XDG_CONFIG_HOME kwin_data=$XDG_DATA_HOME
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"

# The recording, region, user recording, windows and inspect checks both programs share. $app is the name
# the jobs give, $program the one the accessibility bus knows, $pid its process, $size the windowSize asked.
common_checks() {
  read -r width height frames < <(movie "$work/run.mov")
  check "the movie reads back at the window's size ($width x $height, $frames frames)" \
    test "${frames:-0}" -ge 5 -a "${width:-0}x${height:-0}" = "$size"
  dark=$(black_percent "$work/run.mov" whole)
  check "the movie shows the window filling its frame ($dark % of it black)" test "${dark:-100}" -lt 40
  edge=$(black_percent "$work/run.mov" edge)
  check "the movie's outermost pixels are the window's, not a shadow ($edge % of them black)" test "${edge:-100}" -lt 10
  # The run's window is KWin's client area of the process's window, in screen coordinates, at the job's size.
  kwin_window "$pid" >"$work/kwin.json"
  check "run's window is where KWin has the window's client area, at the job's size ($(cat "$work/kwin.json"))" \
    json "$work/run.out" "(lambda r, k: [r['window'][key] for key in ('x','y','width','height')]==k['buffer'] and '%dx%d' % (r['width'], r['height'])=='$size' and r['windowInRecording']=={'x':0,'y':0,'width':r['width'],'height':r['height']})(lines[-1], json.load(open('$work/kwin.json')))"

  # windows: the program's window, with its desktop identity and the same frame.
  "$tool" windows >"$work/windows.out"
  check "windows lists $app's window where KWin has it ($(cat "$work/windows.out"))" \
    json "$work/windows.out" "any(w['app']=='$app' and w['bundleId'] and w['pid']==$pid and [w['frame'][k] for k in ('x','y','width','height')]==json.load(open('$work/kwin.json'))['buffer'] for w in lines[0]['windows'])"

  # inspect: the running program's tree, its window at its place on the screen and its buttons inside it.
  echo "{\"app\": \"$app\", \"launch\": false, \"maxNodes\": 400}" >"$work/inspect.json"
  timeout 30 "$tool" inspect "$work/inspect.json" >"$work/inspect.out"
  check "inspect dumps the window where KWin has it, its menu bar and its buttons or text area" \
    json "$work/inspect.out" "(lambda r: [r['window'][k] for k in ('x','y','width','height')]==json.load(open('$work/kwin.json'))['buffer'] and r['menuBar'][:2]==['File','Edit'] and r['nodes'][0]['role']=='AXWindow' and any(n['role'] in ('AXButton','AXTextArea') for n in r['nodes']))(lines[-1])"
  check "inspect's objects lie inside the window" \
    json "$work/inspect.out" 'all(0<=n["frame"]["x"] and 0<=n["frame"]["y"] and n["frame"]["x"]+n["frame"]["width"]<=lines[-1]["window"]["width"]+1 and n["frame"]["y"]+n["frame"]["height"]<=lines[-1]["window"]["height"]+1 for n in lines[-1]["nodes"] if "frame" in n and n["role"] in ("AXButton","AXTextArea"))'

  # A region of the window, announced through its started file.
  cat >"$work/region.json" <<JOB
{"out": "$work/region.mov", "fps": 30, "durationSec": 1.5, "startedFile": "$work/started",
 "region": {"rect": {"x": 20, "y": 30, "width": 200, "height": 120}, "pid": $pid}}
JOB
  timeout 30 "$tool" run "$work/region.json" >"$work/region.out" 2>"$work/region.err"
  status=$?
  check "region recording exits 0 (status $status: $(tail -n1 "$work/region.out"))" test "$status" = 0
  check "the started file holds the first frame's time, as the result does" \
    json "$work/region.out" "str(lines[-1]['firstFrameEpochMs'])==open('$work/started').read().strip()"
  read -r width height frames < <(movie "$work/region.mov")
  check "the region's movie is 200 x 120 ($width x $height, $frames frames)" test "$width" = 200 -a "$height" = 120

  # The user's own recording of the window, ended by the host's stop file once recording has begun. KWin 5.27
  # shows no client the user's clicks: none may be logged, and the tap's failure is said once.
  echo "{\"app\": \"$app\", \"recordUser\": true, \"out\": \"$work/user.mov\", \"fps\": 30, \"tailMs\": 200, \"durationSec\": 30, \"stopFile\": \"$work/stop\"}" >"$work/user.json"
  begun=$SECONDS
  timeout 40 "$tool" run "$work/user.json" >"$work/user.out" 2>"$work/user.err" &
  user=$!
  wait_for_line "$work/user.out" '"Recording ' 20 && touch "$work/stop"
  wait "$user"
  status=$? took=$((SECONDS - begun))
  check "the user recording exits 0 at the stop file, not its 30 s (status $status after $took s: $(tail -n1 "$work/user.out"))" \
    test "$status" = 0 -a "$took" -lt 20
  check "the user recording logs no click it did not see" \
    json "$work/user.out" 'lines[-1]["clicks"]==[] and lines[-1]["steps"]==[] and lines[-1]["windowTitle"]'
  check "the tap's failure is said once ($(cat "$work/user.err"))" \
    test "$(grep -c 'could not create the event tap' "$work/user.err")" = 1
  read -r width height frames < <(movie "$work/user.mov")
  check "the user recording's movie reads back ($width x $height, $frames frames)" test "${frames:-0}" -ge 1 -a "${width:-0}x${height:-0}" = "$size"
}

case $case in
qt5)
  app=KCalc program=kcalc size=400x500
  # Launched from its desktop entry, sized, buttons clicked by their labels, "+" pressed as the combination
  # Shift+= and the rest typed: 12 + 30 = 42.
  cat >"$work/run.json" <<JOB
{"app": "$app", "out": "$work/run.mov", "fps": 30, "settleMs": 500, "tailMs": 400,
 "windowSize": {"width": 400, "height": 500},
 "steps": [{"action": "click", "role": "Button", "label": "1"},
           {"action": "click", "role": "Button", "label": "2"},
           {"action": "press", "key": "shift+="},
           {"action": "type", "value": "30"},
           {"action": "press", "key": "enter"},
           {"action": "wait", "ms": 300}]}
JOB
  timeout 60 "$tool" run "$work/run.json" >"$work/run.out" 2>"$work/run.err"
  status=$?
  check "run exits 0 (status $status: $(tail -n1 "$work/run.out"))" test "$status" = 0
  pid=$(process_of "$app")
  check "the clicks are logged inside the recorded window" \
    json "$work/run.out" 'len(lines[-1]["clicks"])==2 and all(0<c["x"]<1 and 0<c["y"]<1 for c in lines[-1]["clicks"])'
  check "KCalc shows 42 ($(texts $program | tr '\n' '|'))" grep -qE '(^|[^0-9])42$' <<<"$(texts $program)"
  common_checks

  # A character the US layout has no key for: Qt offers no Unicode entry, so the step fails at once, saying
  # why, and types nothing.
  cat >"$work/umlaut.json" <<JOB
{"app": "$app", "launch": false, "out": "$work/umlaut.mov", "fps": 30, "settleMs": 100, "tailMs": 100,
 "steps": [{"action": "type", "value": "ü"}]}
JOB
  timeout 30 "$tool" run "$work/umlaut.json" >"$work/umlaut.out" 2>"$work/umlaut.err"
  status=$?
  check "typing ü into KCalc fails with a clear error (status $status: $(tail -n1 "$work/umlaut.out"))" \
    json "$work/umlaut.out" "lines[-1]['type']=='error' and 'no key for \"ü\"' in lines[-1]['message'] and 'Unicode entry' in lines[-1]['message'] and $status==1"
  check "and KCalc still shows 42" grep -qE '(^|[^0-9])42$' <<<"$(texts $program)"

  # The display: KWin 5.27's headless output gives its screen cast no frame, which the run says within the
  # first-frame limit rather than recording nothing.
  echo "{\"recordUser\": true, \"out\": \"$work/display.mov\", \"fps\": 30, \"durationSec\": 1}" >"$work/display.json"
  begun=$SECONDS
  timeout 60 "$tool" run "$work/display.json" >"$work/display.out" 2>"$work/display.err"
  status=$? took=$((SECONDS - begun))
  check "recording the display fails with the reason within 15 s (status $status after $took s: $(tail -n1 "$work/display.out"))" \
    json "$work/display.out" "lines[-1]['type']=='error' and 'no frame came within 5 s' in lines[-1]['message'] and $status==1 and $took<15"
  ;;
gtk3)
  app=Mousepad program=mousepad size=640x480
  # Launched and sized; typed into its text area, everything selected with a combination and typed over
  # (characters the US layout lacks through GTK's Unicode entry), then a pointer click into the text area
  # (which offers no action to press) moves the caret to the end, where one more character goes.
  cat >"$work/run.json" <<JOB
{"app": "$app", "out": "$work/run.mov", "fps": 30, "settleMs": 500, "tailMs": 400,
 "windowSize": {"width": 640, "height": 480},
 "steps": [{"action": "type", "role": "TextArea", "value": "first words"},
           {"action": "press", "key": "ctrl+a"},
           {"action": "type", "value": "Grüße, KWin"},
           {"action": "click", "role": "TextArea"},
           {"action": "type", "value": "!"},
           {"action": "wait", "ms": 300}]}
JOB
  timeout 60 "$tool" run "$work/run.json" >"$work/run.out" 2>"$work/run.err"
  status=$?
  check "run exits 0 (status $status: $(tail -n1 "$work/run.out"))" test "$status" = 0
  pid=$(process_of "$app")
  check "the clicks are logged inside the recorded window" \
    json "$work/run.out" 'len(lines[-1]["clicks"])>=2 and all(0<c["x"]<1 and 0<c["y"]<1 for c in lines[-1]["clicks"])'
  check "Mousepad shows \"Grüße, KWin!\" ($(texts $program | tr '\n' '|' | cut -c1-200))" \
    grep -qxF -- "Grüße, KWin!" <<<"$(texts $program)"
  common_checks

  # A button of another program clicked by its label: zenity answers "No" with status 1. Mousepad had the
  # focus until the dialog came.
  zenity --question --title Question --text "Go on?" >"$work/zenity.log" 2>&1 &
  zenity=$!
  started+=("$zenity")
  for _ in $(seq 100); do
    /usr/bin/python3 "$here/../wayland/atspi_check.py" zenity window >/dev/null 2>&1 && break
    sleep 0.2
  done
  cat >"$work/zenity.json" <<JOB
{"app": "zenity", "launch": false, "out": "$work/zenity.mov", "fps": 30, "settleMs": 300, "tailMs": 300,
 "steps": [{"action": "click", "role": "Button", "label": "No"}]}
JOB
  timeout 60 "$tool" run "$work/zenity.json" >"$work/zenity.out" 2>"$work/zenity.err"
  status=$?
  check "run on zenity exits 0 (status $status: $(tail -n1 "$work/zenity.out"))" test "$status" = 0
  answer=124
  for _ in $(seq 50); do kill -0 "$zenity" 2>/dev/null || break; sleep 0.1; done
  if ! kill -0 "$zenity" 2>/dev/null; then wait "$zenity"; answer=$?; fi
  check "the click landed on \"No\": zenity answered 1 (it answered $answer)" test "$answer" = 1

  # Another layout: German, as the user's keyboard settings name it to KWin. Its keymap reaches the tool as
  # it changes, and characters typed through it are the ones asked for, AltGr and Shift levels included.
  printf '[Layout]\nLayoutList=de\nUse=true\n' >"$kwin_config/kxkbrc"
  dbus-send --session --type=signal /Layouts org.kde.keyboard.reloadConfig
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.kde.keyboard /Layouts org.kde.KeyboardLayouts.getLayoutsList 2>/dev/null |
      grep -q '"de"' && break
    sleep 0.1
  done
  cat >"$work/german.json" <<JOB
{"app": "$app", "launch": false, "out": "$work/german.mov", "fps": 30, "settleMs": 300, "tailMs": 300,
 "steps": [{"action": "press", "key": "ctrl+a"}, {"action": "type", "value": "üß@€zyA"}]}
JOB
  timeout 60 "$tool" run "$work/german.json" >"$work/german.out" 2>"$work/german.err"
  status=$?
  check "run typing on the German layout exits 0 (status $status: $(tail -n1 "$work/german.out"))" test "$status" = 0
  check "Mousepad shows \"üß@€zyA\" ($(texts $program | tr '\n' '|' | cut -c1-200))" \
    grep -qxF -- "üß@€zyA" <<<"$(texts $program)"
  ;;
permissions)
  # KWin checks, as in a user's session: the build's tool, which no installed desktop file names, is
  # granted neither protocol, and says so; the desktop file the package installs, naming it, grants both.
  desktop_file=$3
  "$tool" permissions >"$work/before.out"
  check "without a desktop file naming the tool, permissions reports neither ($(cat "$work/before.out"))" \
    json "$work/before.out" 'lines[-1]["screenRecording"]==False and lines[-1]["accessibility"]==False'
  echo "{\"app\": \"KCalc\", \"out\": \"$work/refused.mov\", \"steps\": []}" >"$work/refused.json"
  timeout 30 "$tool" run "$work/refused.json" >"$work/refused.out" 2>&1
  status=$?
  check "a run is refused for the permission (status $status: $(tail -n1 "$work/refused.out"))" \
    json "$work/refused.out" "lines[-1]['code']=='permission' and $status==2"
  mkdir -p "$kwin_data/applications"
  cp "$desktop_file" "$kwin_data/applications/quorrel-capture.desktop"
  # KWin reads desktop files through its application database, which sees a new one a moment later (1 to 1.5 s
  # here): a client that connects from then on is granted.
  begun=$SECONDS
  for _ in $(seq 100); do
    "$tool" permissions >"$work/after.out"
    json "$work/after.out" 'lines[-1]["screenRecording"]' && break
    sleep 0.1
  done
  check "with the package's desktop file naming it, permissions reports both after $((SECONDS - begun)) s ($(cat "$work/after.out"))" \
    json "$work/after.out" 'lines[-1]["screenRecording"]==True and lines[-1]["accessibility"]==True'
  ;;
*) echo "usage: kwin_tool_e2e.sh TOOL qt5|gtk3|permissions [DESKTOP_FILE]" >&2; exit 64 ;;
esac

end_checks
