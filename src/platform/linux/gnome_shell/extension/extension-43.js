/* exported init */
// The entry GNOME Shell 43 and 44 load, installed as extension.js: the shell's modules come through the
// legacy imports, and the shared code, ES modules, is imported when the extension is enabled.
const {Clutter, Meta, Shell} = imports.gi;
const Main = imports.ui.main;
const ExtensionUtils = imports.misc.extensionUtils;

class QuorrelCaptureExtension {
    constructor(directory) {
        this._directory = directory;
        this._service = null;
        this._enabled = false;
    }

    enable() {
        this._enabled = true;
        import(this._directory.get_child('service.js').get_uri()).then(({ShellService}) => {
            // Disabled, or enabled again, while the modules loaded.
            if (this._enabled && !this._service)
                this._service = new ShellService({Main, Meta, Shell, Clutter, global}, this._directory);
        }).catch(error => logError(error, 'quorrel-capture'));
    }

    disable() {
        this._enabled = false;
        this._service?.destroy();
        this._service = null;
    }
}

function init() {
    return new QuorrelCaptureExtension(ExtensionUtils.getCurrentExtension().dir);
}
