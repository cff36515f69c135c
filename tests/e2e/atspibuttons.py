#!/usr/bin/python3
"""Reads and presses push buttons of the desktop's programs the way a screen
reader does: over the accessibility bus, through libatspi (pyatspi).

Needs Debian's /usr/bin/python3 (gi and pyatspi are Debian packages) and the
session bus in DBUS_SESSION_BUS_ADDRESS.

  atspibuttons.py enable            turn accessibility on, as a screen reader does
  atspibuttons.py read              JSON: every program, its windows and their buttons
  atspibuttons.py press WINDOW NAME press the button NAME of the window WINDOW

Web documents inside a window are left out: their buttons belong to the page,
not to the program, and walking a browser's tree is slow.
"""

import json
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

import pyatspi  # noqa: E402

SKIPPED_ROLES = {
    pyatspi.ROLE_DOCUMENT_WEB,
    pyatspi.ROLE_DOCUMENT_FRAME,
    pyatspi.ROLE_EMBEDDED,
}
# Deep enough for any widget tree of the program, finite for a broken one.
MAX_DEPTH = 40


def enable():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    # The bus launcher is activated by this call; programs that watch for it
    # then see a screen reader at work and open their accessibility bridge.
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled", GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 10000, None)
    address = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                            GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 10000, None)
    print(address.unpack()[0])


def buttons_under(node, depth=0):
    found = []
    if node is None or depth > MAX_DEPTH:
        return found
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is None:
            continue
        role = child.getRole()
        if role in SKIPPED_ROLES:
            continue
        if role == pyatspi.ROLE_PUSH_BUTTON:
            found.append(child)
        found.extend(buttons_under(child, depth + 1))
    return found


def states(node):
    state_set = node.getState()
    names = []
    for state, name in ((pyatspi.STATE_SHOWING, "showing"), (pyatspi.STATE_VISIBLE, "visible"),
                        (pyatspi.STATE_ENABLED, "enabled"), (pyatspi.STATE_SENSITIVE, "sensitive"),
                        (pyatspi.STATE_FOCUSABLE, "focusable")):
        if state_set.contains(state):
            names.append(name)
    return names


def windows():
    desktop = pyatspi.Registry.getDesktop(0)
    for app_index in range(desktop.childCount):
        app = desktop.getChildAtIndex(app_index)
        if app is None:
            continue
        for window_index in range(app.childCount):
            window = app.getChildAtIndex(window_index)
            if window is not None:
                yield app, window


def read():
    programs = {}
    for app, window in windows():
        entry = programs.setdefault(app.name, {"name": app.name, "pid": app.get_process_id(), "windows": []})
        entry["windows"].append({
            "name": window.name,
            "role": window.getRoleName(),
            "buttons": [{"name": button.name, "description": button.description, "states": states(button)}
                        for button in buttons_under(window)],
        })
    print(json.dumps({"programs": list(programs.values())}, ensure_ascii=False))


def press(window_name, button_name):
    for _app, window in windows():
        if window.name != window_name:
            continue
        for button in buttons_under(window):
            if button.name != button_name:
                continue
            action = button.queryAction()
            for index in range(action.nActions):
                if action.getName(index) in ("Press", "press", "click"):
                    return action.doAction(index)
            return action.nActions > 0 and action.doAction(0)
    return False


def main(arguments):
    if arguments[:1] == ["enable"]:
        enable()
        return 0
    if arguments[:1] == ["read"]:
        read()
        return 0
    if arguments[:1] == ["press"] and len(arguments) == 3:
        return 0 if press(arguments[1], arguments[2]) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
