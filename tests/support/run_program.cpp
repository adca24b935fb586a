// A child process with its output collected through pipes (or a terminal).
#include "tests/support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

std::vector<std::string> inherited_environment(const std::vector<const char*>& names)
{
    std::vector<std::string> environment;
    for (const char* name : names)
        if (const char* value = getenv(name)) environment.push_back(std::string(name) + "=" + value);
    return environment;
}

ProgramOutcome run_program(const ProgramLaunch& launch)
{
    std::vector<std::string> argv_texts = launch.argv, environment_texts = launch.environment;
    std::vector<char*> argv, envp;
    for (std::string& text : argv_texts) argv.push_back(text.data());
    for (std::string& text : environment_texts) envp.push_back(text.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    ProgramOutcome outcome;
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return outcome;
    }
    int terminal = -1, terminal_end = -1;
    if (launch.terminal) {
        terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) {
            ADD_FAILURE() << "pseudo-terminal: " << strerror(errno);
            return outcome;
        }
        winsize size{};
        size.ws_row = 24;
        size.ws_col = launch.terminal_columns;
        if (launch.terminal_columns != 0 && ioctl(terminal, TIOCSWINSZ, &size) != 0) {
            ADD_FAILURE() << "TIOCSWINSZ: " << strerror(errno);
            return outcome;
        }
        // Opened before the fork, so the terminal has a user from the start and reads do not end early.
        terminal_end = open(ptsname(terminal), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal_end < 0) {
            ADD_FAILURE() << "open " << ptsname(terminal) << ": " << strerror(errno);
            return outcome;
        }
    }

    const pid_t child = fork();
    if (child == 0) {
        const int input = open("/dev/null", O_RDONLY);
        const int error = launch.terminal ? terminal_end : err_pipe[1];
        if (input < 0 || error < 0 || dup2(input, STDIN_FILENO) < 0 || dup2(out_pipe[1], STDOUT_FILENO) < 0 ||
            dup2(error, STDERR_FILENO) < 0)
            _exit(126);
        if (!launch.directory.empty() && chdir(launch.directory.c_str()) != 0) _exit(126);
        if (launch.prepare && !launch.prepare()) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (launch.terminal) {
        close(terminal_end);
        close(err_pipe[0]);
    }
    const int err_fd = launch.terminal ? terminal : err_pipe[0];

    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    int open_fds = 2;
    const time_t give_up = time(nullptr) + 120;
    while (open_fds > 0) {
        if (time(nullptr) > give_up) {
            kill(child, SIGKILL);
            ADD_FAILURE() << argv_texts[0] << " did not finish within 120 s";
            break;
        }
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {  // a terminal ends with EIO once its last user closes it
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_fds;
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}
