#!/usr/bin/env bash
# What the HEVC encoder costs for a frame of real interface work against a frame in which nothing changed.
# A recorder that codes only the frames that changed can save no more than this difference: x265 spends
# nearly as much on an unchanged 1440x900 picture as on one where a line of text was typed or the view
# scrolled.
#
#   bench/encoder_floor.sh
#
# Grabs 5 s of mousepad at 1440x900 and 60 fps (the script of recording_cost.sh) as raw 4:2:0 pictures, keeps
# those that differ from the one before (what the recorder would code), and codes them with libx265 at the
# recorder's settings (src/platform/linux/ffmpeg/ffmpeg_hevc_encoder.cc); then codes as many copies of one
# of them. Prints CPU milliseconds a frame for each and their ratio, and the encoder's memory (peak of the
# coding process minus the peak of the same process reading the pictures without coding them).
#
# Runs itself inside a private 1440x900 virtual desktop without a window manager, unless it already is in one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${QC_DESKTOP_SESSION:-}" ]; then
  exec "$root/scripts/desktop-session" --size 1440x900x24 --no-wm -- "$0"
fi
for program in mousepad xdotool ffmpeg python3 /usr/bin/time; do
  command -v "$program" >/dev/null || { echo "encoder_floor: $program is missing (scripts/packages.txt)" >&2; exit 69; }
done

fps=60
seconds=5
width=1440
height=900
work=$(mktemp -d "${TMPDIR:-/tmp}/qc-encoder.XXXXXX")
source "$root/bench/mousepad_editing.sh"
cleanup() {
  stop_mousepad
  rm -rf "$work"
}
trap cleanup EXIT
start_mousepad "$work"

ffmpeg -nostdin -hide_banner -loglevel error -f x11grab -framerate "$fps" -window_id "$window" -draw_mouse 0 \
  -i "$DISPLAY" -t "$seconds" -pix_fmt yuv420p -f rawvideo -y "$work/ticks.yuv" &
grabber=$!
drive $((seconds + 1))
wait "$grabber"

# The pictures that differ from the one before, and one of them alone.
read -r ticks changed < <(python3 - "$work" $((width * height * 3 / 2)) <<'PY'
import sys
work, size = sys.argv[1], int(sys.argv[2])
ticks = changed = 0
previous = None
with open(f"{work}/ticks.yuv", "rb") as source, open(f"{work}/changed.yuv", "wb") as kept:
    while len(picture := source.read(size)) == size:
        ticks += 1
        if picture != previous:
            kept.write(picture)
            changed += 1
            if changed == 2:
                open(f"{work}/one.yuv", "wb").write(picture)
        previous = picture
print(ticks, changed)
PY
)
rm -f "$work/ticks.yuv"
[ "$changed" -ge 10 ] || { echo "encoder_floor: only $changed of $ticks pictures changed" >&2; exit 70; }

rate=$((width * height * fps / 4))
params="bframes=0:b-adapt=0:rc-lookahead=0:lookahead-slices=0:frame-threads=1:open-gop=0:keyint=$fps:min-keyint=1"
params+=":scenecut=0:cutree=0:rd=1:psy-rd=0:log-level=error"
# code NAME INPUT-OPTIONS...: "cpu_seconds peak_kib" of coding the pictures, or of reading them with "none".
code() {
  local name=$1 codec=$2; shift 2
  local output=(-c:v libx265 -preset ultrafast -crf 18 -maxrate "$rate" -bufsize "$rate" -x265-params "$params"
                -f hevc -y "$work/$name.hevc")
  [ "$codec" = none ] && output=(-f null -)
  /usr/bin/time -f "%U %S %M" -o "$work/$name.time" ffmpeg -nostdin -hide_banner -loglevel error -f rawvideo \
    -pix_fmt yuv420p -video_size "${width}x${height}" -framerate "$fps" "$@" "${output[@]}"
  awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$work/$name.time"
}
read -r read_cpu read_peak < <(code read none -i "$work/changed.yuv")
read -r changed_cpu changed_peak < <(code changed x265 -i "$work/changed.yuv")
read -r still_cpu still_peak < <(code unchanged x265 -stream_loop $((changed - 1)) -i "$work/one.yuv")

awk -v t="$ticks" -v n="$changed" -v r="$read_cpu" -v rp="$read_peak" -v c="$changed_cpu" -v cp="$changed_peak" \
    -v s="$still_cpu" -v sp="$still_peak" 'BEGIN {
  printf "mousepad %dx%d, %d fps: %d of %d ticks changed the picture\n", '"$width"', '"$height"', '"$fps"', n, t
  printf "%-44s %10.1f\n", "CPU ms a frame, frames that changed", 1000 * (c - r) / n
  printf "%-44s %10.1f\n", "CPU ms a frame, copies of one frame", 1000 * (s - r) / n
  printf "%-44s %10.2f\n", "ratio (changed / unchanged)", (s > r ? (c - r) / (s - r) : 0)
  printf "%-44s %10.1f\n", "encoder memory, MB (peak minus reading alone)", (cp - rp) / 1024
}'
