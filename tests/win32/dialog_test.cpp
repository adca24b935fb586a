// The real main window and About box under Wine, driven in-process: both
// templates (controls, texts and styles as the one table of dialogs.h gives
// them; every text fits, labels line up with their fields, nothing overlaps,
// tab order follows the template), the tooltips, On Top, Reset, the ways out,
// IDOK, the About box, drops counted on workers (paths past MAX_PATH too), and
// start-up with path arguments, in-process and as heapwise.exe.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/scan_events.h"
#include "core/tally.h"
#include "core/threads.h"
#include "core/walk.h"
#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/dialog_templates.h"
#include "shell/win32/main_window.h"
#include "shell/win32/winmain.h"
#include "tests/support/scan_hold.h"
#include "tests/support/temp_tree.h"
#include "tests/win32/dialog_support.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

// The window class and the styles beyond child and visible that the resource
// script gives each kind of control.
struct ControlClass {
    const char* name;
    LONG styles;
};

ControlClass class_for(ControlKind kind)
{
    switch (kind) {
    case ControlKind::label: return {"Static", SS_RIGHT | SS_NOPREFIX | WS_GROUP};
    case ControlKind::field: return {"Edit", ES_READONLY | WS_BORDER | WS_TABSTOP};
    case ControlKind::check_box: return {"Button", BS_AUTOCHECKBOX | WS_TABSTOP};
    case ControlKind::push_button: return {"Button", BS_PUSHBUTTON | WS_TABSTOP};
    case ControlKind::default_button: return {"Button", BS_DEFPUSHBUTTON | WS_TABSTOP};
    case ControlKind::status_line: return {"Static", SS_SUNKEN | SS_NOPREFIX | WS_GROUP};
    case ControlKind::icon: return {"Static", SS_ICON};
    case ControlKind::right_text: return {"Static", SS_RIGHT | SS_NOPREFIX | WS_GROUP};
    case ControlKind::centred_text: return {"Static", SS_CENTER | SS_NOPREFIX | WS_GROUP};
    case ControlKind::rule: return {"Static", SS_SUNKEN};
    }
    return {"", 0};
}

constexpr LONG dialog_styles = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_3DLOOK;

std::string class_of(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A child's place in its dialog's client area, in pixels.
RECT place_of(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Every child of `dialog`, in template order, is the control the template
// names (id, class, text, styles), inside the dialog and clear of the others;
// each label stands left of the field it names, on that field's line.
void check_template(HWND dialog, const DialogTemplate& expected)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(children.size(), expected.controls.size());
    RECT client;
    GetClientRect(dialog, &client);
    for (size_t i = 0; i < children.size(); ++i) {
        const DialogControl& record = expected.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(record.id) + ")");
        const HWND child = children[i];
        const ControlClass wanted_class = class_for(record.kind);
        EXPECT_EQ(GetDlgCtrlID(child), record.id);
        EXPECT_EQ(lstrcmpiA(class_of(child).c_str(), wanted_class.name), 0) << class_of(child);
        // A field's text is the program's at once; an icon has none.
        if (record.kind != ControlKind::field && record.kind != ControlKind::icon) {
            EXPECT_EQ(window_text(child), record.text);
        }
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
        // The dialog manager draws a bordered edit sunken instead (3-D look).
        LONG wanted = wanted_class.styles;
        LONG got = style & ~(WS_CHILD | WS_VISIBLE);
        if (wanted & WS_BORDER) {
            EXPECT_TRUE((got & WS_BORDER) || (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
            wanted &= ~WS_BORDER;
            got &= ~WS_BORDER;
        }
        EXPECT_EQ(got, wanted) << std::hex << "style " << style;

        const RECT place = place_of(child);
        RECT inside;
        EXPECT_TRUE(IntersectRect(&inside, &place, &client) && EqualRect(&inside, &place)) << "outside the dialog";
        for (size_t k = i + 1; k < children.size(); ++k) {
            const RECT other = place_of(children[k]);
            RECT common;
            EXPECT_FALSE(IntersectRect(&common, &place, &other)) << "overlaps control " << k;
        }
        if (record.kind == ControlKind::label && i + 1 < children.size()) {
            const RECT field = place_of(children[i + 1]);
            const LONG middle = (place.top + place.bottom) / 2;
            EXPECT_LE(place.right, field.left) << "the label is not left of its field";
            EXPECT_TRUE(middle > field.top && middle < field.bottom) << "the label is off its field's line";
        }
    }
}

// Every text label of `dialog` shows its whole text in the dialog's font: no
// line is pushed out of its control by wrapping.
void check_texts_fit(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        const std::string text = window_text(child);
        if (class_of(child) != "Static" || (style & SS_TYPEMASK) == SS_ICON || text.empty()) continue;
        SCOPED_TRACE(text);
        RECT client;
        GetClientRect(child, &client);
        HDC dc = GetDC(child);
        const HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, client.right, 0};
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old_font);
        ReleaseDC(child, dc);
        // Measured in Wine's own fonts (fonts-wine); other fonts run wider.
        EXPECT_LE(needed.bottom, client.bottom) << "the text wraps past its control";
        EXPECT_LE(needed.right, client.right) << "a word is wider than its control";
    }
}

// Tab reaches the controls that have a tab stop in template order, from the
// first, and then the first again.
void check_tab_order(HWND dialog, const DialogTemplate& expected)
{
    std::vector<int> stops;
    for (const DialogControl& record : expected.controls)
        if (class_for(record.kind).styles & WS_TABSTOP) stops.push_back(record.id);
    ASSERT_FALSE(stops.empty());
    stops.push_back(stops.front());
    std::vector<int> reached;
    HWND at = GetNextDlgTabItem(dialog, nullptr, FALSE);
    for (size_t i = 0; i < stops.size() && at != nullptr; ++i) {
        reached.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(dialog, at, FALSE);
    }
    EXPECT_EQ(reached, stops);
}

// The dialog's title, class, styles and size are the template's.
void check_dialog_frame(HWND dialog, const DialogTemplate& expected)
{
    EXPECT_EQ(window_text(dialog), expected.title);
    EXPECT_EQ(class_of(dialog), "#32770");
    const LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(style & dialog_styles, dialog_styles) << std::hex << style;
    EXPECT_TRUE(IsWindowVisible(dialog));
    RECT client;
    GetClientRect(dialog, &client);
    RECT size = {0, 0, expected.width, expected.height};
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
}

bool topmost(HWND window)
{
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Presses a key on the control that has the focus in `dialog`'s thread, as
// the keyboard would.
// The control that has the keyboard focus in `dialog`'s thread, or null.
HWND focus_of(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

void press_key(HWND dialog, WPARAM key)
{
    const HWND focus = focus_of(dialog);
    const HWND target = focus != nullptr ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void click(HWND dialog, int control)
{
    PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

bool window_gone(HWND window)
{
    return wait_until([window] { return !IsWindow(window); });
}

// The texts the window shows for `counts`.
Expected texts_of(const Tally& counts)
{
    Expected texts;
    char text[summary_text_size];
    files_text(text, counts);
    texts.files = text;
    folders_text(text, counts);
    texts.folders = text;
    total_size_text(text, counts);
    texts.size = text;
    longest_path_text(text, counts);
    texts.path = text;
    return texts;
}

Expected zero_texts()
{
    return texts_of(Tally{});
}

// A path below the host's root as this program reaches it, under Z:.
std::string windows_path(std::string unix_path)
{
    for (char& c : unix_path)
        if (c == '/') c = '\\';
    return "Z:" + unix_path;
}

// The host-made tree of long paths (fs_win32_unix_tree.sh; HEAPWISE_UNIX_TREE
// names its folder as a host path), or empty when it was not made.
std::string long_tree()
{
    const char* host = std::getenv("HEAPWISE_UNIX_TREE");
    return host != nullptr ? windows_path(std::string(host) + "/long/top") : std::string();
}

// The texts for `paths`, counted directly on this thread.
Expected texts_counted_directly(const std::vector<std::string>& paths)
{
    reset_tally();
    for (const std::string& path : paths) scan_path(path);
    load_number_format();
    const Expected texts = texts_of(tally);
    reset_tally();
    return texts;
}

// The window has finished every request it was given: the fields show
// `texts`, Reset is enabled and the status line reads "Ready".
bool settles_on(HWND dialog, const Expected& texts)
{
    return wait_until([&] {
        return shown(dialog) == texts && IsWindowEnabled(GetDlgItem(dialog, IDC_RESET_BUTTON)) &&
               control_text(dialog, IDC_STATUS_LINE) == "Ready";
    });
}

struct DialogSearch {
    HWND main, found;
};

BOOL CALLBACK find_other_dialog(HWND window, LPARAM raw)
{
    auto* search = reinterpret_cast<DialogSearch*>(raw);
    if (window == search->main || class_of(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// The About box open over `main`, or null: the other dialog of its thread.
HWND find_about_box(HWND main)
{
    DialogSearch search = {main, nullptr};
    wait_until([&] {
        EnumThreadWindows(GetWindowThreadProcessId(main, nullptr), find_other_dialog,
                          reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

// ShellExecuteA as the About box calls it, recorded instead of opening a browser.
struct ShellCall {
    HWND owner;
    std::string verb, file;
    bool parameters, directory;
    int show;
};
std::vector<ShellCall> shell_calls;

HINSTANCE WINAPI record_shell_execute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                      LPCSTR directory, INT show)
{
    shell_calls.push_back({owner, verb ? verb : "", file ? file : "", parameters != nullptr,
                           directory != nullptr, show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
}

// Points this program's import of `function` from `dll` at `replacement`;
// returns what it pointed at.
void* replace_import(const char* dll, const char* function, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + module->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* named = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(named->Name), function) != 0) continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

const std::string program_line = "\"C:\\Program Files\\Heapwise\\heapwise.exe\"";

TEST(MainWindow, ShowsTheTemplateWithZeroTextsAndReady)
{
    const int code = run_with_driver(program_line, [](HWND dialog) {
        check_dialog_frame(dialog, main_window_template);
        check_template(dialog, main_window_template);
        check_texts_fit(dialog);
        check_tab_order(dialog, main_window_template);
        EXPECT_EQ(shown(dialog), zero_texts());
        EXPECT_EQ(control_text(dialog, IDC_FILES_FIELD), "0");
        EXPECT_EQ(control_text(dialog, IDC_STATUS_LINE), "Ready");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_RESET_BUTTON)));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ON_TOP_CHECK), BST_CHECKED);
        EXPECT_TRUE(topmost(dialog));
        EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        EXPECT_EQ(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0);
        // No default button: none of the push buttons is drawn as one.
        for (int id : {IDC_ABOUT_BUTTON, IDC_RESET_BUTTON, IDC_QUIT_BUTTON})
            EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & BS_DEFPUSHBUTTON, 0) << id;
    });
    EXPECT_EQ(code, 0);
}

// Each control of the tooltip table has its tooltip, registered in the
// table's order.
TEST(MainWindow, RegistersTheTooltipsOfTheTableInOrder)
{
    run_with_driver(program_line, [](HWND dialog) {
        ASSERT_NE(tooltip_window, nullptr);
        EXPECT_TRUE(topmost(tooltip_window));
        EXPECT_TRUE(GetWindowLongA(tooltip_window, GWL_STYLE) & TTS_ALWAYSTIP);
        const auto count = static_cast<LRESULT>(std::size(main_window_tooltips));
        ASSERT_EQ(SendMessageA(tooltip_window, TTM_GETTOOLCOUNT, 0, 0), count);
        for (LRESULT i = 0; i < count; ++i) {
            const Tooltip& expected = main_window_tooltips[i];
            SCOPED_TRACE("tooltip " + std::to_string(i));
            char text[1024] = "";
            TOOLINFOA tool = {};
            tool.cbSize = TTTOOLINFOA_V1_SIZE;
            tool.lpszText = text;
            ASSERT_TRUE(SendMessageA(tooltip_window, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
            EXPECT_EQ(tool.uId, reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, expected.control)));
            EXPECT_EQ(tool.hwnd, dialog);
            EXPECT_EQ(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), UINT{TTF_IDISHWND | TTF_SUBCLASS});
            EXPECT_STREQ(text, expected.text);
        }
    });
}

TEST(MainWindow, OnTopBoxTakesTheWindowOffTopAndBack)
{
    run_with_driver(program_line, [](HWND dialog) {
        ASSERT_TRUE(topmost(dialog));
        click(dialog, IDC_ON_TOP_CHECK);
        EXPECT_TRUE(wait_until([&] { return !topmost(dialog); }));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ON_TOP_CHECK), BST_UNCHECKED);
        EXPECT_TRUE(IsWindowVisible(dialog));
        click(dialog, IDC_ON_TOP_CHECK);
        EXPECT_TRUE(wait_until([&] { return topmost(dialog); }));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ON_TOP_CHECK), BST_CHECKED);
    });
}

TEST(MainWindow, EscapeTheCloseBoxAndQuitEachQuit)
{
    const struct {
        const char* name;
        void (*quit)(HWND dialog);
    } ways[] = {
        {"Escape", [](HWND dialog) { press_key(dialog, VK_ESCAPE); }},
        {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Quit", [](HWND dialog) { click(dialog, IDC_QUIT_BUTTON); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        const int code = run_with_driver(program_line, [&way](HWND dialog) {
            way.quit(dialog);
            EXPECT_TRUE(window_gone(dialog));
        });
        EXPECT_EQ(code, 0);
    }
}

TEST(MainWindow, IdokAndEnterDoNothing)
{
    run_with_driver(program_line, [](HWND dialog) {
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, IDOK, 0), 0);
        press_key(dialog, VK_RETURN);
        // A message sent after the key has been handled: the window is still there.
        SendMessageA(dialog, WM_NULL, 0, 0);
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(control_text(dialog, IDC_STATUS_LINE), "Ready");
    });
}

// The worker walks the tree, then stops at the missing path, still holding
// the lock: while that scan runs the status line names its folder; once it
// has ended, nothing of it lands after "Ready", and the drop is freed.
TEST(MainWindow, DropIsCountedOnAWorkerThatShowsItsFoldersAndReleasesIt)
{
    TempFolder temp;
    make_sample_tree(temp, "drop one");
    const std::string top = temp.path("drop one");
    run_with_driver(program_line, [&](HWND dialog) {
        ScanHold hold;
        const HDROP drop = make_hdrop({top, missing_path});
        ASSERT_NE(drop, nullptr);
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        ASSERT_TRUE(wait_until([&] { return hold.held(); }));
        EXPECT_TRUE(wait_until([&] { return control_text(dialog, IDC_STATUS_LINE) == "\\sub\\deeper"; }))
            << control_text(dialog, IDC_STATUS_LINE);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_RESET_BUTTON)));
        EXPECT_EQ(shown(dialog), zero_texts());
        hold.release();
        ASSERT_TRUE(settles_on(dialog, sample_tree_texts(top, 1))) << testing::PrintToString(shown(dialog));
        EXPECT_TRUE(wait_until([drop] { return GlobalFlags(drop) == GMEM_INVALID_HANDLE; }));
        Sleep(5 * progress_interval_ms);
        EXPECT_EQ(control_text(dialog, IDC_STATUS_LINE), "Ready");
    });
}

// Dropped as the shell drops them, in UTF-16: the host-made tree with paths
// of up to 1,000 characters and a name of 85 CJK characters, and its folder 3
// levels of 100-character names down (353 characters and more): the window
// shows what the walk counts in them.
TEST(MainWindow, DropOfPathsPastMaxPathIsCountedWhole)
{
    const std::string top = long_tree();
    if (top.empty()) GTEST_SKIP() << "the host-made tree is not there (run through CTest)";
    const std::string hundred(100, 'd');
    const std::string deep = top + "\\" + hundred + "\\" + hundred + "\\" + hundred;
    const Expected expected = texts_counted_directly({top, deep});
    ASSERT_EQ(expected.path.substr(expected.path.find(" / ")), " / 1000");
    run_with_driver(program_line, [&](HWND dialog) {
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({top, deep})), 0);
        EXPECT_TRUE(settles_on(dialog, expected)) << testing::PrintToString(shown(dialog));
    });
}

TEST(MainWindow, TwoDropsWhileTheFirstWaitsGiveDoubledCounts)
{
    TempFolder temp;
    make_sample_tree(temp, "twice");
    const std::string top = temp.path("twice");
    run_with_driver(program_line, [&](HWND dialog) {
        // Holding the lock keeps both requests outstanding at once.
        scan_lock.lock();
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({top})), 0);
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({top})), 0);
        SendMessageA(dialog, WM_NULL, 0, 0);
        // The window took both drops and stays responsive; nothing is counted yet.
        EXPECT_EQ(shown(dialog), zero_texts());
        scan_lock.unlock();
        EXPECT_TRUE(settles_on(dialog, sample_tree_texts(top, 2))) << testing::PrintToString(shown(dialog));
    });
}

TEST(MainWindow, ResetZeroesTheFieldsAndLeavesTheStatusLine)
{
    TempFolder temp;
    make_sample_tree(temp, "reset");
    const std::string top = temp.path("reset");
    run_with_driver(program_line, [&](HWND dialog) {
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({top})), 0);
        ASSERT_TRUE(settles_on(dialog, sample_tree_texts(top, 1)));
        // Something else in the status line, to see that Reset leaves it.
        SetDlgItemTextA(dialog, IDC_STATUS_LINE, "reset\\sub");
        click(dialog, IDC_RESET_BUTTON);
        EXPECT_TRUE(wait_until([&] { return shown(dialog) == zero_texts(); }));
        EXPECT_EQ(control_text(dialog, IDC_STATUS_LINE), "reset\\sub");
        // And counting starts again from zero.
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({top})), 0);
        EXPECT_TRUE(settles_on(dialog, sample_tree_texts(top, 1)));
    });
}

TEST(AboutBox, OpensOwnedAndModalAndClosesThreeWays)
{
    run_with_driver(program_line, [](HWND dialog) {
        // OK, Escape, and the close box.
        const std::function<void(HWND)> closers[] = {
            [](HWND about) { click(about, IDOK); },
            [](HWND about) { press_key(about, VK_ESCAPE); },
            [](HWND about) { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); },
        };
        int round = 0;
        for (const auto& close : closers) {
            SCOPED_TRACE("round " + std::to_string(round++));
            click(dialog, IDC_ABOUT_BUTTON);
            const HWND about = find_about_box(dialog);
            ASSERT_NE(about, nullptr);
            EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
            EXPECT_FALSE(IsWindowEnabled(dialog));
            if (round == 1) {
                check_dialog_frame(about, about_box_template);
                check_template(about, about_box_template);
                check_texts_fit(about);
                EXPECT_NE(SendMessageA(GetWindow(about, GW_CHILD), STM_GETICON, 0, 0), 0);
                check_tab_order(about, about_box_template);
            }
            close(about);
            EXPECT_TRUE(window_gone(about));
            EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(dialog) != FALSE; }));
            EXPECT_TRUE(IsWindow(dialog));
        }
    });
}

TEST(AboutBox, AddressButtonOpensThePageShownAndStaysOpen)
{
    void* original = replace_import("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(record_shell_execute));
    ASSERT_NE(original, nullptr) << "the program does not import ShellExecuteA";
    shell_calls.clear();
    run_with_driver(program_line, [](HWND dialog) {
        // It opens with the focus on OK: Enter closes it, and opens nothing.
        click(dialog, IDC_ABOUT_BUTTON);
        HWND about = find_about_box(dialog);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(focus_of(about), GetDlgItem(about, IDOK));
        press_key(about, VK_RETURN);
        EXPECT_TRUE(window_gone(about));

        click(dialog, IDC_ABOUT_BUTTON);
        about = find_about_box(dialog);
        ASSERT_NE(about, nullptr);
        for (int press = 0; press < 2; ++press) {
            SendMessageA(about, WM_COMMAND, IDC_ADDRESS_BUTTON, 0);
            EXPECT_TRUE(IsWindow(about)) << "press " << press;
        }
        click(about, IDOK);
        EXPECT_TRUE(window_gone(about));
    });
    replace_import("shell32.dll", "ShellExecuteA", original);
    ASSERT_EQ(shell_calls.size(), 2u);
    for (const ShellCall& call : shell_calls) {
        EXPECT_EQ(call.owner, nullptr);
        EXPECT_EQ(call.verb, "open");
        EXPECT_EQ(call.file, HEAPWISE_WEB_ADDRESS);
        EXPECT_FALSE(call.parameters);
        EXPECT_FALSE(call.directory);
        EXPECT_EQ(call.show, SW_SHOWNORMAL);
    }
}

TEST(AboutBox, ScanGoesOnWhileItIsOpen)
{
    TempFolder temp;
    make_sample_tree(temp, "behind");
    const std::string top = temp.path("behind");
    run_with_driver(program_line, [&](HWND dialog) {
        click(dialog, IDC_ABOUT_BUTTON);
        const HWND about = find_about_box(dialog);
        ASSERT_NE(about, nullptr);
        PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({top})), 0);
        EXPECT_TRUE(settles_on(dialog, sample_tree_texts(top, 1)));
        EXPECT_TRUE(IsWindow(about));
        click(about, IDOK);
        EXPECT_TRUE(window_gone(about));
    });
}

TEST(StartUp, CountsAQuotedPathArgumentOnce)
{
    TempFolder temp;
    make_sample_tree(temp, "named with spaces");
    const std::string top = temp.path("named with spaces");
    const int code = run_with_driver(program_line + " \"" + top + "\"", [&](HWND dialog) {
        EXPECT_TRUE(settles_on(dialog, sample_tree_texts(top, 1))) << testing::PrintToString(shown(dialog));
    });
    EXPECT_EQ(code, 0);
}

TEST(StartUp, MissingPathArgumentOnlyRaisesTheLongestPath)
{
    TempFolder temp;
    const std::string missing = temp.path("not there");
    run_with_driver(program_line + " \"" + missing + "\"", [&](HWND dialog) {
        Expected texts = zero_texts();
        texts.path = "0 / " + std::to_string(missing.size());
        EXPECT_TRUE(settles_on(dialog, texts)) << testing::PrintToString(shown(dialog));
    });
}

BOOL WINAPI refuse_common_controls(const INITCOMMONCONTROLSEX*)
{
    return FALSE;
}

TEST(StartUp, WithoutCommonControlsExitsWithOneAndShowsNothing)
{
    void* original = replace_import("comctl32.dll", "InitCommonControlsEx",
                                    reinterpret_cast<void*>(refuse_common_controls));
    ASSERT_NE(original, nullptr) << "the program does not import InitCommonControlsEx";
    tooltip_window = nullptr;
    // Should a window open all the same, it is closed so the test ends.
    std::atomic<bool> returned{false};
    std::atomic<bool> window_seen{false};
    std::thread guard([&] {
        wait_until([&] {
            if (const HWND window = main_window_handle.load()) {
                window_seen = true;
                PostMessageA(window, WM_COMMAND, IDC_QUIT_BUTTON, 0);
            }
            return returned.load();
        });
    });
    const int code = run_program(GetModuleHandleA(nullptr), program_line.c_str());
    returned = true;
    guard.join();
    replace_import("comctl32.dll", "InitCommonControlsEx", original);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(window_seen);
    EXPECT_EQ(tooltip_window, nullptr);
}

// heapwise.exe itself, started by this test with a path, read from outside.

struct FoundWindow {
    DWORD process;
    HWND window;
};

BOOL CALLBACK find_process_window(HWND window, LPARAM raw)
{
    auto* found = reinterpret_cast<FoundWindow*>(raw);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process || window_text(window) != "Heapwise - Drop Files to Count") return TRUE;
    found->window = window;
    return FALSE;
}

// With the host-made tree, its folder of 85 CJK characters too: the command
// line is taken whole.
TEST(Program, StartedWithPathsShowsTheirCountsAndQuitsWithZero)
{
    TempFolder temp;
    make_sample_tree(temp, "program run");
    std::vector<std::string> paths = {temp.path("program run")};
    if (!long_tree().empty()) {
        std::string cjk;
        for (int i = 0; i < 85; ++i) cjk += "\u6F22";
        paths.push_back(long_tree() + "\\" + cjk);
    }
    const Expected expected = texts_counted_directly(paths);
    std::string line = "\"" + windows_path(HEAPWISE_PROGRAM) + "\"";
    for (const std::string& path : paths) line += " \"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << line;
    FoundWindow found = {process.dwProcessId, nullptr};
    EXPECT_TRUE(wait_until([&] {
        EnumWindows(find_process_window, reinterpret_cast<LPARAM>(&found));
        return found.window != nullptr;
    }));
    if (found.window != nullptr) {
        EXPECT_TRUE(settles_on(found.window, expected))
            << testing::PrintToString(shown(found.window)) << " instead of " << testing::PrintToString(expected);
        PostMessageA(found.window, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, wait_limit_ms), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
