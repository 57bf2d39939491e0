#!/usr/bin/env bash
# Recording throughput: the tool's window recorder against ffmpeg's own X11 grabber with libx265, on the same
# window repainting every frame, 1280x720 at 60 fps for 10 s. Reports frames delivered (the frames in each
# movie, counted by ffprobe), frames dropped (60 x 10 minus those), CPU seconds of the recording process and
# of the X server, and each of ours as a ratio of the reference.
#
#   bench/capture_throughput.sh [BUILD_DIR]     (default: build; needs qc_bench_record and qc_test_window)
#
# Runs itself inside a private virtual desktop (scripts/desktop-session) unless it already is in one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
if [ -z "${QC_DESKTOP_SESSION:-}" ]; then
  exec "$root/scripts/desktop-session" -- "$0" "$build"
fi

fps=60
seconds=10
width=1280
height=720
expected=$((fps * seconds))
recorder=$build/bench/qc_bench_record
window_program=$build/tests/e2e/capture_x11/qc_test_window
for program in "$recorder" "$window_program"; do
  [ -x "$program" ] || { echo "capture_throughput: $program is missing (build it first)" >&2; exit 69; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qc-bench.XXXXXX")
window_pid=""
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# CPU seconds of this session's X server (server_cpu).
source "$root/bench/session_xserver.sh"

"$window_program" --title "Throughput" --animate --fps "$fps" --size "${width}x${height}" --at 40,40 \
  >"$work/window.txt" &
window_pid=$!
for _ in $(seq 200); do grep -q ready "$work/window.txt" && break; sleep 0.05; done
window_id=$(awk '/ready/ {print $2; exit}' "$work/window.txt")
[ -n "$window_id" ] || { echo "capture_throughput: the test window did not appear" >&2; exit 70; }
sleep 1

count_frames() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"
}

# Ours: the recorder as a run uses it.
before=$(server_cpu)
/usr/bin/time -f "%e %U %S" -o "$work/ours.time" "$recorder" "$window_pid" "$work/ours.mov" "$fps" "$seconds" \
  >"$work/ours.json"
ours_server=$(awk -v a="$before" -v b="$(server_cpu)" 'BEGIN { printf "%.2f", b - a }')
ours_frames=$(count_frames "$work/ours.mov")
read -r ours_wall ours_user ours_system <"$work/ours.time"

# Reference: ffmpeg's own grabber of the same window, libx265 with the recorder's encoder settings. Frames
# pass through as grabbed: by default ffmpeg would duplicate frames to fill a constant rate when the grabber
# falls behind, and count them as delivered.
rate=$((width * height * fps / 4))
before=$(server_cpu)
/usr/bin/time -f "%e %U %S" -o "$work/ref.time" \
  ffmpeg -nostdin -hide_banner -loglevel error -f x11grab -framerate "$fps" -window_id "$window_id" -draw_mouse 0 \
    -i "$DISPLAY" -t "$seconds" -fps_mode passthrough -c:v libx265 -preset ultrafast \
    -x265-params "bframes=0:b-adapt=0:rc-lookahead=2:open-gop=0:keyint=$fps:min-keyint=1:scenecut=0:log-level=error" \
    -b:v "$rate" -pix_fmt yuv420p -tag:v hvc1 -y "$work/ref.mov"
ref_server=$(awk -v a="$before" -v b="$(server_cpu)" 'BEGIN { printf "%.2f", b - a }')
ref_frames=$(count_frames "$work/ref.mov")
read -r ref_wall ref_user ref_system <"$work/ref.time"

awk -v of="$ours_frames" -v rf="$ref_frames" -v e="$expected" \
    -v ou="$ours_user" -v os="$ours_system" -v ru="$ref_user" -v rs="$ref_system" \
    -v ox="$ours_server" -v rx="$ref_server" -v ow="$ours_wall" -v rw="$ref_wall" \
    -v reported="$(cat "$work/ours.json")" 'BEGIN {
  oc = ou + os; rc = ru + rs
  od = e - of; if (od < 0) od = 0
  rd = e - rf; if (rd < 0) rd = 0
  printf "window %dx%d repainting at %d fps, recorded for %d s (%d frames expected)\n", '"$width"', '"$height"', '"$fps"', '"$seconds"', e
  printf "%-28s %12s %12s %8s\n", "", "recorder", "ffmpeg", "ratio"
  printf "%-28s %12d %12d %8.2f\n", "frames delivered", of, rf, (rf > 0 ? of / rf : 0)
  printf "%-28s %12d %12d %8s\n", "frames dropped", od, rd, (rd > 0 ? sprintf("%.2f", od / rd) : "-")
  printf "%-28s %12.2f %12.2f %8.2f\n", "CPU seconds (process)", oc, rc, (rc > 0 ? oc / rc : 0)
  printf "%-28s %12.2f %12.2f %8.2f\n", "CPU seconds (X server)", ox, rx, (rx > 0 ? ox / rx : 0)
  printf "%-28s %12.2f %12.2f %8.2f\n", "CPU seconds (both)", oc + ox, rc + rx, (rc + rx > 0 ? (oc + ox) / (rc + rx) : 0)
  printf "%-28s %12.2f %12.2f\n", "wall seconds", ow, rw
  printf "recorder reported: %s\n", reported
}'
