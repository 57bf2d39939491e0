// The extension's service on the session bus (io.github.QuorrelCapture.Shell.xml beside this file says what
// it offers): the windows, focusing and placing them, and the pointer presses for the clients that ask.
// Every client on the user's session bus may call it, as every such client may call the compositor's own
// screen cast and remote desktop services; presses go only to the clients that subscribed, each by a signal
// addressed to it alone.

import GLib from 'gi://GLib';
import Gio from 'gi://Gio';

import {PointerPresses} from './pointerPresses.js';
import {describeWindow, findWindow, listedWindows, placeWindow, workArea} from './windows.js';

export const BUS_NAME = 'io.github.QuorrelCapture.Shell';
export const OBJECT_PATH = '/io/github/QuorrelCapture/Shell';
export const INTERFACE = 'io.github.QuorrelCapture.Shell';
const INTERFACE_VERSION = 2;
const UNKNOWN_WINDOW = `${INTERFACE}.Error.UnknownWindow`;

function readInterface(directory) {
    const [, contents] = directory.get_child(`${INTERFACE}.xml`).load_contents(null);
    return new TextDecoder().decode(contents);
}

export class ShellService {
    // `shell`: the shell's modules and objects, {Main, Meta, Shell, Clutter, global}; `directory`: the
    // extension's folder (a Gio.File).
    constructor(shell, directory) {
        this._shell = shell;
        this._connection = Gio.DBus.session;
        this._exported = Gio.DBusExportedObject.wrapJSObject(readInterface(directory), this);
        this._exported.export(this._connection, OBJECT_PATH);
        this._presses = new PointerPresses(shell, this._connection, (client, ...values) =>
            this._connection.emit_signal(client, OBJECT_PATH, INTERFACE, 'PointerPressed',
                new GLib.Variant('(tddut)', values)));
        this._nameId = Gio.bus_own_name_on_connection(this._connection, BUS_NAME, Gio.BusNameOwnerFlags.NONE,
            null, null);
    }

    destroy() {
        Gio.bus_unown_name(this._nameId);
        this._presses.destroy();
        this._exported.unexport();
    }

    get Version() {
        return INTERFACE_VERSION;
    }

    get WorkArea() {
        return workArea(this._shell);
    }

    ListWindowsAsync(_parameters, invocation) {
        const windows = listedWindows(this._shell).map(window => describeWindow(this._shell, window));
        invocation.return_value(new GLib.Variant('(aa{sv})', [windows]));
    }

    FocusWindowAsync([id], invocation) {
        const window = findWindow(this._shell, id);
        if (!window) {
            invocation.return_dbus_error(UNKNOWN_WINDOW, `no window ${id}`);
            return;
        }
        this._shell.Main.activateWindow(window);
        invocation.return_value(null);
    }

    MoveResizeWindowAsync([id, x, y, width, height], invocation) {
        const window = findWindow(this._shell, id);
        if (!window) {
            invocation.return_dbus_error(UNKNOWN_WINDOW, `no window ${id}`);
            return;
        }
        if (width <= 0 || height <= 0) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.InvalidArgs',
                `a window's size must be positive (${width} x ${height})`);
            return;
        }
        placeWindow(this._shell, window, x, y, width, height);
        invocation.return_value(null);
    }

    SubscribePointerPressesAsync(_parameters, invocation) {
        this._presses.subscribe(invocation.get_sender());
        invocation.return_value(null);
    }

    UnsubscribePointerPressesAsync(_parameters, invocation) {
        this._presses.unsubscribe(invocation.get_sender());
        invocation.return_value(null);
    }
}
