#!/usr/bin/python3
"""What the GNOME Shell cases of wayland_e2e.sh read and do from outside the tool, inside
`scripts/desktop-session --gnome-shell`: the shell's windows as its extension lists them, its work area, an
element's centre on the screen, and a click made through the compositor's remote desktop service, as a person's
pointer would make it.

  shell_helper.py windows                    the extension's windows as JSON, the top of the stack first
  shell_helper.py workarea                   x y width height of the area windows may use
  shell_helper.py centre PROGRAM ROLE NAME   x y of the centre of PROGRAM's object with that role and name
  shell_helper.py click X Y                  a press and release of the primary button at the screen point
"""
import sys
import time

import gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, Gio, GLib  # noqa: E402

NAME, PATH, INTERFACE = 'io.github.QuorrelCapture.Shell', '/io/github/QuorrelCapture/Shell', \
    'io.github.QuorrelCapture.Shell'
BTN_LEFT = 0x110


def bus():
    return Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(name, path, interface, method, parameters=None, reply=None):
    return bus().call_sync(name, path, interface, method, parameters,
                           GLib.VariantType(reply) if reply else None, Gio.DBusCallFlags.NONE, 5000, None)


def windows():
    [listed] = call(NAME, PATH, INTERFACE, 'ListWindows', reply='(aa{sv})').unpack()
    return listed


def work_area():
    [area] = call(NAME, PATH, 'org.freedesktop.DBus.Properties', 'Get', GLib.Variant('(ss)', (INTERFACE, 'WorkArea')),
                  '(v)').unpack()
    return area


def find(node, role, name, depth=0):
    if depth > 40:
        return None
    if node.get_role_name() == role and node.get_name() == name:
        return node
    for index in range(min(node.get_child_count(), 200)):
        child = node.get_child_at_index(index)
        found = child and find(child, role, name, depth + 1)
        if found:
            return found
    return None


def centre(program, role, name):
    """The object's centre on the screen. GTK 3 measures a window's objects from the corner of the surface it
    draws, shadow included (the shell's buffer frame), GTK 4 from the window's own corner (its frame): the
    corner is that of the rectangle whose size the accessible window has."""
    desktop = Atspi.get_desktop(0)
    for index in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(index)
        if not application or application.get_name() != program:
            continue
        for window_index in range(application.get_child_count()):
            window = application.get_child_at_index(window_index)
            target = find(window, role, name)
            if not target:
                continue
            size = window.get_extents(Atspi.CoordType.WINDOW)
            extents = target.get_extents(Atspi.CoordType.WINDOW)
            for listed in windows():
                if listed['pid'] != application.get_process_id():
                    continue
                for corner in (listed['buffer-frame'], listed['frame']):
                    if abs(corner[2] - size.width) <= 2 and abs(corner[3] - size.height) <= 2:
                        return corner[0] + extents.x + extents.width / 2, corner[1] + extents.y + extents.height / 2
    return None


def click(x, y):
    """A remote desktop session whose screen cast records the primary monitor: its pointer moves in screen
    coordinates."""
    connection = bus()
    desktop = 'org.gnome.Mutter.RemoteDesktop'
    [session_path] = call(desktop, '/org/gnome/Mutter/RemoteDesktop', desktop, 'CreateSession', reply='(o)').unpack()
    [session_id] = call(desktop, session_path, 'org.freedesktop.DBus.Properties', 'Get',
                        GLib.Variant('(ss)', (f'{desktop}.Session', 'SessionId')), '(v)').unpack()
    cast = 'org.gnome.Mutter.ScreenCast'
    [cast_path] = call(cast, '/org/gnome/Mutter/ScreenCast', cast, 'CreateSession',
                       GLib.Variant('(a{sv})', ({'remote-desktop-session-id': GLib.Variant('s', session_id)},)),
                       '(o)').unpack()
    [stream] = call(cast, cast_path, f'{cast}.Session', 'RecordMonitor', GLib.Variant('(sa{sv})', ('', {})),
                    '(o)').unpack()
    started = []
    subscription = connection.signal_subscribe(None, f'{cast}.Stream', 'PipeWireStreamAdded', stream, None,
                                               Gio.DBusSignalFlags.NONE, lambda *_: started.append(True))
    session = f'{desktop}.Session'
    call(desktop, session_path, session, 'Start')
    context = GLib.MainContext.default()
    deadline = time.monotonic() + 10
    while not started and time.monotonic() < deadline:
        context.iteration(False) or time.sleep(0.01)
    connection.signal_unsubscribe(subscription)
    call(desktop, session_path, session, 'NotifyPointerMotionAbsolute', GLib.Variant('(sdd)', (stream, x, y)))
    time.sleep(0.2)
    call(desktop, session_path, session, 'NotifyPointerButton', GLib.Variant('(ib)', (BTN_LEFT, True)))
    time.sleep(0.1)
    call(desktop, session_path, session, 'NotifyPointerButton', GLib.Variant('(ib)', (BTN_LEFT, False)))
    time.sleep(0.2)
    call(desktop, session_path, session, 'Stop')


def main(arguments):
    import json
    if arguments[:1] == ['windows']:
        print(json.dumps(windows()))
    elif arguments[:1] == ['workarea']:
        print(*work_area())
    elif arguments[:1] == ['centre'] and len(arguments) == 4:
        found = centre(*arguments[1:])
        if not found:
            return 1
        print(*(round(value) for value in found))
    elif arguments[:1] == ['click'] and len(arguments) == 3:
        click(float(arguments[1]), float(arguments[2]))
    else:
        print(__doc__, file=sys.stderr)
        return 64
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
