// The walk over a fake file system built from the fuzzer's bytes: names of 1
// to 255 bytes, deep and long paths, loops back to a folder above, failed
// queries, opens, listings and closes, and opens refused for want of handles
// (the walker holding only two to four), by one to four walkers handing
// folders and shares of folders' entries to each other. The Tally and the
// number of reported skips must equal those of a simple recursive model of
// the same tree, where running short of handles is no failure.
#include <errno.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/tally.h"
#include "core/walk_team.h"
#include "tests/fuzz/fake_file_system.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
    uint8_t take() { return pos < size ? data[pos++] : 0; }
};

constexpr uint32_t name_lengths[8] = {1, 2, 3, 8, 40, 128, 254, 255};
constexpr int errors[4] = {EACCES, ENOENT, EIO, ELOOP};

uint32_t next_identity;

// The identities of the folders above the node being decoded or modelled
// (depth-first, so one stack serves both).
uint32_t chain[max_folder_level + 1];

// One node and, for a folder, its children; `chain_len` folders lie above it.
void decode_node(Input& in, uint32_t parent, uint32_t chain_len)
{
    FakeNode node{};
    const uint8_t shape = in.take();
    const uint8_t fault = in.take();
    const uint32_t kind = shape & 3;
    node.attributes = (shape >> 2) & (attribute_read_only | attribute_hidden | attribute_system);
    node.name_len = name_lengths[shape >> 5];
    const uint8_t seed = in.take();
    for (uint32_t i = 0; i < node.name_len; ++i) {
        uint8_t byte = static_cast<uint8_t>(seed + i * (seed | 1));
        if (byte == 0 || byte == '/') byte = 'n';
        node.name[i] = static_cast<char>(byte);
    }
    node.name[node.name_len] = '\0';
    if (node.name[0] == '.' && (node.name_len == 1 || (node.name_len == 2 && node.name[1] == '.')))
        node.name[0] = 'd';
    node.listing_fails_after = fake_never;
    const int error = errors[fault & 3];
    if (fault < 12)
        node.query_error = error;
    else if (fault < 24)
        node.open_error = error;
    else if (fault < 36)
        node.listing_fails_after = fault % 5;
    else if (fault < 42)
        node.close_error = error;

    const bool loop = kind == 2 && chain_len > 0;
    if (kind == 1 || kind == 2) {
        node.attributes |= attribute_folder;
        node.identity = loop ? chain[in.take() % chain_len] : ++next_identity;
    } else {
        const uint8_t shift = in.take();
        node.size = shift == 0 ? 0 : static_cast<uint64_t>(in.take() + 1) << (shift % 50);
    }
    const uint32_t index = fake_fs_add(parent, node);
    if (index == fake_no_node || !(node.attributes & attribute_folder) || loop) return;

    if (chain_len >= max_folder_level) return;
    chain[chain_len] = node.identity;
    const uint32_t children = in.take() % 6;
    for (uint32_t i = 0; i < children && in.pos < in.size; ++i) decode_node(in, index, chain_len + 1);
}

// The model: what the walk must count, written as plain recursion over the
// tree with whole lengths instead of a path buffer.
struct Model {
    Tally tally;
    uint32_t skips;
    uint32_t base_len;
    uint32_t base_depth;
};

void raise(uint32_t& maximum, uint32_t value)
{
    if (value > maximum) maximum = value;
}

void model_attributes(Model& m, const FakeNode& node)
{
    const bool folder = node.attributes & attribute_folder;
    if (node.attributes & attribute_read_only) ++(folder ? m.tally.folders_read_only : m.tally.files_read_only);
    if (node.attributes & attribute_hidden) ++(folder ? m.tally.folders_hidden : m.tally.files_hidden);
    if (node.attributes & attribute_system) ++(folder ? m.tally.folders_system : m.tally.files_system);
    if (!folder) {
        ++m.tally.file_count;
        m.tally.total_bytes += node.size;
    }
}

void model_folder(Model& m, uint32_t index, uint32_t depth, uint32_t len, bool ends_in_separator)
{
    const FakeNode& folder = fake_fs.nodes[index];
    ++m.tally.folder_count;
    raise(m.tally.max_rel_depth, depth);
    raise(m.tally.max_abs_depth, depth + m.base_depth);
    raise(m.tally.max_abs_path, len);
    raise(m.tally.max_rel_path, len - m.base_len);
    const uint32_t slot = ends_in_separator ? len : len + 1;
    if (slot + 1 > path_capacity) {
        ++m.skips;
        return;
    }
    for (uint32_t above = 0; above + 1 < depth; ++above)
        if (chain[above] == folder.identity) return;
    if (folder.open_error != 0) {
        ++m.skips;
        return;
    }
    chain[depth - 1] = folder.identity;
    uint32_t listed = 0;
    for (uint32_t child = folder.first_child; child != fake_no_node; child = fake_fs.nodes[child].next_sibling) {
        if (listed == folder.listing_fails_after) break;
        ++listed;
        const FakeNode& entry = fake_fs.nodes[child];
        const uint32_t full = slot + entry.name_len;
        if (full + 1 > path_capacity || entry.query_error != 0) {
            ++m.skips;
            continue;
        }
        model_attributes(m, entry);
        if (entry.attributes & attribute_folder) {
            model_folder(m, child, depth + 1, full, false);
        } else {
            raise(m.tally.max_abs_path, full);
            raise(m.tally.max_rel_path, full - m.base_len);
        }
    }
    if (folder.listing_fails_after != fake_never || folder.close_error != 0) ++m.skips;
}

// Walkers report from their own threads.
std::atomic<uint32_t> reported_skips{0};

void count_skip(ScanFailure, const char*, size_t, const char*, int)
{
    ++reported_skips;
}

#define CHECK_FIELD(field)                                                                               \
    if (tally.field != model.tally.field) {                                                               \
        fprintf(stderr, "%s: walk %llu, model %llu\n", #field, static_cast<unsigned long long>(tally.field), \
                static_cast<unsigned long long>(model.tally.field));                                      \
        abort();                                                                                          \
    }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size, 0};
    fake_fs_clear();
    next_identity = 0;

    // The top-level path: 1 to 4095 bytes, components of up to 200 bytes,
    // sometimes ending in a separator.
    const uint8_t length_byte = in.take();
    const uint8_t path_byte = in.take();
    const uint32_t base_len = 1 + (static_cast<uint32_t>(length_byte) << 4 | (path_byte & 15)) % (path_capacity - 1);
    const bool trailing = path_byte & 16;
    // One to four walkers, and sometimes the item kept to one as a rotating
    // disk's is; sometimes two to four handles a walker, and shares.
    const uint32_t walkers = 1 + (path_byte >> 6);
    const uint32_t handle_choice = (length_byte >> 2) & 3;
    static char path[path_capacity];
    uint32_t base_depth = 0;
    for (uint32_t i = 0; i < base_len; ++i) {
        const bool separator = i % 201 == 0 || (trailing && i == base_len - 1);
        path[i] = separator ? '/' : static_cast<char>(0x80 | (i % 0x40));
        base_depth += separator;
    }
    path[base_len] = '\0';

    decode_node(in, fake_no_node, 0);
    fake_fs.storage = (length_byte & 3) == 3 ? Storage::rotating_disk : Storage::local;
    fake_fs.handles_per_walker = handle_choice == 0 ? 0 : 1 + handle_choice;
    fake_fs.shares = (path_byte & 32) != 0;
    const FakeNode& root = fake_fs.nodes[0];

    Model model{};
    model.base_len = base_len;
    model.base_depth = base_depth;
    model.tally.max_abs_path = base_len;
    if (root.query_error != 0) {
        ++model.skips;
    } else {
        model_attributes(model, root);
        if (root.attributes & attribute_folder) model_folder(model, 0, 1, base_len, path[base_len - 1] == '/');
    }

    reset_tally();
    reported_skips = 0;
    store_failure_report(count_skip);
    fake_fs_begin_walk(base_len, base_depth);
    WalkTeam* team = start_walk_team(WalkerCounts{walkers, 1, walkers});
    if (team == nullptr) abort();
    count_path(team, path);
    finish_walk_team(team, &tally);
    store_failure_report(nullptr);

    CHECK_FIELD(file_count);
    CHECK_FIELD(files_read_only);
    CHECK_FIELD(files_system);
    CHECK_FIELD(files_hidden);
    CHECK_FIELD(folder_count);
    CHECK_FIELD(folders_read_only);
    CHECK_FIELD(folders_system);
    CHECK_FIELD(folders_hidden);
    CHECK_FIELD(total_bytes);
    CHECK_FIELD(max_rel_depth);
    CHECK_FIELD(max_abs_depth);
    CHECK_FIELD(max_rel_path);
    CHECK_FIELD(max_abs_path);
    if (reported_skips != model.skips) {
        fprintf(stderr, "skips: walk reported %u, model %u\n", reported_skips.load(), model.skips);
        abort();
    }
    return 0;
}
