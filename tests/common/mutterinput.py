#!/usr/bin/python3
# Real pointer input for a mutter Wayland session, through its remote-desktop
# interface on the session bus. One session for the whole run: mutter ends a
# session's virtual devices when its client goes, so this stays up and reads
# commands, one a line, answering each with "ok" or "error <text>":
#   to X Y            pointer to X,Y (pinned to the top-left corner first)
#   move DX DY        relative motion
#   press | release   left button
#   click | double    left button, once or twice
#   sleep MS
import sys
import time

import gi
gi.require_version('Gio', '2.0')
from gi.repository import Gio, GLib

BTN_LEFT = 0x110


def call(bus, path, interface, method, args=None, reply=None):
    return bus.call_sync('org.gnome.Mutter.RemoteDesktop', path, interface, method, args,
                         GLib.VariantType(reply) if reply else None, Gio.DBusCallFlags.NONE, 5000, None)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    session = call(bus, '/org/gnome/Mutter/RemoteDesktop', 'org.gnome.Mutter.RemoteDesktop',
                   'CreateSession', None, '(o)').unpack()[0]
    iface = 'org.gnome.Mutter.RemoteDesktop.Session'
    call(bus, session, iface, 'Start')

    def motion(dx, dy):
        call(bus, session, iface, 'NotifyPointerMotionRelative', GLib.Variant('(dd)', (float(dx), float(dy))))

    def button(pressed):
        call(bus, session, iface, 'NotifyPointerButton', GLib.Variant('(ib)', (BTN_LEFT, pressed)))

    def click():
        button(True)
        time.sleep(0.03)
        button(False)

    print('ready', flush=True)
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            command, args = words[0], [int(w) for w in words[1:]]
            if command == 'to':
                # Larger than any screen: mutter keeps the pointer on the monitor.
                motion(-100000, -100000)
                motion(args[0], args[1])
            elif command == 'move':
                motion(args[0], args[1])
            elif command == 'press':
                button(True)
            elif command == 'release':
                button(False)
            elif command == 'click':
                click()
            elif command == 'double':
                click()
                time.sleep(0.08)
                click()
            elif command == 'sleep':
                time.sleep(args[0] / 1000.0)
            else:
                raise ValueError('unknown command ' + command)
            # A round trip, so that mutter has taken every event when "ok" comes.
            bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus.Peer', 'Ping',
                          None, None, Gio.DBusCallFlags.NONE, 5000, None)
            print('ok', flush=True)
        except Exception as error:  # keep serving: the test reads the reason
            print('error', str(error).replace('\n', ' '), flush=True)
    call(bus, session, iface, 'Stop')


main()
