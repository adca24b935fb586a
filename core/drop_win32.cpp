// A drop on Windows is the shell's drop handle (HDROP). make_drop builds one
// the way the shell does, for the command line and the tests.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "core/drop.h"

namespace {

HDROP as_handle(Drop* drop)
{
    return reinterpret_cast<HDROP>(drop);
}

}  // namespace

uint32_t drop_item_count(Drop* drop)
{
    return DragQueryFileA(as_handle(drop), 0xFFFFFFFF, nullptr, 0);
}

// DragQueryFileA cuts a path that does not fit; a cut path names something
// else, so such an item is skipped.
uint32_t copy_drop_item(Drop* drop, uint32_t index, char* path, uint32_t capacity)
{
    const UINT needed = DragQueryFileA(as_handle(drop), index, nullptr, 0);
    if (needed == 0 || needed >= capacity) return 0;
    return DragQueryFileA(as_handle(drop), index, path, capacity);
}

void release_drop(Drop* drop)
{
    DragFinish(as_handle(drop));
}

// A DROPFILES header followed by the paths, each zero-terminated, and one
// more terminator; ANSI, in one moveable global block as the shell hands it.
// An empty path would end the list early, so it is left out: it names
// nothing and would be skipped anyway.
Drop* make_drop(const char* const* paths, uint32_t count)
{
    SIZE_T size = sizeof(DROPFILES) + 2;
    for (uint32_t i = 0; i < count; ++i) size += strlen(paths[i]) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    if (header == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    char* text = reinterpret_cast<char*>(header + 1);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t len = strlen(paths[i]) + 1;
        if (len == 1) continue;
        memcpy(text, paths[i], len);
        text += len;
    }
    // GMEM_ZEROINIT has written the list's end: one terminator after the
    // last path, two for an empty list.
    GlobalUnlock(block);
    return reinterpret_cast<Drop*>(block);
}
