// Workers' tables of open files: shared with the rest of the process until
// the terminal mode asks for one of their own.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/threads.h"

namespace {

// Opens a file, leaves it open and returns; the descriptor number is left in
// `argument`.
unsigned open_and_leave_open(void* argument)
{
    *static_cast<int*>(argument) = open("/dev/null", O_RDONLY | O_CLOEXEC);
    return 0;
}

int descriptor_left_by_a_worker()
{
    int descriptor = -1;
    EXPECT_TRUE(start_worker(open_and_leave_open, &descriptor));
    wait_for_workers();
    EXPECT_GE(descriptor, 0);
    return descriptor;
}

}  // namespace

// A worker of its own table takes its files with it when it ends, and
// nothing it opens is seen by the other threads.
TEST(WorkerFileTables, SharedUntilAskedThenEachWorkersOwn)
{
    const int shared = descriptor_left_by_a_worker();
    EXPECT_NE(fcntl(shared, F_GETFD), -1) << "a worker's file is the process's";
    close(shared);

    give_workers_own_file_tables();
    const int own = descriptor_left_by_a_worker();
    errno = 0;
    EXPECT_EQ(fcntl(own, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);

    // Files open before the worker started stay usable by it and by us.
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    struct Writer {
        static unsigned write_one(void* argument)
        {
            return write(*static_cast<int*>(argument), "x", 1) == 1 ? 0 : 1;
        }
    };
    ASSERT_TRUE(start_worker(Writer::write_one, &pipe_ends[1]));
    wait_for_workers();
    close(pipe_ends[1]);
    char byte = 0;
    EXPECT_EQ(read(pipe_ends[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'x');
    EXPECT_EQ(read(pipe_ends[0], &byte, 1), 0) << "the worker's copy of the pipe closed with it";
    close(pipe_ends[0]);
}
