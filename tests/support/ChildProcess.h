// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Another program run by a test (POSIX): its standard output is read through
// a pipe, and it is ended by a signal or waited for with a deadline.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class TChildProcess {
public:
    // Starts Program with Arguments; the child's standard error stays ours, and
    // it inherits no other descriptor.
    TChildProcess(const std::string& Program, const std::vector<std::string>& Arguments);
    // Kills a child still running and reaps it.
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    pid_t Pid() const { return FPid; }
    // The next line of output without its line end; none at end of output or deadline.
    std::optional<std::string> ReadLine(std::chrono::milliseconds Deadline = std::chrono::seconds(10));
    void Signal(int Number) const;
    // The exit status (or 128 + signal) once the child ended; none at the deadline.
    std::optional<int> Wait(std::chrono::milliseconds Deadline = std::chrono::seconds(10));

private:
    pid_t FPid = -1;
    int FOutput = -1;
    std::string FPending;
    std::optional<int> FStatus;
};

struct TCommandResult {
    int Status = -1;     // exit status, or 128 + signal
    std::string Output;  // standard output and error together
};
// Runs a shell command line and collects what it prints.
TCommandResult RunCommand(const std::string& CommandLine);
