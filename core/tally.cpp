// The process-wide Tally, and adding a walker's share to it.
#include "core/tally.h"

Tally tally;

void reset_tally()
{
    tally = Tally{};
}

void add_share(Tally* into, const Tally& share)
{
    into->file_count += share.file_count;
    into->files_read_only += share.files_read_only;
    into->files_system += share.files_system;
    into->files_hidden += share.files_hidden;
    into->folder_count += share.folder_count;
    into->folders_read_only += share.folders_read_only;
    into->folders_system += share.folders_system;
    into->folders_hidden += share.folders_hidden;
    into->total_bytes += share.total_bytes;
    raise(into->max_rel_depth, share.max_rel_depth);
    raise(into->max_abs_depth, share.max_abs_depth);
    raise(into->max_rel_path, share.max_rel_path);
    raise(into->max_abs_path, share.max_abs_path);
}
