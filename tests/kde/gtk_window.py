# A native Wayland window for the KDE tests (foot dies on KWin's virtual output): GTK 3,
# its app id the program name set here, its title as given. Each line read from the FIFO
# becomes the title; "mapped" is written once the window is shown.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

app_id, title, fifo = sys.argv[1:4]
GLib.set_prgname(app_id)
window = Gtk.Window(title=title)
window.set_default_size(320, 200)
window.connect("destroy", Gtk.main_quit)
window.connect("map-event", lambda *_: print("mapped", flush=True))
source = open(fifo)


def retitle(*_):
    line = source.readline()
    if not line:
        Gtk.main_quit()
        return False
    window.set_title(line.rstrip("\n"))
    return True


GLib.io_add_watch(source, GLib.IO_IN | GLib.IO_HUP, retitle)
window.show_all()
Gtk.main()
