// The user's pointer presses, told only to the bus clients that asked for them; keys are never looked at.
//
// A press on a window never reaches the shell's stage: mutter hands it to the client from its own event
// filter, before the shell's handlers. There it first marks the window's user time (on a button press or a
// key press), so a window's 'notify::user-time', with the event being handled, tells a press on a window.
// A press on the shell's own parts (the panel, the overview, the desktop) goes through the stage, whose
// 'captured-event' tells it.

import GLib from 'gi://GLib';
import Gio from 'gi://Gio';

import {listedWindowOf, windowOfActor} from './windows.js';

// Clutter numbers a press's time in milliseconds of the monotonic clock, in 32 bits; it is extended to the
// microseconds of that clock (g_get_monotonic_time) from the time it is handled, a few milliseconds later.
function monotonicMicroseconds(eventMilliseconds) {
    const now = GLib.get_monotonic_time();
    const elapsedMilliseconds = ((Math.floor(now / 1000) - eventMilliseconds) % 2 ** 32 + 2 ** 32) % 2 ** 32;
    return elapsedMilliseconds < 10000 ? now - elapsedMilliseconds * 1000 : now;
}

export class PointerPresses {
    // `emit(destination, time, x, y, button, windowId)` sends the signal to one client.
    constructor(shell, connection, emit) {
        this._shell = shell;
        this._connection = connection;
        this._emit = emit;
        this._subscribers = new Map();  // unique bus name -> name watch id
        this._windowHandlers = new Map();  // Meta.Window -> [user-time handler, unmanaged handler]
        this._handlers = [];  // [object, handler id] of the stage and the display
        this._lastPress = null;
    }

    subscribe(client) {
        if (this._subscribers.has(client))
            return;
        // A client that leaves the bus (it ended, or crashed) is dropped.
        const watch = Gio.bus_watch_name_on_connection(this._connection, client, Gio.BusNameWatcherFlags.NONE,
            null, () => this.unsubscribe(client));
        this._subscribers.set(client, watch);
        if (this._subscribers.size === 1)
            this._startWatching();
    }

    unsubscribe(client) {
        const watch = this._subscribers.get(client);
        if (watch === undefined)
            return;
        Gio.bus_unwatch_name(watch);
        this._subscribers.delete(client);
        if (!this._subscribers.size)
            this._stopWatching();
    }

    destroy() {
        for (const client of [...this._subscribers.keys()])
            this.unsubscribe(client);
    }

    _startWatching() {
        const {global} = this._shell;
        this._handlers = [
            [global.stage, global.stage.connect('captured-event', (_stage, event) => this._onStageEvent(event))],
            [global.display, global.display.connect('window-created', (_display, window) => this._watch(window))],
        ];
        for (const actor of global.get_window_actors())
            this._watch(actor.get_meta_window());
    }

    _stopWatching() {
        for (const [object, id] of this._handlers)
            object.disconnect(id);
        this._handlers = [];
        for (const [window, ids] of this._windowHandlers)
            ids.forEach(id => window.disconnect(id));
        this._windowHandlers.clear();
    }

    _watch(window) {
        if (!window || this._windowHandlers.has(window))
            return;
        this._windowHandlers.set(window, [
            window.connect('notify::user-time', () => this._onWindowInput(window)),
            window.connect('unmanaged', () => {
                this._windowHandlers.get(window)?.forEach(id => window.disconnect(id));
                this._windowHandlers.delete(window);
            }),
        ]);
    }

    _onWindowInput(window) {
        const event = this._shell.Clutter.get_current_event();
        if (event && event.type() === this._shell.Clutter.EventType.BUTTON_PRESS)
            this._tell(event, listedWindowOf(this._shell, window));
    }

    _onStageEvent(event) {
        const {Clutter, Main} = this._shell;
        if (event.type() === Clutter.EventType.BUTTON_PRESS)
            this._tell(event, Main.overview.visible ? null : windowOfActor(this._shell, event.get_source()));
        return Clutter.EVENT_PROPAGATE;
    }

    _tell(event, window) {
        const [x, y] = event.get_coords();
        const press = `${event.get_time()} ${x} ${y} ${event.get_button()}`;
        if (press === this._lastPress)  // one press seen by both routes
            return;
        this._lastPress = press;
        const time = monotonicMicroseconds(event.get_time());
        for (const client of this._subscribers.keys())
            this._emit(client, time, x, y, event.get_button(), window ? window.get_id() : 0);
    }
}
