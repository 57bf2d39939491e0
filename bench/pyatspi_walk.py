"""The reference walk for ax_dump_bench: role, name and extents of every object under the first window of
the application with process id PID, through pyatspi, depth first. Prints the object count and the best
seconds of ROUNDS walks.

    python3 pyatspi_walk.py PID ROUNDS
"""
import sys
import time

import pyatspi


def walk(accessible):
    count = 1
    accessible.getRole()
    accessible.name
    try:
        accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        pass
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            count += walk(child)
    return count


def main():
    pid, rounds = int(sys.argv[1]), int(sys.argv[2])
    sys.setrecursionlimit(10000)
    desktop = pyatspi.Registry.getDesktop(0)
    application = next(app for app in desktop if app is not None and app.get_process_id() == pid)
    window = application.getChildAtIndex(0)
    best, count = float("inf"), 0
    for _ in range(rounds):
        start = time.perf_counter()
        count = walk(window)
        best = min(best, time.perf_counter() - start)
    print(count, best)


main()
