    // Test copy only: brings the window titled `title` forward as a user would (which also
    // leaves the overview the Shell starts in). Returns whether one was found, and the
    // monotonic time (µs) just before the Shell switched, for the push-latency measurement.
    ActivateForTest(title) {
        const window = global.get_window_actors().map(actor => actor.meta_window)
            .find(candidate => candidate.get_title() === title);
        const switchedAt = GLib.get_monotonic_time();
        if (window)
            Main.activateWindow(window, global.display.get_current_time_roundtrip());
        return [window !== undefined, switchedAt];
    }
