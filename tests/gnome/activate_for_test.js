    // Test copy only: brings the window titled `title` forward as a user would (which also
    // leaves the overview the Shell starts in). A window exists, titled, before its first frame
    // shows it, and the Shell decides on the focus again when it does: so only a shown window
    // is activated, and the call succeeds once that window has the focus. Returns that, and the
    // monotonic time (µs) just before the Shell switched, for the push-latency measurement.
    ActivateForTest(title) {
        const window = global.get_window_actors().map(actor => actor.meta_window)
            .find(candidate => candidate.get_title() === title && !candidate.is_hidden());
        const switchedAt = GLib.get_monotonic_time();
        if (window)
            Main.activateWindow(window, global.display.get_current_time_roundtrip());
        return [window !== undefined && global.display.focus_window === window, switchedAt];
    }
