"""Times whole processes for bench/startup.sh: the commands take turns, round after round; prints each
command's median and fastest wall time and its median peak resident set, with the ratio to its target.

    time_processes.py --runs N --tool PATH [--also PATH] -- REFERENCE_COMMAND COMMAND...
"""
import argparse
import os
import statistics
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("--runs", type=int, default=20)
parser.add_argument("--tool", required=True)
parser.add_argument("--also", default="")
parser.add_argument("commands", nargs="+")
options = parser.parse_args()
commands = options.commands
WARMUP_ROUNDS = 3

devnull = os.open(os.devnull, os.O_RDWR)
times = {command: [] for command in commands}
peaks = {command: [] for command in commands}
for round_number in range(options.runs + WARMUP_ROUNDS):
    for command in commands:
        argv = command.split()
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)])
        os.waitpid(pid, 0)
        elapsed_ms = (time.perf_counter() - start) * 1e3
        if round_number >= WARMUP_ROUNDS:
            times[command].append(elapsed_ms)

# Peak memory through /usr/bin/time: a child of this (large) interpreter would inherit its high-water mark.
with tempfile.NamedTemporaryFile("r") as report:
    for command in commands:
        for _ in range(5):
            pid = os.posix_spawn("/usr/bin/time", ["/usr/bin/time", "-f", "%M", "-o", report.name]
                                 + command.split(), os.environ,
                                 file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)])
            os.waitpid(pid, 0)
            report.seek(0)
            peaks[command].append(int(report.read().split()[-1]) / 1024)


def short_name(command):
    if options.also and command.startswith(options.also + " "):
        return "other-build " + command[len(options.also) + 1:]
    if command.startswith(options.tool + " "):
        return "quorrel-capture " + command[len(options.tool) + 1:]
    return os.path.basename(command.split()[0]) + " " + " ".join(command.split()[1:])


reference_ms = statistics.median(times[commands[0]])
reference_min_ms = min(times[commands[0]])
print(f"{'command':44s} {'median ms':>9s} {'min ms':>7s} {'peak MiB':>8s}  ratio of medians (of fastest runs; "
      "median of each round's own ratio)")
for command in commands:
    median_ms = statistics.median(times[command])
    name = short_name(command)
    word = name.split()[1] if name.startswith(("quorrel-capture ", "other-build ")) else ""
    if word == "version":
        note = f"{median_ms / 5:.2f}x the 5 ms target"
    elif word in ("permissions", "windows"):
        # Each round's time against the reference's in the same round, which a change in the machine's load
        # between rounds touches less than the medians.
        per_round = statistics.median(t / r for t, r in zip(times[command], times[commands[0]]))
        note = (f"{median_ms / reference_ms:.2f}x xdotool ({min(times[command]) / reference_min_ms:.2f}x; "
                f"{per_round:.2f}x), target <= 1.0x")
    elif command == commands[0]:
        note = "reference"
    else:
        note = "what starting any process costs on this machine now"
    print(f"{name[:44]:44s} {median_ms:9.2f} {min(times[command]):7.2f} {statistics.median(peaks[command]):8.1f}  {note}")
