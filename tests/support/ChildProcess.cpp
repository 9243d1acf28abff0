// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

extern char** environ;

namespace {

int StatusCode(int Status) { return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status); }

int RemainingMs(std::chrono::steady_clock::time_point End) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(End - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

}  // namespace

TChildProcess::TChildProcess(const std::string& Program, const std::vector<std::string>& Arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    // Nothing else of the test's, such as a pty master, goes with the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // A group of its own, so that what it starts (flock's command) goes with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv{const_cast<char*>(Program.c_str())};
    for (const std::string& argument : Arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int error = posix_spawn(&FPid, Program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    FOutput = pipeEnds[0];
    if (error != 0) {
        close(FOutput);
        throw std::runtime_error("cannot start " + Program);
    }
}

TChildProcess::~TChildProcess() {
    if (!FStatus) {
        kill(-FPid, SIGKILL);
        int status = 0;
        waitpid(FPid, &status, 0);
    }
    close(FOutput);
}

std::optional<std::string> TChildProcess::ReadLine(std::chrono::milliseconds Deadline) {
    const auto end = std::chrono::steady_clock::now() + Deadline;
    for (;;) {
        if (const auto lineEnd = FPending.find('\n'); lineEnd != std::string::npos) {
            std::string line = FPending.substr(0, lineEnd);
            FPending.erase(0, lineEnd + 1);
            return line;
        }
        pollfd output{FOutput, POLLIN, 0};
        if (poll(&output, 1, RemainingMs(end)) <= 0) return std::nullopt;
        char buffer[512];
        const ssize_t count = read(FOutput, buffer, sizeof buffer);
        if (count <= 0) return std::nullopt;
        FPending.append(buffer, static_cast<std::size_t>(count));
    }
}

void TChildProcess::Signal(int Number) const { kill(FPid, Number); }

std::optional<int> TChildProcess::Wait(std::chrono::milliseconds Deadline) {
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (!FStatus) {
        int status = 0;
        if (waitpid(FPid, &status, WNOHANG) == FPid) {
            FStatus = StatusCode(status);
        } else if (RemainingMs(end) == 0) {
            return std::nullopt;
        } else {
            usleep(5000);  // polling the child's state; the deadline bounds it
        }
    }
    return FStatus;
}

TCommandResult RunCommand(const std::string& CommandLine) {
    TCommandResult result;
    FILE* pipe = popen((CommandLine + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.Output.append(buffer, count);
    result.Status = StatusCode(pclose(pipe));
    return result;
}
