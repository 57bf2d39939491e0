#!/usr/bin/env bash
# End-to-end checks of the headless KDE Plasma session (scripts/desktop-session --kwin), run inside it: a Qt 5
# program from the distribution (KCalc) maps a window that KWin manages with a real frame, as a reader of its
# own (a KWin script over D-Bus) and the accessibility bus see it.
#
#   kwin_e2e.sh session
set -uo pipefail

case=${1:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../support/checks.sh
source "$here/../../support/checks.sh"
begin_checks qc-kwin-e2e
windows_json() {  # windows_json FILE PYTHON-EXPRESSION: evaluates with `windows` the file's JSON list
  /usr/bin/python3 -c 'import json,sys; windows=json.load(open(sys.argv[1])); sys.exit(0 if eval(sys.argv[2]) else 1)' "$1" "$2"
}

[ -n "${WAYLAND_DISPLAY:-}" ] && [ "${XDG_CURRENT_DESKTOP:-}" = KDE ] || { echo "FAIL: not inside a KWin session" >&2; exit 1; }

# Private home and settings: KCalc 22.12 asks nothing on a first start, so its settings folder starts empty.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"

case $case in
session)
  kcalc >"$work/kcalc.log" 2>&1 &
  kcalc=$!
  started+=("$kcalc")
  if ! /usr/bin/python3 "$here/kwin_windows.py" --wait "$kcalc" >"$work/windows.json" 2>"$work/windows.err"; then
    fail "KWin lists no window of KCalc ($(cat "$work/windows.err"); KCalc said: $(tail -n 3 "$work/kcalc.log" | tr '\n' '|'))"
    exit 1
  fi
  echo "windows: $(cat "$work/windows.json")"
  kcalc_window="[w for w in windows if w['pid']==$kcalc][0]"
  check "KCalc's window is a Wayland window of class org.kde.kcalc named KCalc, with an internal id" \
    windows_json "$work/windows.json" "$kcalc_window['resourceClass']=='org.kde.kcalc' and $kcalc_window['caption']=='KCalc' and len($kcalc_window['internalId'])>=36"
  check "its frame is a real one, on the 1440 x 900 screen" \
    windows_json "$work/windows.json" "(lambda f: f[2]>=150 and f[3]>=150 and f[0]>=0 and f[1]>=0 and f[0]+f[2]<=1440 and f[1]+f[3]<=900)($kcalc_window['frame'])"
  check "its frame holds the surface KCalc draws, under the title bar KWin draws" \
    windows_json "$work/windows.json" "(lambda f,b: b[0]>=f[0] and b[0]+b[2]<=f[0]+f[2] and b[1]>f[1] and b[1]+b[3]<=f[1]+f[3])($kcalc_window['frame'], $kcalc_window['buffer'])"
  check "it is the active window" windows_json "$work/windows.json" "$kcalc_window['active']"
  # The accessibility bus measures the window as its surface: the size of KWin's buffer, at no position of its own.
  # (The reader prints the title, which is empty for KCalc's frame, then the width and height; KCalc may join
  # the bus a moment after its window maps.)
  width="" height=""
  for _ in $(seq 100); do
    read -r width height < <(/usr/bin/python3 "$here/../wayland/atspi_check.py" kcalc window 2>/dev/null |
      awk '{print $(NF-1), $NF}')
    [ -n "$height" ] && break
    sleep 0.2
  done
  check "the accessibility bus gives KCalc's window the surface's size (${width:-?} x ${height:-?})" \
    windows_json "$work/windows.json" "$kcalc_window['buffer'][2:]==[${width:-0}, ${height:-0}]"
  ;;
*) echo "usage: kwin_e2e.sh session" >&2; exit 64 ;;
esac

end_checks
