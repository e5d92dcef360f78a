// FocusTrail's GNOME Shell extension, for GNOME 45 and later (an ES module; GNOME 42 to 44
// load the `imports` style source in ../42, which shares the service below word for word).
//
// GNOME Shell tells no ordinary client which window has the focus. This extension tells the
// agents that ask, and only them: a client calls Subscribe, and the Shell then sends that
// client alone (a signal with a destination, which the bus delivers to no one else) every
// change of the focused window; Get answers the state at once. A subscriber is forgotten when
// its name leaves the bus. No method changes anything in the Shell.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Shell from 'gi://Shell';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';  // the test copy activates windows through it
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

// ---- service: the same text in both sources ----
const OBJECT_PATH = '/org/quen/FocusTrail';
const INTERFACE_NAME = 'org.quen.FocusTrail1';
// The focused window: its id (stable while it exists; 0 for no window), title, WM class (a
// native client's app id), the desktop app id Shell.WindowTracker found ("" when it invented
// one for a window no desktop entry describes), the GTK application id, the sandboxed app id
// (Flatpak) and the process id (0 when unknown).
const FOCUS_ARGS = `
      <arg type="t" name="window"/>
      <arg type="s" name="title"/>
      <arg type="s" name="wmClass"/>
      <arg type="s" name="desktopAppId"/>
      <arg type="s" name="gtkApplicationId"/>
      <arg type="s" name="sandboxedAppId"/>
      <arg type="i" name="pid"/>`;
const INTERFACE_XML = `<node>
  <interface name="${INTERFACE_NAME}">
    <method name="Subscribe"/>
    <method name="Get">${FOCUS_ARGS.replace(/<arg /g, '<arg direction="out" ')}
    </method>
    <signal name="FocusChanged">${FOCUS_ARGS}
    </signal>
    <!-- test methods -->
  </interface>
</node>`;

class FocusService {
    constructor(interfaceXml) {
        this._subscribers = new Map();  // unique name -> its name watch
        this._window = null;
        this._windowSignals = [];
        this._object = Gio.DBusExportedObject.wrapJSObject(interfaceXml, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._focusSignal = global.display.connect('notify::focus-window', () => this._follow());
        this._follow();
    }

    destroy() {
        global.display.disconnect(this._focusSignal);
        this._watchWindow(null);
        for (const watch of this._subscribers.values())
            Gio.bus_unwatch_name(watch);
        this._subscribers.clear();
        this._object.unexport();
    }

    SubscribeAsync(parameters, invocation) {
        const sender = invocation.get_sender();
        if (!this._subscribers.has(sender)) {
            this._subscribers.set(sender, Gio.bus_watch_name_on_connection(
                Gio.DBus.session, sender, Gio.BusNameWatcherFlags.NONE, null,
                () => this._unsubscribe(sender)));
        }
        invocation.return_value(null);
    }

    GetAsync(parameters, invocation) {
        invocation.return_value(this._focus());
    }

    // test methods

    _unsubscribe(name) {
        const watch = this._subscribers.get(name);
        if (watch === undefined)
            return;
        Gio.bus_unwatch_name(watch);
        this._subscribers.delete(name);
    }

    _follow() {
        this._watchWindow(global.display.focus_window);
        this._send();
    }

    _watchWindow(window) {
        for (const id of this._windowSignals)
            this._window.disconnect(id);
        this._window = window;
        this._windowSignals = window
            ? ['notify::title', 'notify::wm-class'].map(name => window.connect(name, () => this._send()))
            : [];
    }

    _focus() {
        const window = this._window;
        if (!window)
            return new GLib.Variant('(tsssssi)', [0, '', '', '', '', '', 0]);
        const app = Shell.WindowTracker.get_default().get_window_app(window);
        const desktopAppId = app && !app.is_window_backed() ? app.get_id() ?? '' : '';
        return new GLib.Variant('(tsssssi)', [
            window.get_id(), window.get_title() ?? '', window.get_wm_class() ?? '', desktopAppId,
            window.get_gtk_application_id() ?? '', window.get_sandboxed_app_id() ?? '',
            Math.max(window.get_pid(), 0),
        ]);
    }

    _send() {
        if (this._subscribers.size === 0)
            return;
        const focus = this._focus();
        for (const name of this._subscribers.keys())
            Gio.DBus.session.emit_signal(name, OBJECT_PATH, INTERFACE_NAME, 'FocusChanged', focus);
    }
}
// ---- end of the service ----

export default class FocusTrailExtension extends Extension {
    enable() {
        this._service = new FocusService(INTERFACE_XML);
    }

    disable() {
        this._service?.destroy();
        this._service = null;
    }
}
