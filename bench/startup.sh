#!/usr/bin/env bash
# Start-up cost of the commands a host polls: whole processes, median of RUNS runs each, beside
# `xdotool search --onlyvisible --name .` on the same virtual desktop in the same run, with peak memory
# (the median of each run's maximum resident set). The commands take turns, round after round, so that a
# change in the machine's load touches all of them alike.
#
#   bench/startup.sh [BUILD_DIR] [--runs N] [--also OTHER_TOOL] [--with PROGRAM [--alone]]
#
# --also times a second build of the tool (for instance one built from another commit) in the same run.
# --with starts PROGRAM as well (for instance gtk3-widget-factory, whose windows make a deeper tree for
# xdotool to search and more windows for `windows` to read) and waits for its window; with --alone it is
# the only window on the desktop (no xlogo windows beside it).
# Runs itself inside a private virtual desktop (scripts/desktop-session) unless it already is in one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
runs=20
also=""
with=""
alone=""
while (($#)); do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --also) also=$(realpath "$2"); shift 2 ;;
    --with) with=$2; shift 2 ;;
    --alone) alone=1; shift ;;
    *) build=$(cd "$1" && pwd); shift ;;
  esac
done
tool=$build/quorrel-capture
[ -x "$tool" ] || { echo "startup: $tool is missing (build it first)" >&2; exit 69; }
for program in xdotool xlogo python3; do
  command -v "$program" >/dev/null || { echo "startup: $program is missing (scripts/packages.txt)" >&2; exit 69; }
done
if [ -z "${QC_DESKTOP_SESSION:-}" ]; then
  args=("$build" --runs "$runs")
  [ -n "$also" ] && args+=(--also "$also")
  [ -n "$with" ] && args+=(--with "$with")
  [ -n "$alone" ] && args+=(--alone)
  exec "$root/scripts/desktop-session" -- "$0" "${args[@]}"
fi

windows=()
cleanup() {
  for pid in "${windows[@]}"; do kill "$pid" 2>/dev/null; done
}
trap cleanup EXIT

# Something to list: two ordinary windows, unless PROGRAM is to be alone.
[ -n "$alone" ] && [ -z "$with" ] && { echo "startup: --alone needs --with PROGRAM" >&2; exit 64; }
expected=0
if [ -z "$alone" ]; then
  xlogo -geometry 200x200+40+40 2>/dev/null & windows+=($!)
  xlogo -geometry 200x200+300+40 2>/dev/null & windows+=($!)
  expected=2
fi
if [ -n "$with" ]; then
  command -v "$with" >/dev/null || { echo "startup: $with is missing" >&2; exit 69; }
  "$with" >/dev/null 2>&1 & windows+=($!)
  expected=$((expected + 1))
fi
for _ in $(seq 200); do
  [ "$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)" -ge "$expected" ] && break
  sleep 0.05
done

commands=("$(command -v xdotool) search --onlyvisible --name ." /bin/true "$tool version" "$tool permissions" "$tool windows")
if [ -n "$also" ]; then
  commands+=("$also version" "$also permissions" "$also windows")
fi

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
python3 "$root/bench/time_processes.py" --runs "$runs" --tool "$tool" --also "$also" -- "${commands[@]}"
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
