#!/usr/bin/python3
"""The Debian package, from this build tree to a clean root.

  install_test.py BUILD_DIR SOURCE_DIR PROTOCOL_LOG

CPack builds the .deb; lintian must report no error; the control fields carry the dependencies that
dpkg-shlibdeps found and the recommendations; dpkg-deb unpacks the package into an empty folder, and the tool
installed there runs with an empty environment of libraries and, where mount namespaces are available, with
the source and build trees hidden behind empty file systems, so that nothing of them can be used: `version`,
`ocr` of an image, the demo's recording inside the installed desktop session (scripts/demo with QC_TOOL naming
the installed tool, whose session command is beside it), and `ocr` once more with the text recognition module
removed. The movie's last picture must show the typed text and no warning of a program run as root. What the
installed tool wrote goes to the protocol log, where the schema check reads it with every other run.
"""

import base64
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

build_dir, source_dir, protocol_log = (os.path.realpath(path) for path in sys.argv[1:4])
faults = []


def check(condition, message):
    if not condition:
        faults.append(message)
        print("FAULT: " + message)
    return condition


def run(argv, **options):
    return subprocess.run(argv, capture_output=True, text=True, **options)


def record(args, stdout, status, job=None):
    """Appends a run of the installed tool to the protocol log, in the test support's format."""
    entry = {"args": args, "job": None, "stdout": base64.b64encode(stdout.encode()).decode(), "status": status}
    if job is not None:
        with open(job, "rb") as file:
            entry["job"] = {"path": job, "base64": base64.b64encode(file.read()).decode()}
    with open(protocol_log, "a", encoding="utf-8") as file:
        file.write(json.dumps(entry) + "\n")


def hidden_trees_prefix():
    """A command prefix that runs its command with the source and build trees hidden, or [] when this
    machine cannot make a mount namespace."""
    trees = [source_dir] + ([] if build_dir.startswith(source_dir + "/") else [build_dir])
    mounts = " && ".join("mount -t tmpfs qc-hidden '%s'" % tree for tree in trees)
    prefix = ["unshare", "--mount", "--propagation", "private", "sh", "-c", mounts + ' && exec "$@"', "sh"]
    probe = run(prefix + ["test", "!", "-e", os.path.join(source_dir, "CMakeLists.txt")])
    if probe.returncode != 0:
        print("note: no mount namespace here (%s); the trees stay visible, the tool still runs from the "
              "clean root only" % probe.stderr.strip())
        return []
    return prefix


def package_names(field):
    """The package names of a Depends-like control field, alternatives included, versions left out."""
    return {entry.split()[0].split(":")[0] for entry in field.replace("|", ",").split(",") if entry.strip()}


def check_last_picture(movie, width, installed, work):
    """The movie's last picture shows the typed text, read by the installed tool, and no warning banner of a
    program run as root: mousepad 0.5.10 run as root opens every window with a red bar across it ("Warning:
    you are using the root account"), 16 rows of the demo's window, which text recognition does not read."""
    picture = os.path.join(work, "last-picture.png")
    taken = run(["ffmpeg", "-v", "error", "-y", "-sseof", "-0.3", "-i", movie, "-frames:v", "1", picture])
    if not check(taken.returncode == 0, "ffmpeg: " + taken.stderr):
        return
    job = os.path.join(work, "last-picture.json")
    with open(job, "w", encoding="utf-8") as file:
        json.dump({"images": [picture]}, file)
    answer = installed("ocr", job)
    if check(answer.returncode == 0, "ocr of the last picture: %d %s" % (answer.returncode, answer.stderr)):
        text = " ".join(line["text"] for line in json.loads(answer.stdout.splitlines()[-1])["results"][0]["lines"])
        check("typed by a script" in text, "the last picture does not show the typed text: %r" % text)
    pixels = subprocess.run(["ffmpeg", "-v", "error", "-i", picture, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                            capture_output=True).stdout
    stride = width * 3
    red_rows = 0
    for start in range(0, len(pixels) - stride + 1, stride):
        row = pixels[start:start + stride]
        red = sum(1 for x in range(0, stride, 3) if row[x] > 140 and row[x + 1] < 90 and row[x + 2] < 120)
        red_rows += red > width // 2
    check(len(pixels) >= stride and red_rows == 0,
          "the last picture has %d red rows across the window, a warning for root" % red_rows)


def main():
    architecture = run(["dpkg", "--print-architecture"]).stdout.strip()
    multiarch = run(["dpkg-architecture", "-qDEB_HOST_MULTIARCH"]).stdout.strip()
    work = tempfile.mkdtemp(prefix="qc-package.")
    try:
        started = time.monotonic()
        built = run(["cpack", "-G", "DEB", "--config", os.path.join(build_dir, "CPackConfig.cmake"),
                     "-B", os.path.join(work, "package")])
        if not check(built.returncode == 0, "cpack failed: " + built.stdout + built.stderr):
            return
        debs = glob.glob(os.path.join(work, "package", "*.deb"))
        check(len(debs) == 1, "cpack wrote %s" % debs)
        deb = debs[0]
        name = os.path.basename(deb)
        control_version = run(["dpkg-deb", "-f", deb, "Version"]).stdout.strip()
        check(name == "quorrel-capture_%s_%s.deb" % (control_version, architecture), "package file " + name)
        print("package: %s in %.1f s" % (name, time.monotonic() - started))

        depends = run(["dpkg-deb", "-f", deb, "Depends"]).stdout
        for library in ("libc6", "libavcodec", "libtesseract", "libatspi", "libx11-6", "libicu"):
            check(library in depends, "Depends lacks %s: %s" % (library, depends))
        recommends = run(["dpkg-deb", "-f", deb, "Recommends"]).stdout.strip()
        check(recommends == "at-spi2-core, tesseract-ocr-eng, xvfb, openbox, x11-utils, dbus-daemon",
              "Recommends: " + recommends)
        # Installing the package with its recommendations gives the X11 session every program it runs: each
        # comes in a package that the package names or that one of those depends on.
        offered = package_names(depends + "," + recommends)
        offered |= package_names(run(["dpkg-query", "-W", "-f=${Depends},", *sorted(offered)]).stdout)
        for program in ("Xvfb", "openbox", "xprop", "dbus-daemon", "dbus-send", "at-spi-bus-launcher"):
            path = shutil.which(program) or shutil.which(program, path="/usr/libexec:/usr/lib/at-spi2-core")
            owner = run(["dpkg-query", "-S", os.path.realpath(path)]).stdout.split(":")[0] if path else "?"
            check(owner in offered, "the X11 session's %s (%s) is not installed with the package" % (program, owner))

        started = time.monotonic()
        lint = run(["lintian", "--tag-display-limit", "0", deb])
        errors = [line for line in lint.stdout.splitlines() if line.startswith("E:")]
        check(not errors and lint.returncode == 0, "lintian: " + lint.stdout + lint.stderr)
        print("lintian: %d errors, %d warnings in %.1f s" % (
            len(errors), sum(line.startswith("W:") for line in lint.stdout.splitlines()),
            time.monotonic() - started))

        root = os.path.join(work, "root")
        check(run(["dpkg-deb", "-x", deb, root]).returncode == 0, "dpkg-deb -x failed")
        modules = os.path.join(root, "usr/lib", multiarch, "quorrel-capture")
        tool = os.path.join(root, "usr/bin/quorrel-capture")
        sessions = os.path.join(root, "usr/libexec/quorrel-capture")
        for path in [tool, "usr/share/man/man1/quorrel-capture.1.gz", "usr/share/doc/quorrel-capture/copyright",
                     "usr/share/doc/quorrel-capture/changelog.gz", "usr/share/man/man1/quorrel-capture-session.1.gz"] + \
                [os.path.join(sessions, script) for script in
                 ("quorrel-capture-session", "desktop-session-x11", "desktop-session-wayland",
                  "desktop-session-gnome-shell", "desktop-session-kwin")] + \
                ["usr/share/gnome-shell/extensions/quorrel-capture@quorrel-capture.github.io/%s" % name
                 for name in ("metadata.json", "extension.js", "service.js")] + \
                ["usr/share/quorrel-capture/schema/%s.schema.json" % schema
                 for schema in ("capture-job", "inspect-job", "ocr-job", "output")] + \
                [os.path.join(modules, "quorrel-capture-%s.so" % module)
                 for module in ("x11", "x11_io", "wayland", "kwin", "atspi", "ffmpeg", "tesseract", "desktop", "bus",
                                "pipewire")] + \
                ["usr/share/applications/quorrel-capture.desktop"]:
            check(os.path.isfile(os.path.join(root, path)), "the package lacks " + path)
        # KWin grants its screen cast and fake input to the executable an installed desktop file names.
        with open(os.path.join(root, "usr/share/applications/quorrel-capture.desktop"), encoding="utf-8") as file:
            entry = file.read().splitlines()
        check("Exec=/usr/bin/quorrel-capture" in entry and "NoDisplay=true" in entry and
              "X-KDE-Wayland-Interfaces=zkde_screencast_unstable_v1,org_kde_kwin_fake_input" in entry,
              "the desktop file does not name the installed tool for KWin: %s" % entry)
        # The only search path is the module directory itself, for the shared libraries the modules link; in
        # the build tree too, where an empty entry (CMake's room for the install's path) would make the loader
        # search the current directory for every library a module needs.
        for elf in [tool] + glob.glob(os.path.join(modules, "*.so")) + \
                glob.glob(os.path.join(build_dir, "quorrel-capture-*.so")):
            dynamic = run(["readelf", "-d", elf]).stdout
            paths = re.findall(r"\((?:RPATH|RUNPATH)\)[^\[]*\[(.*)\]", dynamic)
            allowed = [] if elf == tool else ["$ORIGIN"]
            check(all(path in allowed for path in paths), "%s has a library search path: %s" % (elf, paths))

        # The session command is a relative link into the per-desktop scripts' folder.
        session = os.path.join(root, "usr/bin/quorrel-capture-session")
        check(os.path.islink(session) and not os.path.isabs(os.readlink(session)) and
              os.path.realpath(session) == os.path.join(sessions, "quorrel-capture-session"),
              "usr/bin/quorrel-capture-session is not a relative link to %s" % sessions)

        # What the installed tool needs from outside its root: an image and the demo's script. The demo runs
        # as root here, so its desktop runs as an unprivileged user, who must reach the unpacked root.
        os.chmod(work, 0o711)
        image = os.path.join(work, "menu-bar.png")
        shutil.copy(os.path.join(source_dir, "bench/ocr/corpus/dejavu-sans-12px-dark.png"), image)
        demo_root = os.path.join(work, "demo")
        os.makedirs(os.path.join(demo_root, "scripts"))
        shutil.copy(os.path.join(source_dir, "scripts/demo"), os.path.join(demo_root, "scripts"))
        ocr_job = os.path.join(work, "ocr.json")
        with open(ocr_job, "w", encoding="utf-8") as file:
            json.dump({"images": [image]}, file)

        prefix = hidden_trees_prefix()
        environment = {name: value for name, value in os.environ.items()
                       if name not in ("LD_LIBRARY_PATH", "LD_PRELOAD", "QC_TOOL", "TESSDATA_PREFIX")}
        environment["PATH"] = "/usr/sbin:/usr/bin:/sbin:/bin"

        def installed(*args, tool_path=tool, timeout=60):
            answer = run(prefix + [tool_path, *args], env=environment, cwd=work, timeout=timeout)
            record(list(args), answer.stdout, answer.returncode, job=args[1] if len(args) > 1 else None)
            return answer

        version = installed("version")
        check(version.returncode == 0 and version.stdout ==
              '{"features":["region","ocr","inspect","preflight"],"type":"result","version":"2"}\n',
              "version: %d %r %r" % (version.returncode, version.stdout, version.stderr))

        ocr = installed("ocr", ocr_job)
        if check(ocr.returncode == 0, "ocr: %d %s %s" % (ocr.returncode, ocr.stdout, ocr.stderr)):
            texts = [line["text"] for line in json.loads(ocr.stdout.splitlines()[-1])["results"][0]["lines"]]
            check("File Edit View Help" in texts, "ocr read %s" % texts)

        # A module missing from the installed tree is named at its installed place.
        broken = os.path.join(work, "broken")
        shutil.copytree(root, broken, symlinks=True)
        broken_modules = os.path.join(broken, "usr/lib", multiarch, "quorrel-capture")
        os.remove(os.path.join(broken_modules, "quorrel-capture-tesseract.so"))
        missing = installed("ocr", ocr_job, tool_path=os.path.join(broken, "usr/bin/quorrel-capture"))
        entry = json.loads(missing.stdout.splitlines()[-1])["results"][0] if missing.stdout else {}
        check(entry.get("error", "").startswith("cannot load the text recognition module: %s/"
                                                "quorrel-capture-tesseract.so: " % broken_modules),
              "a missing module: %s" % missing.stdout)
        # A session type whose script is missing is refused as not installed, before anything starts.
        os.remove(os.path.join(broken, "usr/libexec/quorrel-capture/desktop-session-wayland"))
        refused = run(prefix + [os.path.join(broken, "usr/bin/quorrel-capture-session"), "--wayland", "--", "true"],
                      env=environment, cwd=work, timeout=60)
        check(refused.returncode == 69 and "this session type is not installed" in refused.stderr,
              "a missing session type: %d %s" % (refused.returncode, refused.stderr))

        # The demo's recording of mousepad on a virtual desktop, by the installed tool.
        started = time.monotonic()
        demo = run(prefix + [os.path.join(demo_root, "scripts/demo")], env=dict(environment, QC_TOOL=tool),
                   cwd=work, timeout=240)
        print("demo: status %d in %.1f s" % (demo.returncode, time.monotonic() - started))
        check(demo.returncode == 0, "the demo failed: %s\n%s" % (demo.stdout[-3000:], demo.stderr[-3000:]))
        lines = [line for line in demo.stdout.splitlines() if line.startswith('{"')]
        if check(len(lines) >= 3, "the demo wrote %r" % demo.stdout[-2000:]):
            record(["version"], lines[0] + "\n", -1)
            record(["run", os.path.join(demo_root, "demo-output/job.json")], "\n".join(lines[1:]) + "\n", -1,
                   job=os.path.join(demo_root, "demo-output/job.json"))
            result = json.loads(lines[-1])
            check(result.get("type") == "result" and result.get("frames", 0) > 10, "the demo's result: " + lines[-1])
            check(os.path.getsize(os.path.join(demo_root, "demo-output/demo.mov")) > 10000, "no movie")
            check(os.path.isfile(os.path.join(demo_root, "demo-output/contact-sheet.png")), "no contact sheet")
            check_last_picture(os.path.join(demo_root, "demo-output/demo.mov"), result.get("width", 0), installed,
                               work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
print("package.install: %s" % ("FAILED" if faults else "passed"))
sys.exit(1 if faults else 0)
