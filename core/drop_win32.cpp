// A drop on Windows is the shell's drop handle (HDROP), read in UTF-16 and
// converted to UTF-8, the program's own encoding, so that names outside the
// user's code page arrive whole. make_drop builds one the way the shell does,
// for the tests.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "core/drop.h"
#include "core/tally.h"

namespace {

HDROP as_handle(Drop* drop)
{
    return reinterpret_cast<HDROP>(drop);
}

// The UTF-16 units of a UTF-8 path, with its terminator.
int wide_units(const char* path)
{
    return MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
}

}  // namespace

uint32_t drop_item_count(Drop* drop)
{
    return DragQueryFileW(as_handle(drop), 0xFFFFFFFF, nullptr, 0);
}

// A path that does not fit is skipped rather than cut: a cut path names
// something else. Its UTF-8 takes at least as many bytes as it has UTF-16
// units, so one of path_capacity units or more cannot fit.
uint32_t copy_drop_item(Drop* drop, uint32_t index, char* path, uint32_t capacity)
{
    const UINT units = DragQueryFileW(as_handle(drop), index, nullptr, 0);
    if (units == 0 || units >= capacity || units >= path_capacity) return 0;
    wchar_t wide[path_capacity];
    if (DragQueryFileW(as_handle(drop), index, wide, units + 1) != units) return 0;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(units), path,
                                          static_cast<int>(capacity) - 1, nullptr, nullptr);
    if (bytes == 0) return 0;
    path[bytes] = '\0';
    return static_cast<uint32_t>(bytes);
}

void release_drop(Drop* drop)
{
    DragFinish(as_handle(drop));
}

// A DROPFILES header followed by the paths in UTF-16, each zero-terminated,
// and one more terminator, in one moveable global block as the shell hands
// it. An empty path would end the list early, so it is left out: it names
// nothing and would be skipped anyway.
Drop* make_drop(const char* const* paths, uint32_t count)
{
    SIZE_T size = sizeof(DROPFILES) + 2 * sizeof(wchar_t);
    for (uint32_t i = 0; i < count; ++i) size += static_cast<SIZE_T>(wide_units(paths[i])) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    if (header == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (uint32_t i = 0; i < count; ++i) {
        if (paths[i][0] == '\0') continue;
        const int units = wide_units(paths[i]);
        MultiByteToWideChar(CP_UTF8, 0, paths[i], -1, text, units);
        text += units;
    }
    // GMEM_ZEROINIT has written the list's end: one terminator after the
    // last path, two for an empty list.
    GlobalUnlock(block);
    return reinterpret_cast<Drop*>(block);
}
