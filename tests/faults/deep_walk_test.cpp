// How much stack the walk needs per folder level: a 2,000-level tree walked on
// a thread whose 256 KiB stack is painted beforehand and guarded below, so an
// overflow faults and the untouched paint shows the high-water mark.
#include <pthread.h>
#include <sys/mman.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/file_system.h"
#include "core/tally.h"
#include "tests/support/temp_tree.h"

namespace {

constexpr size_t stack_size = 256 * 1024;
constexpr size_t guard_size = 64 * 1024;
constexpr unsigned char paint = 0xA5;

struct WalkOnStack {
    std::string path;
};

void* walk_thread(void* raw)
{
    scan_path(static_cast<WalkOnStack*>(raw)->path);
    return nullptr;
}

}  // namespace

TEST(DeepWalk, TwoThousandLevelsFitInAQuarterMebibyteOfStack)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers make every stack frame several times larger";
#endif
    TempTree tree;
    ASSERT_LT(tree.root().size() + 2 * 2000, 4096u) << "temporary folder path too long: " << tree.root();
    tree.folder_chain("d", 2000);

    void* block = mmap(nullptr, guard_size + stack_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    auto* stack = static_cast<unsigned char*>(block) + guard_size;
    ASSERT_EQ(mprotect(block, guard_size, PROT_NONE), 0);
    memset(stack, paint, stack_size);

    reset_tally();
    WalkOnStack walk{tree.root()};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstack(&attributes, stack, stack_size), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, walk_thread, &walk), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);

    EXPECT_EQ(tally.folder_count, 2001u) << describe(tally);
    EXPECT_EQ(tally.max_rel_depth, 2001u);

    size_t untouched = 0;
    while (untouched < stack_size && stack[untouched] == paint) ++untouched;
    const size_t used = stack_size - untouched;
    RecordProperty("stack_bytes_used", static_cast<int>(used));
    RecordProperty("stack_bytes_per_level", static_cast<int>(used / 2001));
    printf("walk of 2,001 levels used %zu bytes of stack, %zu per level\n", used, used / 2001);
    // The deepest walk the path buffer allows fits as well, start-up included.
    EXPECT_LT(used / 2001 * max_folder_level, stack_size) << used << " bytes for 2,001 levels";
    munmap(block, guard_size + stack_size);
}
