#!/usr/bin/python3
"""Reads an application's tree on the accessibility bus, independently of the tool.

  atspi_check.py PROGRAM text          the texts of PROGRAM's text areas and labels, one a line
  atspi_check.py PROGRAM window        the title, width and height of its first showing window
"""
import sys

import pyatspi


def walk(node, depth=0):
    yield node
    if depth < 40:
        for child in node:
            if child is not None:
                yield from walk(child, depth + 1)


def application(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    sys.exit(f"no application {name} on the accessibility bus")


app = application(sys.argv[1])
if sys.argv[2] == "text":
    for node in walk(app):
        if node.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_LABEL, pyatspi.ROLE_EDITBAR, pyatspi.ROLE_ENTRY):
            try:
                text = node.queryText()
                print(text.getText(0, text.characterCount))
            except NotImplementedError:
                pass
else:
    for window in app:
        if window.getState().contains(pyatspi.STATE_SHOWING):
            extents = window.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
            print(window.name, extents.width, extents.height)
            break
