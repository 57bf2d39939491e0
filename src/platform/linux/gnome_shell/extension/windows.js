// The windows a person can switch to, as the tool sees them: their ids, processes, titles, applications and
// frames in screen coordinates, the top of the stack first; the window under a point of the screen; and the
// work area windows are placed in.
// The shell's modules come in `shell` ({Meta, Shell, global}), so that this file is the same for every
// shell version.

import GLib from 'gi://GLib';

// Normal windows, dialogs and utility windows; never menus, tooltips, the desktop or the shell's own parts.
function isListed(shell, window) {
    if (window.is_override_redirect())
        return false;
    const {WindowType} = shell.Meta;
    return [WindowType.NORMAL, WindowType.DIALOG, WindowType.MODAL_DIALOG, WindowType.UTILITY]
        .includes(window.get_window_type());
}

function rectangle(rect) {
    return new GLib.Variant('(iiii)', [rect.x, rect.y, rect.width, rect.height]);
}

// The listed windows, the top of the stack first; a window the client has not shown yet has no frame and
// is left out.
export function listedWindows(shell) {
    const windows = shell.global.get_window_actors()
        .map(actor => actor.get_meta_window())
        .filter(window => window && isListed(shell, window) && window.get_frame_rect().width > 0);
    return shell.global.display.sort_windows_by_stacking(windows).reverse();
}

export function findWindow(shell, id) {
    return listedWindows(shell).find(window => window.get_id() === id) ?? null;
}

// One window as a dictionary of variants (the keys ListWindows documents).
export function describeWindow(shell, window) {
    const app = shell.Shell.WindowTracker.get_default().get_window_app(window);
    const wayland = window.get_client_type() === shell.Meta.WindowClientType.WAYLAND;
    return {
        'id': new GLib.Variant('t', window.get_id()),
        'pid': new GLib.Variant('i', Math.max(0, window.get_pid())),
        'title': new GLib.Variant('s', window.get_title() ?? ''),
        'app-id': new GLib.Variant('s', app?.get_id() ?? ''),
        'wm-class': new GLib.Variant('s', window.get_wm_class() ?? ''),
        'client-type': new GLib.Variant('s', wayland ? 'wayland' : 'x11'),
        'frame': rectangle(window.get_frame_rect()),
        'buffer-frame': rectangle(window.get_buffer_rect()),
        'focused': new GLib.Variant('b', window.has_focus()),
        'minimized': new GLib.Variant('b', window.minimized),
    };
}

// The listed window whose actor holds `actor` (the actor an event went to), or null: a press on the shell's
// panel, the overview or the desktop went to no window.
export function windowOfActor(shell, actor) {
    for (let current = actor; current; current = current.get_parent()) {
        if (current instanceof shell.Meta.WindowActor)
            return listedWindowOf(shell, current.get_meta_window());
    }
    return null;
}

// The listed window a window belongs to: itself, or for a menu or popup the window it was opened from.
export function listedWindowOf(shell, window) {
    for (let current = window; current; current = current.get_transient_for()) {
        if (isListed(shell, current))
            return current;
    }
    return null;
}

// The part of the primary monitor that windows may use, without the shell's panel: [x, y, width, height].
export function workArea(shell) {
    const {global} = shell;
    const area = global.workspace_manager.get_active_workspace()
        .get_work_area_for_monitor(global.display.get_primary_monitor());
    return [area.x, area.y, area.width, area.height];
}

// Gives the window the frame asked for; a maximized or full-screen window is restored first, since mutter
// keeps such a window's size.
export function placeWindow(shell, window, x, y, width, height) {
    if (window.is_fullscreen())
        window.unmake_fullscreen();
    if (window.get_maximized()) {
        try {
            window.unmaximize(shell.Meta.MaximizeFlags.BOTH);
        } catch {
            window.unmaximize();  // mutter 49 takes no flags
        }
    }
    window.move_resize_frame(false, x, y, width, height);
}
