// The entry GNOME Shell 45 and later load, installed as extension.js (an ES module).
import Clutter from 'gi://Clutter';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {ShellService} from './service.js';

export default class QuorrelCaptureExtension extends Extension {
    enable() {
        this._service = new ShellService({Main, Meta, Shell, Clutter, global}, this.dir);
    }

    disable() {
        this._service?.destroy();
        this._service = null;
    }
}
