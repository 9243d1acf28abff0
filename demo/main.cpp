// SPDX-License-Identifier: GPL-3.0-or-later
// ostra-demo-device: a small instrument behind a pseudo-terminal, to try the
// console without hardware. Prints the path of its port on the first line of
// its output and serves until SIGTERM or SIGINT.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "demo/DemoDevice.h"

namespace {

volatile sig_atomic_t gStop = 0;

void OnStopSignal(int) { gStop = 1; }

const char* const kUsage =
    "Usage: ostra-demo-device [--link PATH]\n"
    "A demo instrument behind a pseudo-terminal. Prints the path of its port on\n"
    "the first line, then serves until SIGTERM or SIGINT (Ctrl+C). Send HELP for\n"
    "its commands.\n"
    "\n"
    "  --link PATH   also reach the port through a symbolic link at PATH,\n"
    "                removed again when the device ends\n"
    "  --help        show this text\n"
    "  --version     show the version\n";

int Fail(const char* What) {
    std::fprintf(stderr, "ostra-demo-device: %s: %s\n", What, std::strerror(errno));
    return 1;
}

struct TPort {
    int Master = -1;
    int Slave = -1;  // kept open, so the port stays up between the console's sessions
    std::string Path;
};

bool OpenPort(TPort& Port) {
    Port.Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Port.Master < 0 || grantpt(Port.Master) != 0 || unlockpt(Port.Master) != 0) return false;
    const char* name = ptsname(Port.Master);
    if (!name) return false;
    Port.Path = name;
    Port.Slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw;
    if (Port.Slave < 0 || tcgetattr(Port.Slave, &raw) != 0) return false;
    // Raw from the start: an echoing line discipline would feed our replies back to us.
    cfmakeraw(&raw);
    if (tcsetattr(Port.Slave, TCSANOW, &raw) != 0) return false;
    return fcntl(Port.Master, F_SETFL, fcntl(Port.Master, F_GETFL) | O_NONBLOCK) == 0;
}

// The stop signals only arrive inside ppoll, so no call is cut short elsewhere.
sigset_t CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stops, previous;
    sigemptyset(&stops);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stops, signal);
    }
    sigprocmask(SIG_BLOCK, &stops, &previous);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&previous, signal);
    return previous;
}

timespec Until(TDemoDevice::TClock::time_point Due, TDemoDevice::TClock::time_point Now) {
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(Due - Now);
    const long long nanoseconds = std::max<long long>(0, wait.count());
    return timespec{static_cast<time_t>(nanoseconds / 1'000'000'000), static_cast<long>(nanoseconds % 1'000'000'000)};
}

int Serve(const TPort& Port, const sigset_t& Unblocked) {
    using TClock = TDemoDevice::TClock;
    TDemoDevice device(TClock::now());
    char buffer[4096];
    // Read but not yet taken: the device takes input only while its output drains.
    std::string input;
    while (!gStop) {
        input.erase(0, device.Receive(input, TClock::now()));
        device.Produce(TClock::now());
        if (!device.Output().empty()) {
            const ssize_t written = write(Port.Master, device.Output().data(), device.Output().size());
            if (written > 0) device.Consume(static_cast<std::size_t>(written));
            if (written < 0 && errno != EAGAIN && errno != EINTR) return Fail("write");
        }
        pollfd port{Port.Master,
                    static_cast<short>((input.empty() ? POLLIN : 0) | (device.Output().empty() ? 0 : POLLOUT)), 0};
        const auto now = TClock::now();
        const auto due = device.NextDue(now);
        const timespec timeout = due ? Until(*due, now) : timespec{};
        if (ppoll(&port, 1, due ? &timeout : nullptr, &Unblocked) < 0) {
            if (errno == EINTR) continue;
            return Fail("poll");
        }
        if (!(port.revents & POLLIN)) continue;
        const ssize_t count = read(Port.Master, buffer, sizeof buffer);
        if (count > 0) input.assign(buffer, static_cast<std::size_t>(count));
        if (count < 0 && errno != EAGAIN && errno != EINTR) return Fail("read");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string link;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::puts("ostra-demo-device " OSTRA_VERSION);
            return 0;
        }
        if (argument == "--link" && i + 1 < argc && link.empty()) {
            link = argv[++i];
            continue;
        }
        std::fprintf(stderr, "ostra-demo-device: unexpected argument '%s'\n%s", argument.c_str(), kUsage);
        return 2;
    }

    const sigset_t unblocked = CatchStopSignals();
    TPort port;
    if (!OpenPort(port)) return Fail("cannot open a pseudo-terminal");
    if (!link.empty() && symlink(port.Path.c_str(), link.c_str()) != 0) return Fail(("cannot make the link " + link).c_str());
    std::printf("%s\n", link.empty() ? port.Path.c_str() : link.c_str());
    std::fflush(stdout);

    const int result = Serve(port, unblocked);
    // The link goes unless someone has put something else there meanwhile.
    char target[4096];
    const ssize_t length = link.empty() ? -1 : readlink(link.c_str(), target, sizeof target);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == port.Path) unlink(link.c_str());
    return result;
}
