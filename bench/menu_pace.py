"""How long a menu step takes against its pauses (0.25 s after each title, 0.3 s after the last), on the
fixture and mousepad, in the virtual desktop it is started in. Run it in a normal session and in one whose
accessibility bus has no display (as a service manager may start it):

    scripts/desktop-session -- python3 bench/menu_pace.py build
    scripts/desktop-session --bus-without-display -- python3 bench/menu_pace.py build

Each menu step is timed from its progress line to the next step's, as a host reading the tool's output
sees it; prints the median of ROUNDS runs per path beside the pauses and their ratio.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
ROUNDS = int(os.environ.get("ROUNDS", "3"))
tool = os.path.join(build, "quorrel-capture")
fixture = os.path.join(build, "tests", "fixture", "qc_fixture_app")

CASES = [
    ("fixture", ["File", "Save"]),
    ("fixture", ["File", "Export…", "JPEG"]),
    ("mousepad", ["View", "Toolbar"]),
    ("mousepad", ["View", "Color Scheme", "Cobalt"]),
]


def pauses(path):
    return 0.25 * len(path) + 0.3


def private_environment(work):
    env = dict(os.environ, HOME=work, GSETTINGS_BACKEND="keyfile")
    for name, folder in (("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"),
                         ("XDG_STATE_HOME", "state")):
        env[name] = os.path.join(work, folder)
        os.makedirs(env[name], exist_ok=True)
    return env


def start(program, env):
    if program == "fixture":
        process = subprocess.Popen([fixture, "--title", "Menu pace", "--size", "640x620"], env=env,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        for line in process.stdout:
            if '"ready"' in line:
                break
        return process, "org.quorrel.CaptureFixture"
    process = subprocess.Popen(["mousepad"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(2)
    return process, "Mousepad"


def menu_seconds(app, path, work, env):
    steps = []
    for _ in range(ROUNDS):
        steps += [{"action": "menu", "path": path}, {"action": "wait", "ms": 200}]
    job = {"app": app, "out": os.path.join(work, "pace.mov"), "fps": 10, "settleMs": 300, "tailMs": 100,
           "steps": steps}
    job_path = os.path.join(work, "job.json")
    with open(job_path, "w") as file:
        json.dump(job, file)
    run = subprocess.Popen([tool, "run", job_path], env=env, stdout=subprocess.PIPE, text=True)
    began = {}
    for line in run.stdout:
        now = time.monotonic()
        message = json.loads(line)
        if message.get("type") == "progress" and "step" in message:
            began[message["step"]] = now
        elif message.get("type") == "error":
            raise SystemExit(f"{app} {' > '.join(path)}: {message['message']}")
    run.wait()
    return [began[i + 1] - began[i] for i in range(0, 2 * ROUNDS, 2)]


print(f"{'program':9} {'menu path':28} {'median s':>9} {'pauses s':>9} {'ratio':>6}")
for program, path in CASES:
    with tempfile.TemporaryDirectory() as work:
        env = private_environment(work)
        process, app = start(program, env)
        try:
            seconds = statistics.median(menu_seconds(app, path, work, env))
        finally:
            process.terminate()
            process.wait()
    print(f"{program:9} {' > '.join(path):28} {seconds:9.3f} {pauses(path):9.2f} {seconds / pauses(path):6.2f}")
