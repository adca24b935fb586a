// A platform's drop, as a DropRequest owns it: on Windows the shell's drop
// handle, elsewhere a list of paths. One implementation per platform.
#pragma once

#include <cstdint>

struct Drop;

// Number of dropped items; 0 means nothing to do.
uint32_t drop_item_count(Drop* drop);

// Copies item `index` into `path` (room for `capacity` bytes, terminator
// included). Returns the number of bytes copied; 0 means the item is skipped.
uint32_t copy_drop_item(Drop* drop, uint32_t index, char* path, uint32_t capacity);

// Releases the drop; it must not be used afterwards.
void release_drop(Drop* drop);

// Makes a drop that owns copies of `count` paths; null when out of memory.
// (Only where the platform does not hand the program a drop of its own.)
Drop* make_drop(const char* const* paths, uint32_t count);
