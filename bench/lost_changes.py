#!/usr/bin/env python3
"""Changed ticks a movie lacks: matches the times at which a window was damaged with the movie's frames.

    lost_changes.py DAMAGE_TIMES START DURATION MOVIE FPS

DAMAGE_TIMES holds one damage event per line (seconds on the host clock, from qc_bench_damage_ticks); START is
the host-clock time of the movie's first frame (its time 0) and DURATION the movie's length; frames are read
with ffprobe. A change at time d
is captured by the recorder's next tick, the k-th after START with k = ceil((d - START) * FPS); each such
changed tick needs a frame of its own at step k (one step either way, as the writer moves a frame that
jittered into the step of the one before). Prints the changed ticks and those without a frame.
"""
import math
import subprocess
import sys


def main():
    times_path, start, duration = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    movie, fps = sys.argv[4], float(sys.argv[5])
    output = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "frame=pts_time", "-of", "csv=p=0",
         movie], capture_output=True, text=True, check=True).stdout
    steps = sorted(round(float(line.strip(",")) * fps) for line in output.split() if line.strip(","))
    if not steps:
        print("0 0")
        return
    with open(times_path) as lines:
        changed = sorted({math.ceil((float(line) - start) * fps - 1e-6) for line in lines if line.strip()})
    # Changes before the first frame are in it; those in the last step may have come after the stop.
    changed = [tick for tick in changed if steps[0] < tick < duration * fps - 1]
    lost, next_frame = 0, 0
    for tick in changed:
        while next_frame < len(steps) and steps[next_frame] < tick - 1:
            next_frame += 1
        if next_frame < len(steps) and steps[next_frame] <= tick + 1:
            next_frame += 1
        else:
            lost += 1
    print(len(changed), lost)


if __name__ == "__main__":
    main()
