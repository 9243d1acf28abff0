// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <vector>

#include "tests/support/Pty.h"

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

TDrain::TDrain(int Fd, uint64_t Expected) {
    FThread = std::thread([this, Fd, Expected] {
        std::vector<char> buffer(65536);
        const auto start = TClock::now();
        while (FReceived < Expected && SecondsSince(start) < 30) {
            pollfd p{Fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            const ssize_t n = ::read(Fd, buffer.data(), buffer.size());
            if (n > 0) FReceived += static_cast<uint64_t>(n);
        }
    });
}

uint64_t TDrain::Join() {
    FThread.join();
    return FReceived;
}

bool TimedSend(const TPty& Far, uint64_t Bytes, const std::function<void()>& Send, std::vector<double>& Seconds) {
    TDrain drain(Far.Master(), Bytes);
    const auto start = TClock::now();
    Send();
    Seconds.push_back(SecondsSince(start));
    return drain.Join() == Bytes;
}

bool WriteAll(int Fd, const std::string& Bytes) {
    for (std::size_t done = 0; done < Bytes.size();) {
        const ssize_t n = ::write(Fd, Bytes.data() + done, Bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

const char* StreamPattern() {
    static const std::vector<char> pattern = [] {
        std::vector<char> bytes(kStreamPeriod);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        return bytes;
    }();
    return pattern.data();
}

std::size_t StreamMismatches(uint64_t Offset, const char* Data, std::size_t Size) {
    std::size_t mismatches = 0;
    while (Size > 0) {
        const std::size_t at = Offset % kStreamPeriod;
        const std::size_t run = std::min(Size, kStreamPeriod - at);
        if (std::memcmp(Data, StreamPattern() + at, run) != 0)
            for (std::size_t i = 0; i < run; ++i) mismatches += Data[i] != StreamPattern()[at + i];
        Offset += run;
        Data += run;
        Size -= run;
    }
    return mismatches;
}

TFloodWriter::TFloodWriter(int Fd) : FFd(Fd) {
    fcntl(FFd, F_SETFL, fcntl(FFd, F_GETFL) | O_NONBLOCK);
    FThread = std::thread([this] { Run(); });
}

void TFloodWriter::Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
}

void TFloodWriter::Run() {
    while (!FStop) {
        pollfd p{FFd, POLLOUT, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        const std::size_t at = FWritten % kStreamPeriod;
        const ssize_t n = ::write(FFd, StreamPattern() + at, kStreamPeriod - at);
        if (n > 0) FWritten += static_cast<uint64_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;
    }
}

int OpenRawTerminal(const std::string& Path) {
    const int fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 0;  // a read returns what is there, or nothing after 100 ms
    raw.c_cc[VTIME] = 1;
    tcsetattr(fd, TCSANOW, &raw);
    return fd;
}

void DrainTerminal(const std::string& Path) {
    const int fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    tcflush(fd, TCIFLUSH);
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
}
