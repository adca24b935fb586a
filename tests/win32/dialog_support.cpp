// The in-process driver, temporary trees, drop handles and control reading
// for the dialog tests.
#include "tests/win32/dialog_support.h"

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "resources/control_ids.h"
#include "shell/win32/main_window.h"
#include "shell/win32/winmain.h"
#include "text/number_format.h"

bool wait_until(const std::function<bool()>& done)
{
    const ULONGLONG limit = GetTickCount64() + wait_limit_ms;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() > limit) return false;
        Sleep(10);
    }
}

namespace {

BOOL CALLBACK cancel_other_dialog(HWND window, LPARAM main)
{
    if (window != reinterpret_cast<HWND>(main)) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

int run_with_driver(const std::string& command_line, const std::function<void(HWND)>& drive)
{
    std::thread driver([&drive] {
        HWND window = nullptr;
        // Stored first thing at creation; accepting drops is the last step.
        const bool opened = wait_until([&window] {
            window = main_window_handle.load();
            return window != nullptr && IsWindowVisible(window) &&
                   (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
        });
        EXPECT_TRUE(opened) << "the main window did not open";
        if (!opened) return;
        drive(window);
        if (main_window_handle.load() != window) return;
        // Still open (the driver stopped early): cancel any dialog over the
        // window, then quit.
        EnumThreadWindows(GetWindowThreadProcessId(window, nullptr), cancel_other_dialog,
                          reinterpret_cast<LPARAM>(window));
        PostMessageA(window, WM_COMMAND, IDC_QUIT_BUTTON, 0);
    });
    const int code = run_program(GetModuleHandleA(nullptr), command_line.c_str());
    driver.join();
    return code;
}

std::string window_text(HWND window)
{
    // Sent, not read from the window record: that works for the controls of
    // another process too.
    char text[1024] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string control_text(HWND dialog, int control)
{
    return window_text(GetDlgItem(dialog, control));
}

HDROP make_hdrop(const std::vector<std::string>& paths)
{
    std::vector<const char*> texts;
    for (const std::string& path : paths) texts.push_back(path.c_str());
    return reinterpret_cast<HDROP>(make_drop(texts.data(), static_cast<uint32_t>(texts.size())));
}

namespace {

void remove_tree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }
    RemoveDirectoryA(path.c_str());
}

std::atomic<unsigned> folders_made{0};

}  // namespace

TempFolder::TempFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    // The long form: the window shows the path as it is dropped.
    char long_temp[MAX_PATH];
    const DWORD long_len = GetLongPathNameA(temp, long_temp, sizeof long_temp);
    std::string base = long_len != 0 && long_len < sizeof long_temp ? long_temp : temp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    root_ = base + "\\heapwise-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(folders_made++);
    remove_tree(root_);
    EXPECT_TRUE(CreateDirectoryA(root_.c_str(), nullptr)) << root_;
}

TempFolder::~TempFolder()
{
    remove_tree(root_);
}

void TempFolder::folder(const std::string& relative)
{
    EXPECT_TRUE(CreateDirectoryA(path(relative).c_str(), nullptr)) << relative;
}

void TempFolder::file(const std::string& relative, uint32_t size, bool read_only)
{
    HANDLE file = CreateFileA(path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
    const std::string bytes(size, 'x');
    DWORD written = 0;
    EXPECT_TRUE(size == 0 || WriteFile(file, bytes.data(), size, &written, nullptr));
    EXPECT_EQ(written, size);
    CloseHandle(file);
    if (read_only) {
        EXPECT_TRUE(SetFileAttributesA(path(relative).c_str(), FILE_ATTRIBUTE_READONLY));
    }
}

void make_sample_tree(TempFolder& temp, const std::string& top)
{
    temp.folder(top);
    temp.file(top + "\\a.txt", 1000);
    temp.file(top + "\\b.txt", 2500);
    temp.folder(top + "\\sub");
    temp.file(top + "\\sub\\c.bin", 6000);
    temp.folder(top + "\\sub\\deeper");
    temp.file(top + "\\sub\\deeper\\d.txt", 0, true);
}

Expected sample_tree_texts(const std::string& top_path, unsigned times)
{
    const auto separators = static_cast<unsigned>(std::count(top_path.begin(), top_path.end(), '\\'));
    const std::string longest = "\\sub\\deeper\\d.txt";
    const std::string thousands = number_format.thousands;
    const std::string decimal = number_format.decimal;
    // 9,500 bytes a drop; the figure in KB is cut, never rounded.
    const uint64_t bytes = 9500ull * times;
    const uint64_t tenths = bytes * 10 / 1024;
    auto grouped = [thousands](uint64_t value) {
        std::string digits = std::to_string(value);
        for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
            digits.insert(static_cast<size_t>(at), thousands);
        return digits;
    };
    Expected expected;
    expected.files = std::to_string(4 * times) + "  (R)";
    expected.folders = std::to_string(3 * times) + "  (depth 3 / " + std::to_string(separators + 3) + ")";
    expected.size = grouped(bytes) + " bytes  (" + std::to_string(tenths / 10) + decimal +
                    std::to_string(tenths % 10) + " KB)";
    expected.path = std::to_string(longest.size()) + " / " + std::to_string(top_path.size() + longest.size());
    return expected;
}

void PrintTo(const Expected& texts, std::ostream* out)
{
    *out << '"' << texts.files << "\" \"" << texts.folders << "\" \"" << texts.size << "\" \"" << texts.path << '"';
}

Expected shown(HWND dialog)
{
    return {control_text(dialog, IDC_FILES_FIELD), control_text(dialog, IDC_FOLDERS_FIELD),
            control_text(dialog, IDC_SIZE_FIELD), control_text(dialog, IDC_PATH_FIELD)};
}
