// Stands in for GNOME Shell 45's extensions/extension.js: the base class of an extension's entry.
export class Extension {
    constructor(metadata) {
        this.metadata = metadata;
    }

    get uuid() {
        return this.metadata.uuid;
    }

    get dir() {
        return this.metadata.dir;
    }
}
