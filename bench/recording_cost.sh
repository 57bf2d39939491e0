#!/usr/bin/env bash
# Recording cost of real interface work: mousepad filling a 1440x900 desktop, driven for SECONDS (20) by a
# fixed XTEST script (xdotool) of typing, scrolling and menu opening, recorded at 60 fps by the tool's
# recorder and, with the same script again, by ffmpeg's X11 grabber with libx265 at the same size and rate.
# For each: CPU seconds of the recorder and of the X server, peak memory, movie size, frames in the movie,
# the ticks (1/60 s) in which the window was damaged, counted with XDamage while it ran, and the changes the
# movie lacks. For the tool's movie the damage events, gathered into changes at least a frame period apart,
# are each matched with a frame of their own on the shared host clock (bench/lost_changes.py); ffmpeg
# records every tick, so for it this is damaged ticks minus frames, when positive. Ratios are ours over
# ffmpeg's.
#
#   bench/recording_cost.sh [BUILD_DIR]     (needs qc_bench_record and qc_bench_damage_ticks)
#
# Runs itself inside a private 1440x900 virtual desktop without a window manager (scripts/desktop-session
# --no-wm), so that the window is exactly the screen, unless it already is in a desktop.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
if [ -z "${QC_DESKTOP_SESSION:-}" ]; then
  exec "$root/scripts/desktop-session" --size 1440x900x24 --no-wm -- "$0" "$build"
fi

fps=60
seconds=20
recorder=$build/bench/qc_bench_record
damage=$build/bench/qc_bench_damage_ticks
for program in "$recorder" "$damage"; do
  [ -x "$program" ] || { echo "recording_cost: $program is missing (build it first)" >&2; exit 69; }
done
for program in mousepad xdotool ffmpeg ffprobe python3 /usr/bin/time; do
  command -v "$program" >/dev/null || { echo "recording_cost: $program is missing (scripts/packages.txt)" >&2; exit 69; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qc-recording.XXXXXX")
# mousepad and the fixed script (start_mousepad, stop_mousepad, drive).
source "$root/bench/mousepad_editing.sh"
cleanup() {
  stop_mousepad
  rm -rf "$work"
}
trap cleanup EXIT

# CPU seconds of this session's X server (server_cpu).
source "$root/bench/session_xserver.sh"

start_mousepad "$work"

count_frames() {
  local frames
  frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1" \
    2>/dev/null | head -1)
  echo "${frames:-0}"
}

count_keyframes() {
  ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 "$1" 2>/dev/null | grep -c K || true
}

# One recording: the recorder command runs while the script drives mousepad and the damage is counted.
# Writes "cpu server peak_kib frames bytes damaged_ticks keyframes" to $work/$name.result, and the damage
# events' times to $work/$name.times.
measure() {
  local name=$1; shift
  local before; before=$(server_cpu)
  "$damage" "$window" "$fps" "$seconds" "$work/$name.times" >"$work/$name.damage" &
  local damage_pid=$!
  /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  local recorder_pid=$!
  drive "$seconds"
  wait "$recorder_pid" || { echo "recording_cost: the $name recording failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
  wait "$damage_pid"
  local server; server=$(awk -v a="$before" -v b="$(server_cpu)" 'BEGIN { printf "%.2f", b - a }')
  local user system peak; read -r user system peak <"$work/$name.time"
  local damaged; damaged=$(sed -n 's/.*"ticks":\([0-9]*\).*/\1/p' "$work/$name.damage")
  echo "$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }') $server $peak" \
    "$(count_frames "$work/$name.mov") $(stat -c %s "$work/$name.mov" 2>/dev/null || echo 0) ${damaged:-0}" \
    "$(count_keyframes "$work/$name.mov")" \
    >"$work/$name.result"
  [ -s "$work/$name.err" ] && { echo "$name said:"; head -5 "$work/$name.err"; } >&2
  return 0
}

geometry=$(xdotool getwindowgeometry --shell "$window")
width=$(echo "$geometry" | sed -n 's/^WIDTH=//p'); height=$(echo "$geometry" | sed -n 's/^HEIGHT=//p')
rate=$((width * height * fps / 4))
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

measure ours "$recorder" "$editor_pid" "$work/ours.mov" "$fps" "$seconds"
measure ffmpeg ffmpeg -nostdin -hide_banner -loglevel error -f x11grab -framerate "$fps" -window_id "$window" \
  -draw_mouse 0 -i "$DISPLAY" -t "$seconds" -c:v libx265 -preset ultrafast \
  -x265-params "bframes=0:b-adapt=0:rc-lookahead=2:open-gop=0:keyint=$fps:min-keyint=1:scenecut=0:log-level=error" \
  -b:v "$rate" -pix_fmt yuv420p -tag:v hvc1 -y "$work/ffmpeg.mov"
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"

read -r oc ox om of ob od ok <"$work/ours.result"
read -r rc rx rm rf rb rd rk <"$work/ffmpeg.result"
start=$(sed -n 's/.*"start":\([0-9.]*\).*/\1/p' "$work/ours.out")
duration=$(sed -n 's/.*"duration":\([0-9.]*\).*/\1/p' "$work/ours.out")
read -r oh ol < <("$root/bench/lost_changes.py" "$work/ours.times" "$start" "$duration" "$work/ours.mov" "$fps")
awk -v oc="$oc" -v ox="$ox" -v om="$om" -v of="$of" -v ob="$ob" -v od="$od" -v ok="$ok" -v oh="$oh" -v ol="$ol" \
    -v rc="$rc" -v rx="$rx" -v rm="$rm" -v rf="$rf" -v rb="$rb" -v rd="$rd" -v rk="$rk" 'BEGIN {
  printf "mousepad %dx%d, %d fps, %d s of typing, scrolling and menus\n", '"$width"', '"$height"', '"$fps"', '"$seconds"'
  printf "%-34s %12s %12s %8s  %s\n", "", "recorder", "ffmpeg", "ratio", "target"
  printf "%-34s %12.2f %12.2f %8.2f  <= 0.3\n", "CPU seconds (recorder)", oc, rc, (rc > 0 ? oc / rc : 0)
  printf "%-34s %12.2f %12.2f %8.2f\n", "CPU seconds (X server)", ox, rx, (rx > 0 ? ox / rx : 0)
  printf "%-34s %12.2f %12.2f %8.2f\n", "CPU seconds (both)", oc + ox, rc + rx, (rc + rx > 0 ? (oc + ox) / (rc + rx) : 0)
  printf "%-34s %12.1f %12.1f %8.2f  <= 0.5\n", "peak memory (MB)", om / 1024, rm / 1024, (rm > 0 ? om / rm : 0)
  printf "%-34s %12.2f %12.2f %8.2f\n", "movie size (MB)", ob / 1e6, rb / 1e6, (rb > 0 ? ob / rb : 0)
  printf "%-34s %12d %12d\n", "frames in the movie", of, rf
  printf "%-34s %12d %12d\n", "keyframes in the movie", ok, rk
  printf "%-34s %12d %12d\n", "ticks with damage while recording", od, rd
  rl = rd - rf; if (rl < 0) rl = 0
  printf "%-34s %12d\n", "changes a frame period apart", oh
  printf "%-34s %12d %12d  0\n", "changes the movie lacks", ol, rl
}'
