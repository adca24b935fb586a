// Keeping a window above the others, changed in place: the window is never
// made anew, so it keeps its id, its focus, its place in the taskbar and on
// every desktop it is shown on.
#pragma once

class QWidget;

enum class KeepAbove {
    asked_of_window_manager,  // X11: the window manager keeps it above
    flag_only,                // Qt's flag is all there is (the offscreen platform)
    impossible,               // native Wayland: no window can keep itself above
};

KeepAbove keep_above_support();

// Sets or clears `window`'s wish to stay above the others: Qt's flag on the
// widget, which Qt reads when it makes the native window, and on X11 the
// window manager's state of the native window while it is shown.
void keep_above(QWidget* window, bool above);
