# Drives GNOME's input for the InputTrail test as a remote-desktop client does: one
# org.gnome.Mutter.RemoteDesktop session (Mutter takes its input only from the connection that
# made it), started, then for each line read from the FIFO named first, "move" (relative
# pointer motion) or "key" (the a key pressed and released); "ready" and then "done" after
# each are written once Mutter has taken the calls.
import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"


def call(path, interface, method, arguments=None):
    return bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method, arguments,
                         None, Gio.DBusCallFlags.NONE, 5000, None)


session = call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
               "CreateSession").unpack()[0]
call(session, SESSION, "Start")
print("ready", flush=True)
for line in open(sys.argv[1]):
    if line.strip() == "move":
        call(session, SESSION, "NotifyPointerMotionRelative", GLib.Variant("(dd)", (10.0, 10.0)))
    else:
        for pressed in (True, False):
            call(session, SESSION, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (0x61, pressed)))
    print("done", flush=True)
