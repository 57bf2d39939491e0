#!/usr/bin/env python3
"""Changes a movie lacks: matches the times at which a window was damaged with the movie's frames.

    lost_changes.py DAMAGE_TIMES START DURATION MOVIE FPS

DAMAGE_TIMES holds one damage event per line (seconds on the host clock, from qc_bench_damage_ticks); START is
the host-clock time of the movie's first frame (its time 0) and DURATION the movie's length; the frames' times
are read with ffprobe.

At FPS frames a second, changes less than a frame period apart cannot have frames of their own, so the events
are first gathered into changes: an event at least one period after the start of the current change starts
the next one (the most changes that a recorder at this rate can tell apart). Each change then needs a frame of
its own taken from one step before it to two steps after it (the recorder takes a change at the latest one
period after its last frame, and the writer puts frames on the nearest free step of the rate). Prints the
changes and those without a frame.
"""
import subprocess
import sys


def main():
    times_path, start, duration = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    movie, fps = sys.argv[4], float(sys.argv[5])
    output = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "frame=pts_time", "-of", "csv=p=0",
         movie], capture_output=True, text=True, check=True).stdout
    steps = sorted(round(float(line.strip(",")) * fps) for line in output.split() if line.strip(","))
    with open(times_path) as lines:
        events = sorted((float(line) - start) * fps for line in lines if line.strip())
    # Changes before the first frame are in it; those in the last steps may have come after the stop.
    events = [event for event in events if 0 < event < duration * fps - 2]
    changes = []
    for event in events:
        if not changes or event >= changes[-1] + 1:
            changes.append(event)
    lost, next_frame = 0, 0
    for change in changes:
        while next_frame < len(steps) and steps[next_frame] < change - 1:
            next_frame += 1
        if next_frame < len(steps) and steps[next_frame] <= change + 2:
            next_frame += 1
        else:
            lost += 1
    print(len(changes), lost)


if __name__ == "__main__":
    main()
