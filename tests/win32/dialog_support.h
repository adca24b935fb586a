// Driving the real dialogs in-process under Wine: the program's run on the
// test thread and a driver thread working its window, real folder trees, real
// drop handles, and reading controls.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// How long any wait may take before the test gives up: generous, for slow
// machines, and never the normal course of a test.
constexpr DWORD wait_limit_ms = 60000;

// Polls `done` (about every 10 ms) until it is true or the wait limit passes;
// returns its last answer.
bool wait_until(const std::function<bool()>& done);

// Runs the program's whole start-up and main window on this thread with
// `command_line`, while `drive` works the window from a second thread. When
// `drive` returns and the window is still open, Quit is posted to it. Returns
// the exit code; the window handle `drive` got is in `window` afterwards.
int run_with_driver(const std::string& command_line, const std::function<void(HWND)>& drive);

// Text of a window or of a dialog control (asked from any thread).
std::string window_text(HWND window);
std::string control_text(HWND dialog, int control);

// A drop handle as the shell makes one, of UTF-8 paths (the program's own
// make_drop: a DROPFILES header and the paths in UTF-16).
HDROP make_hdrop(const std::vector<std::string>& paths);

// A folder under the temporary folder, removed with everything in it at the
// end. Paths use backslashes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "\\" + relative; }
    void folder(const std::string& relative);
    void file(const std::string& relative, uint32_t size, bool read_only = false);

private:
    std::string root_;
};

// The counts of a tree, as the four result fields must show them.
struct Expected {
    std::string files, folders, size, path;
    bool operator==(const Expected&) const = default;
};
void PrintTo(const Expected& texts, std::ostream* out);

// One fixed tree of 4 files (one read-only, 9,500 bytes) in 3 folders,
// `top` being the dropped folder: its result texts after `times` drops.
void make_sample_tree(TempFolder& temp, const std::string& top);
Expected sample_tree_texts(const std::string& top_path, unsigned times);

// The four result fields of the window.
Expected shown(HWND dialog);
