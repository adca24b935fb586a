// Temporary trees for the tests on Linux, and a child process without the
// capabilities that let root read every folder.
#include "tests/support/temp_tree.h"

#include <fcntl.h>
#include <ftw.h>
#include <linux/capability.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>


TempTree::TempTree()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/heapwise-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    root_ = pattern;
}

namespace {

int make_removable(const char* path, const struct stat* st, int type, FTW*)
{
    if (type == FTW_D || type == FTW_DNR) ::chmod(path, 0700);
    (void)st;
    return 0;
}

int remove_entry(const char* path, const struct stat*, int, FTW*)
{
    ::remove(path);
    return 0;
}

}  // namespace

TempTree::~TempTree()
{
    nftw(root_.c_str(), make_removable, 64, FTW_PHYS);
    nftw(root_.c_str(), remove_entry, 64, FTW_PHYS | FTW_DEPTH);
}

std::string TempTree::path(const std::string& relative) const
{
    return relative.empty() ? root_ : root_ + "/" + relative;
}

void TempTree::folder(const std::string& relative, mode_t mode)
{
    if (mkdir(path(relative).c_str(), 0755) != 0) ADD_FAILURE() << "mkdir " << relative << ": " << strerror(errno);
    if (mode != 0755) chmod(relative, mode);
}

void TempTree::file(const std::string& relative, uint64_t size, mode_t mode)
{
    const int fd = open(path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        ADD_FAILURE() << "create " << relative << ": " << strerror(errno);
        return;
    }
    std::string content(size, 'x');
    if (size != 0 && write(fd, content.data(), size) != static_cast<ssize_t>(size)) ADD_FAILURE() << "write " << relative;
    close(fd);
    if (mode != 0644) chmod(relative, mode);
}

void TempTree::sparse_file(const std::string& relative, uint64_t size)
{
    const int fd = open(path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
        ADD_FAILURE() << "sparse " << relative << ": " << strerror(errno);
    if (fd >= 0) close(fd);
}

void TempTree::symlink(const std::string& relative, const std::string& target)
{
    if (::symlink(target.c_str(), path(relative).c_str()) != 0)
        ADD_FAILURE() << "symlink " << relative << ": " << strerror(errno);
}

void TempTree::fifo(const std::string& relative)
{
    if (mkfifo(path(relative).c_str(), 0644) != 0) ADD_FAILURE() << "mkfifo " << relative << ": " << strerror(errno);
}

void TempTree::socket(const std::string& relative)
{
    const std::string where = path(relative);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (where.size() >= sizeof address.sun_path) {
        ADD_FAILURE() << "socket path too long: " << where;
        return;
    }
    memcpy(address.sun_path, where.c_str(), where.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        ADD_FAILURE() << "socket " << relative << ": " << strerror(errno);
    if (fd >= 0) close(fd);
}

void TempTree::chmod(const std::string& relative, mode_t mode)
{
    if (::chmod(path(relative).c_str(), mode) != 0) ADD_FAILURE() << "chmod " << relative << ": " << strerror(errno);
}

uint32_t length(const std::string& text)
{
    return static_cast<uint32_t>(text.size());
}

bool long_paths_reachable()
{
    return true;
}

bool read_only_folders_can_be_made()
{
    return true;
}

namespace {

// Drops the two capabilities from the effective, permitted and inheritable
// sets; a process without them is bound by folder permissions like anyone.
bool drop_dac_capabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective &= ~mask;
    data[0].permitted &= ~mask;
    data[0].inheritable &= ~mask;
    return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

std::string run_unprivileged(std::string (*fn)(const std::string& argument), const std::string& argument)
{
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_fds[0]);
        if (!drop_dac_capabilities()) _exit(3);
        const std::string output = fn(argument);
        const ssize_t written = write(pipe_fds[1], output.data(), output.size());
        _exit(written == static_cast<ssize_t>(output.size()) ? 0 : 4);
    }
    close(pipe_fds[1]);
    std::string output;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<size_t>(got));
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ADD_FAILURE() << "unprivileged child failed, status " << status;
    return output;
}
