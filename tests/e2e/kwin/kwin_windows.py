#!/usr/bin/python3
"""Reads the window list of a running KWin, independently of the tool: a KWin script, loaded over D-Bus
(org.kde.KWin /Scripting), reports every window back to this reader's own bus name with callDBus, and the
list is printed as one JSON line.

  kwin_windows.py              the windows: caption, pid, resourceClass, internalId, active, frame, buffer
  kwin_windows.py --wait PID   the same, once a window of process PID is listed (20 s at most; exit 1 without)

frame is the window as KWin places it (its title bar included), buffer the surface the client draws, both
[x, y, width, height] in the compositor's logical coordinates. KWin 5.27 names are used (workspace.clientList);
Plasma 6 renamed them (workspace.windowList).
"""
import json
import os
import sys
import tempfile
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SCRIPT = """
var windows = [];
var list = workspace.clientList();
for (var i = 0; i < list.length; i++) {
    var w = list[i], f = w.frameGeometry, b = w.bufferGeometry;
    windows.push({caption: w.caption, pid: w.pid, resourceClass: String(w.resourceClass),
                  internalId: String(w.internalId), active: w.active,
                  frame: [f.x, f.y, f.width, f.height], buffer: [b.x, b.y, b.width, b.height]});
}
callDBus(%(reader)s, "/windows", "org.quorrel.test.WindowReader", "deliver", JSON.stringify(windows));
"""


class Reader(dbus.service.Object):
    def __init__(self, bus, loop):
        super().__init__(bus, "/windows")
        self.loop = loop
        self.answer = None

    @dbus.service.method("org.quorrel.test.WindowReader", in_signature="s", out_signature="")
    def deliver(self, text):
        self.answer = json.loads(text)
        self.loop.quit()


def read_windows(bus, scripting, reader, loop):
    reader.answer = None
    with tempfile.NamedTemporaryFile("w", suffix=".js", delete=False) as script:
        script.write(SCRIPT % {"reader": json.dumps(bus.get_unique_name())})
    plugin = "quorrel-test-windows-%d" % os.getpid()
    try:
        script_id = int(scripting.loadScript(script.name, plugin, signature="ss"))
        if script_id < 0:
            sys.exit("KWin refused the script")
        # KWin 5.27 puts the loaded script at /<id>; Plasma 6 at /Scripting/Script<id>.
        dbus.Interface(bus.get_object("org.kde.KWin", "/%d" % script_id), "org.kde.kwin.Script").run()
        timeout = GLib.timeout_add(5000, loop.quit)
        loop.run()
        GLib.source_remove(timeout)
    finally:
        scripting.unloadScript(plugin)
        os.unlink(script.name)
    if reader.answer is None:
        sys.exit("the KWin script reported nothing within 5 s")
    return reader.answer


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    reader = Reader(bus, loop)
    scripting = dbus.Interface(bus.get_object("org.kde.KWin", "/Scripting"), "org.kde.kwin.Scripting")
    if len(sys.argv) == 3 and sys.argv[1] == "--wait":
        pid = int(sys.argv[2])
        deadline = time.monotonic() + 20
        while True:
            windows = read_windows(bus, scripting, reader, loop)
            if any(w["pid"] == pid for w in windows):
                break
            if time.monotonic() > deadline:
                print(json.dumps(windows))
                sys.exit("no window of process %d within 20 s" % pid)
            time.sleep(0.1)
    else:
        windows = read_windows(bus, scripting, reader, loop)
    print(json.dumps(windows))


if __name__ == "__main__":
    main()
