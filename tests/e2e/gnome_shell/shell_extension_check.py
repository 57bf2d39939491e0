#!/usr/bin/python3
"""Checks the project's GNOME Shell extension from outside, over the session bus, inside
`scripts/desktop-session --gnome-shell`: it lists a GTK program's windows with their screen frames, places and
focuses them, and tells the pointer presses made through the compositor's remote desktop service to the
client that subscribed and to no other, and no keys.

  shell_extension_check.py
"""
import os
import subprocess
import sys
import tempfile
import time

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

NAME, PATH, INTERFACE = 'io.github.QuorrelCapture.Shell', '/io/github/QuorrelCapture/Shell', \
    'io.github.QuorrelCapture.Shell'
SCREEN = (1440, 900)
BTN_LEFT = 0x110
failures = 0


def check(what, ok):
    global failures
    print(('ok: ' if ok else 'FAIL: ') + what, file=sys.stdout if ok else sys.stderr, flush=True)
    failures += not ok


def pump(seconds):
    """Runs the main loop for a while, so that signals arrive."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not context.iteration(False):
            time.sleep(0.01)


def wait_until(seconds, condition):
    """The first true value of condition() within the time, or None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        pump(0.1)
    return None


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
address = os.environ['DBUS_SESSION_BUS_ADDRESS']
subscriber = dbus.bus.BusConnection(address)    # the client that asks for presses
bystander = dbus.bus.BusConnection(address)     # a client that listens for them without asking
shell = dbus.Interface(subscriber.get_object(NAME, PATH), INTERFACE)


def plain(value):
    if isinstance(value, dbus.Struct):
        return tuple(plain(item) for item in value)
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, dbus.String):
        return str(value)
    return int(value)


def windows():
    return [{str(key): plain(value) for key, value in window.items()} for window in shell.ListWindows()]


def windows_of(pid):
    return [w for w in windows() if w['pid'] == pid]


# Programs with a private home; Mousepad asks nothing at its first start.
home = tempfile.mkdtemp(prefix='qc-shell-check.')
environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f'{home}/.config', XDG_CACHE_HOME=f'{home}/.cache')
programs = []
try:
    started = time.monotonic()
    programs.append(subprocess.Popen(['mousepad'], env=environment, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL))
    editor_pid = programs[-1].pid
    listed = wait_until(60, lambda: windows_of(editor_pid))
    check(f'the extension lists Mousepad\'s window ({time.monotonic() - started:.1f} s): {listed}', listed)
    if not listed:
        sys.exit(1)
    editor = listed[0]
    x, y, width, height = editor['frame']
    check('its frame is on the screen and of a window\'s size',
          x >= 0 and y >= 0 and x + width <= SCREEN[0] and y + height <= SCREEN[1] and width > 200 and height > 150)
    bx, by, bwidth, bheight = editor['buffer-frame']
    check('its surface holds its frame (shadows around it)',
          bx <= x and by <= y and bx + bwidth >= x + width and by + bheight >= y + height)
    check('it is a Wayland client of the desktop entry org.xfce.mousepad, with a title',
          editor['client-type'] == 'wayland' and editor['app-id'] == 'org.xfce.mousepad.desktop' and editor['title'])

    # Placing: the frame moves and takes the size asked for.
    target = (101, 83, 640, 480)
    shell.MoveResizeWindow(dbus.UInt64(editor['id']), *target)
    placed = wait_until(10, lambda: [w for w in windows_of(editor_pid) if w['frame'] == target])
    check(f'MoveResizeWindow gives the frame {target} ({windows_of(editor_pid)[0]["frame"]})', placed)
    try:
        shell.MoveResizeWindow(dbus.UInt64(editor['id']), 0, 0, 0, 10)
        check('a size of 0 is refused', False)
    except dbus.DBusException as error:
        check(f'a size of 0 is refused ({error.get_dbus_name()})',
              error.get_dbus_name() == 'org.freedesktop.DBus.Error.InvalidArgs')
    try:
        shell.FocusWindow(dbus.UInt64(1))
        check('an unknown window is refused', False)
    except dbus.DBusException as error:
        check(f'an unknown window is refused ({error.get_dbus_name()})',
              error.get_dbus_name() == f'{INTERFACE}.Error.UnknownWindow')

    # Focus: a second program's window takes the focus as it maps; focusing the editor raises it again.
    programs.append(subprocess.Popen(['zenity', '--info', '--text', 'Another window'], env=environment,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    dialog_pid = programs[-1].pid
    dialog = wait_until(60, lambda: [w for w in windows_of(dialog_pid) if w['focused']])
    check('the second program\'s window is listed first, with the focus', dialog and windows()[0]['pid'] == dialog_pid)
    shell.FocusWindow(dbus.UInt64(editor['id']))
    focused = wait_until(10, lambda: windows()[0]['id'] == editor['id'] and windows()[0]['focused'])
    check('FocusWindow gives the editor the focus and the top of the stack', focused)

    # Presses: made through the compositor's remote desktop service at the editor's middle.
    received = {'subscriber': [], 'bystander': []}
    for client, connection in (('subscriber', subscriber), ('bystander', bystander)):
        connection.add_signal_receiver(lambda *values, client=client: received[client].append(values),
                                       'PointerPressed', INTERFACE, path=PATH)
    remote = dbus.SessionBus()
    desktop = dbus.Interface(remote.get_object('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop'),
                             'org.gnome.Mutter.RemoteDesktop')
    session_path = desktop.CreateSession()
    session_object = remote.get_object('org.gnome.Mutter.RemoteDesktop', session_path)
    session = dbus.Interface(session_object, 'org.gnome.Mutter.RemoteDesktop.Session')
    session_id = dbus.Interface(session_object, 'org.freedesktop.DBus.Properties').Get(
        'org.gnome.Mutter.RemoteDesktop.Session', 'SessionId')
    cast = dbus.Interface(remote.get_object('org.gnome.Mutter.ScreenCast', '/org/gnome/Mutter/ScreenCast'),
                          'org.gnome.Mutter.ScreenCast')
    cast_session = dbus.Interface(
        remote.get_object('org.gnome.Mutter.ScreenCast', cast.CreateSession({'remote-desktop-session-id': session_id})),
        'org.gnome.Mutter.ScreenCast.Session')
    stream = cast_session.RecordMonitor('', {})   # the monitor's coordinates are the screen's
    stream_ready = []
    remote.add_signal_receiver(lambda node: stream_ready.append(node), 'PipeWireStreamAdded',
                               'org.gnome.Mutter.ScreenCast.Stream', path=stream)
    session.Start()
    check('the remote desktop session starts its stream', wait_until(10, lambda: stream_ready))
    point = (target[0] + target[2] / 2, target[1] + target[3] / 2)

    def click():
        session.NotifyPointerMotionAbsolute(stream, *point)
        before = GLib.get_monotonic_time()
        session.NotifyPointerButton(BTN_LEFT, True)
        session.NotifyPointerButton(BTN_LEFT, False)
        return before

    shell.SubscribePointerPresses()
    before = click()
    wait_until(10, lambda: received['subscriber'])
    after = GLib.get_monotonic_time()
    pump(0.5)
    presses = received['subscriber']
    check(f'the subscriber is told one press: {presses}', len(presses) == 1)
    if presses:
        when, px, py, button, window = presses[0]
        check('at the point, with the primary button, on the editor\'s window',
              (float(px), float(py)) == point and button == 1 and window == editor['id'])
        check(f'at its time on the monotonic clock ({when - before} µs after the call)',
              before - 100000 <= when <= after)
    check(f'a client that did not subscribe is told nothing ({received["bystander"]})', not received['bystander'])

    # Keys are never told, and an unsubscribed client hears no more presses.
    session.NotifyKeyboardKeysym(dbus.UInt32(ord('a')), True)
    session.NotifyKeyboardKeysym(dbus.UInt32(ord('a')), False)
    pump(0.5)
    check('a key press is not told', len(received['subscriber']) == 1)
    shell.UnsubscribePointerPresses()
    click()
    pump(1)
    check('after unsubscribing, presses are not told', len(received['subscriber']) == 1 and not received['bystander'])
    session.Stop()
finally:
    for program in programs:
        program.terminate()
    for program in programs:
        try:
            program.wait(5)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
    subprocess.run(['rm', '-rf', home])

if failures:
    print(f'{failures} check(s) failed', file=sys.stderr)
    sys.exit(1)
print('all checks passed')
