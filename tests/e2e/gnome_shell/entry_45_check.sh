#!/usr/bin/env bash
# Checks the extension's entry for GNOME Shell 45 and later, which this machine's shell cannot load: lays the
# extension out for 45, builds the stand-ins for the shell's modules, and runs entry_45_check.js with gjs
# on a private session bus, with the shell's own typelibs (Clutter, Meta, Shell) of this machine.
#
#   entry_45_check.sh SOURCE_DIRECTORY
set -euo pipefail

source=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/qc-entry-45.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$source/scripts/gnome-shell-extension" "$work/extension" 45
glib-compile-resources --sourcedir "$here/shell_stubs" --target "$work/shell_stubs.gresource" \
  "$here/shell_stubs/shell_stubs.gresource.xml"
# mutter's typelibs and libraries live in a folder of their own (mutter-11 for GNOME 43), the shell's in
# its library folder.
mutter_dir=$(dirname "$(ls -d /usr/lib/*/mutter-*/Meta-*.typelib | sort -V | tail -n1)")
export GI_TYPELIB_PATH=$mutter_dir:/usr/lib/gnome-shell${GI_TYPELIB_PATH:+:$GI_TYPELIB_PATH}
export LD_LIBRARY_PATH=$mutter_dir:/usr/lib/gnome-shell${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
dbus-run-session -- gjs -m "$here/entry_45_check.js" "$work/extension" "$work/shell_stubs.gresource"
