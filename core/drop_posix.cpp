// A drop on Linux: one block holding the table of dropped paths and their
// texts, owned by the request that counts them.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/drop.h"

struct Drop {
    uint32_t count;
    char* paths[1];  // `count` entries, followed by the texts
};

Drop* make_drop(const char* const* paths, uint32_t count)
{
    size_t size = offsetof(Drop, paths) + (count + 1) * sizeof(char*);
    for (uint32_t i = 0; i < count; ++i) size += strlen(paths[i]) + 1;
    auto* drop = static_cast<Drop*>(malloc(size));
    if (drop == nullptr) return nullptr;
    drop->count = count;
    char* text = reinterpret_cast<char*>(drop->paths + count + 1);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t len = strlen(paths[i]) + 1;
        memcpy(text, paths[i], len);
        drop->paths[i] = text;
        text += len;
    }
    drop->paths[count] = nullptr;
    return drop;
}

uint32_t drop_item_count(Drop* drop)
{
    return drop->count;
}

// A path that does not fit is skipped rather than cut: a cut path names
// something else.
uint32_t copy_drop_item(Drop* drop, uint32_t index, char* path, uint32_t capacity)
{
    if (index >= drop->count) return 0;
    const size_t len = strlen(drop->paths[index]);
    if (len == 0 || len >= capacity) return 0;
    memcpy(path, drop->paths[index], len + 1);
    return static_cast<uint32_t>(len);
}

void release_drop(Drop* drop)
{
    free(drop);
}
