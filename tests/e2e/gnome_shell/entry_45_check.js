// Loads the extension laid out for GNOME Shell 45 and later (its extension.js an ES module) in gjs, over
// stand-ins for the shell's modules and its global object, and checks that it works as the shell uses it:
// enabling it puts its service on the session bus, the service answers, presses are watched only while a
// client subscribed, and disabling it takes the service away.
//
//   gjs -m entry_45_check.js EXTENSION_DIRECTORY SHELL_STUBS_GRESOURCE   (inside a private session bus)
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

const [directoryPath, stubsPath] = ARGV;
const NAME = 'io.github.QuorrelCapture.Shell';
const PATH = '/io/github/QuorrelCapture/Shell';

Gio.resources_register(Gio.Resource.load(stubsPath));

// The shell's global object with no windows; it records who watches the stage and the display.
const watched = new Set();
function signalSource(name) {
    return {
        connect: signal => {
            watched.add(`${name} ${signal}`);
            return watched.size;
        },
        disconnect: () => watched.clear(),
        sort_windows_by_stacking: windows => windows,
    };
}
// Its work area leaves a 32-pixel panel out of the 1440 x 900 monitor.
const display = Object.assign(signalSource('display'), {get_primary_monitor: () => 0});
const workspaceManager = {
    get_active_workspace: () => ({get_work_area_for_monitor: () => ({x: 0, y: 32, width: 1440, height: 868})}),
};
globalThis.global = {stage: signalSource('stage'), display, workspace_manager: workspaceManager,
    get_window_actors: () => []};

let failures = 0;
function check(what, ok) {
    print(`${ok ? 'ok' : 'FAIL'}: ${what}`);
    failures += ok ? 0 : 1;
}

const loop = new GLib.MainLoop(null, false);
const bus = Gio.DBus.session;
function call(method, parameters = null, iface = NAME) {
    return new Promise((resolve, reject) => bus.call(NAME, PATH, iface, method, parameters, null,
        Gio.DBusCallFlags.NONE, 5000, null, (connection, result) => {
            try {
                resolve(connection.call_finish(result).deepUnpack());
            } catch (error) {
                reject(error);
            }
        }));
}
function nameOwned() {
    const [owned] = bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
        'NameHasOwner', new GLib.Variant('(s)', [NAME]), null, Gio.DBusCallFlags.NONE, 5000, null).deepUnpack();
    return owned;
}
function settle() {
    return new Promise(resolve => GLib.timeout_add(GLib.PRIORITY_DEFAULT, 200, () => resolve() ?? false));
}

async function main() {
    const directory = Gio.File.new_for_path(directoryPath);
    const {default: Entry} = await import(directory.get_child('extension.js').get_uri());
    check('extension.js is an ES module whose default export is the entry class', typeof Entry === 'function');
    const extension = new Entry({uuid: 'quorrel-capture@quorrel-capture.github.io', dir: directory,
        path: directoryPath});
    extension.enable();
    await settle();
    check('enabling it puts its service on the session bus', nameOwned());
    const [windows] = await call('ListWindows');
    check(`ListWindows answers (${JSON.stringify(windows)})`, Array.isArray(windows) && windows.length === 0);
    const [version] = await call('Get', new GLib.Variant('(ss)', [NAME, 'Version']),
        'org.freedesktop.DBus.Properties');
    check(`its Version is 2 (${version.deepUnpack()})`, version.deepUnpack() === 2);
    const [area] = await call('Get', new GLib.Variant('(ss)', [NAME, 'WorkArea']), 'org.freedesktop.DBus.Properties');
    check(`its WorkArea is the shell's (${area.deepUnpack()})`, area.deepUnpack().join() === '0,32,1440,868');
    check('nothing is watched before a client subscribes', watched.size === 0);
    await call('SubscribePointerPresses');
    check(`a subscription watches the stage and the windows (${[...watched]})`,
        watched.has('stage captured-event') && watched.has('display window-created'));
    await call('UnsubscribePointerPresses');
    check('the last unsubscription stops watching', watched.size === 0);
    extension.disable();
    await settle();
    check('disabling it takes the service away', !nameOwned());
}

main().catch(error => {
    check(`the entry loads and runs: ${error}\n${error.stack}`, false);
}).finally(() => loop.quit());
loop.run();
if (failures) {
    printerr(`${failures} check(s) failed`);
    imports.system.exit(1);
}
print('all checks passed');
