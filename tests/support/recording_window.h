// A main window for tests that records every write made through it, and
// every progress text as a write to the status line.
#pragma once

#include <string>
#include <vector>

#include "core/window_port.h"

struct WindowEvent {
    enum Kind { text, enabled, disabled } kind;
    int control;
    std::string value;  // the text, for `text`
    bool operator==(const WindowEvent&) const = default;
};

// Stored as the main window on creation and removed on destruction.
class RecordingWindow {
public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    std::vector<WindowEvent> events() const;
    // The last text written to `control`, or "" if none.
    std::string text(int control) const;
    void clear();

private:
    WindowPort window_;
};

// Runs a drop of `paths` through a worker and waits until it has finished.
void run_drop(const std::vector<std::string>& paths);
