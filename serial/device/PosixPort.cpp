// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/PosixPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "serial/device/LineSettings.h"
#include "serial/device/ReadPlan.h"
#include "serial/device/TermiosRate.h"

namespace {

// 0 when a call returning -1 on failure succeeded, else its errno.
int ErrorOf(int Result) { return Result == -1 ? errno : 0; }

}  // namespace

TFd::~TFd() {
    if (FFd >= 0) ::close(FFd);
}

void TAbortSignal::Raise() {
    ++FGeneration;
    const uint64_t one = 1;
    // Only the wake-up matters; a counter that is already set wakes as well.
    [[maybe_unused]] const auto written = ::write(FEvent.Get(), &one, sizeof one);
}

void TAbortSignal::Drain() const {
    uint64_t count;
    [[maybe_unused]] const auto read = ::read(FEvent.Get(), &count, sizeof count);
}

int TPosixPort::Open(const std::string& Path, int OpenFlags, std::shared_ptr<TPosixPort>& Port) {
    TFd device(::open(Path.c_str(), OpenFlags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!device) return errno;
    const int fd = device.Get();
    if (!isatty(fd)) return ENOTTY;
    // The lock first: TIOCEXCL on a port someone else holds would outlive us.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
    termios original;
    if (tcgetattr(fd, &original) != 0) return errno;
    TFd rxWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!rxWake) return errno;
    TFd txWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!txWake) return errno;
    termios raw = original;
    MakeRaw(raw);
    if (tcsetattr(fd, TCSANOW, &raw) != 0) return errno;
    // Keeps other openers out; the lock above only stops those who ask for it.
    ioctl(fd, TIOCEXCL);
    Port.reset(new TPosixPort(std::move(device), original, ReadOutputRate(fd), std::move(rxWake), std::move(txWake)));
    return 0;
}

TPosixPort::TPosixPort(TFd Device, const termios& Original, std::optional<DWORD> OriginalRate, TFd RxWake,
                       TFd TxWake)
    : FDevice(std::move(Device)),
      FOriginal(Original),
      FOriginalRate(OriginalRate),
      FRxAbort(std::move(RxWake)),
      FTxAbort(std::move(TxWake)),
      FErrorCounts(ReadErrorCounts()) {}

TPosixPort::~TPosixPort() {
    if (FOriginalRate)
        Apply(FOriginal, *FOriginalRate);
    else
        tcsetattr(FDevice.Get(), TCSANOW, &FOriginal);
    ioctl(FDevice.Get(), TIOCNXCL);
}

void TPosixPort::Shutdown() {
    FClosed = true;
    FRxAbort.Raise();
    FTxAbort.Raise();
}

int TPosixPort::Apply(termios Settings, DWORD Rate) {
    const auto speed = StandardSpeed(Rate);
    if (speed) {
        cfsetispeed(&Settings, *speed);
        cfsetospeed(&Settings, *speed);
    }
    if (tcsetattr(FDevice.Get(), TCSANOW, &Settings) != 0) return errno;
    if (!speed) {
        if (const int error = SetArbitraryRate(FDevice.Get(), Rate)) return error;
    }
    // tcsetattr succeeds when any part was taken, so the rate is read back.
    const auto taken = ReadOutputRate(FDevice.Get());
    return taken && RateWithinTolerance(Rate, *taken) ? 0 : EINVAL;
}

int TPosixPort::SetState(const DCB& Dcb) {
    std::lock_guard lock(FStateLock);
    termios current;
    if (tcgetattr(FDevice.Get(), &current) != 0) return errno;
    termios wanted = current;
    if (Dcb.BaudRate == 0) return EINVAL;  // B0 would hang up the line
    if (const int error = EncodeLineSettings(Dcb, wanted)) return error;
    const auto currentRate = ReadOutputRate(FDevice.Get());
    if (const int error = Apply(wanted, Dcb.BaudRate)) {
        if (currentRate) Apply(current, *currentRate);
        return error;
    }
    SetControlLines(Dcb.Flags);
    FState = Dcb;
    return 0;
}

// A device without modem lines (a pseudo-terminal) is no error here.
void TPosixPort::SetControlLines(DWORD DcbFlags) {
    SetLine(TIOCM_DTR, DcbFlags::DtrControl(DcbFlags) != DTR_CONTROL_DISABLE);
    const DWORD rts = DcbFlags::RtsControl(DcbFlags);
    if (rts != RTS_CONTROL_HANDSHAKE) SetLine(TIOCM_RTS, rts != RTS_CONTROL_DISABLE);
}

int TPosixPort::SetLine(int Line, bool On) { return ErrorOf(ioctl(FDevice.Get(), On ? TIOCMBIS : TIOCMBIC, &Line)); }

int TPosixPort::GetState(DCB& Dcb) const {
    std::lock_guard lock(FStateLock);
    termios current;
    if (tcgetattr(FDevice.Get(), &current) != 0) return errno;
    Dcb = FState;
    Dcb.DCBlength = sizeof(DCB);
    Dcb.BaudRate = ReadOutputRate(FDevice.Get()).value_or(0);
    DecodeLineSettings(current, Dcb);
    return 0;
}

void TPosixPort::SetTimeouts(const COMMTIMEOUTS& Timeouts) {
    std::lock_guard lock(FStateLock);
    FTimeouts = Timeouts;
}

COMMTIMEOUTS TPosixPort::Timeouts() const {
    std::lock_guard lock(FStateLock);
    return FTimeouts;
}

int TPosixPort::Purge(DWORD Flags) {
    if (Flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) return EINVAL;
    if (Flags & PURGE_TXABORT) FTxAbort.Raise();
    if (Flags & PURGE_RXABORT) FRxAbort.Raise();
    if (Flags & PURGE_TXCLEAR) {
        if (const int error = ErrorOf(tcflush(FDevice.Get(), TCOFLUSH))) return error;
    }
    if (Flags & PURGE_RXCLEAR) return ErrorOf(tcflush(FDevice.Get(), TCIFLUSH));
    return 0;
}

int TPosixPort::QueryStatus(DWORD& Errors, COMSTAT& Stat) {
    int waiting = 0;
    if (ioctl(FDevice.Get(), FIONREAD, &waiting) != 0) return errno;
    int queued = 0;
    if (ioctl(FDevice.Get(), TIOCOUTQ, &queued) != 0) queued = 0;
    Stat = {0, static_cast<DWORD>(waiting), static_cast<DWORD>(queued)};
    Errors = TakeLineErrors();
    return 0;
}

std::optional<TPosixPort::TErrorCounts> TPosixPort::ReadErrorCounts() const {
    serial_icounter_struct counts{};
    if (ioctl(FDevice.Get(), TIOCGICOUNT, &counts) != 0) return {};
    return TErrorCounts{counts.frame, counts.overrun, counts.parity, counts.brk, counts.buf_overrun};
}

// The error kinds counted since the last query; drivers without counters have none.
DWORD TPosixPort::TakeLineErrors() {
    const auto now = ReadErrorCounts();
    std::lock_guard lock(FStateLock);
    DWORD errors = 0;
    if (now && FErrorCounts) {
        const TErrorCounts& before = *FErrorCounts;
        if (now->BufferOverrun != before.BufferOverrun) errors |= CE_RXOVER;
        if (now->Overrun != before.Overrun) errors |= CE_OVERRUN;
        if (now->Parity != before.Parity) errors |= CE_RXPARITY;
        if (now->Frame != before.Frame) errors |= CE_FRAME;
        if (now->Break != before.Break) errors |= CE_BREAK;
    }
    if (now) FErrorCounts = now;
    return errors;
}

int TPosixPort::Read(char* Buffer, DWORD Count, DWORD& Done) {
    Done = 0;
    std::lock_guard lock(FReadLock);
    const uint64_t generation = FRxAbort.Generation();
    if (FClosed) return EBADF;
    const TReadPlan plan = PlanRead(Timeouts(), Count, TTimeoutClock::now());
    TDeadline pauseEnd;
    bool hungUp = false;
    while (Done < Count) {
        const ssize_t n = ::read(FDevice.Get(), Buffer + Done, Count - Done);
        if (n > 0) {
            Done += static_cast<DWORD>(n);
            if (plan.FirstBytes) break;
            if (plan.Interval) pauseEnd = TTimeoutClock::now() + *plan.Interval;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return errno;
        if (plan.AtOnce) break;
        if (const auto end = AwaitDevice(POLLIN, FRxAbort, generation, Earliest(plan.Total, pauseEnd), hungUp))
            return *end;
    }
    return 0;
}

int TPosixPort::Write(const char* Buffer, DWORD Count, DWORD& Done) {
    Done = 0;
    std::lock_guard lock(FWriteLock);
    const uint64_t generation = FTxAbort.Generation();
    if (FClosed) return EBADF;
    const COMMTIMEOUTS timeouts = Timeouts();
    const TDeadline deadline = TotalDeadline(TTimeoutClock::now(), timeouts.WriteTotalTimeoutMultiplier,
                                             timeouts.WriteTotalTimeoutConstant, Count);
    bool hungUp = false;
    while (Done < Count) {
        const ssize_t n = ::write(FDevice.Get(), Buffer + Done, Count - Done);
        if (n > 0) {
            Done += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return errno;
        if (const auto end = AwaitDevice(POLLOUT, FTxAbort, generation, deadline, hungUp)) return *end;
    }
    return 0;
}

std::optional<int> TPosixPort::AwaitDevice(short Events, const TAbortSignal& Abort, uint64_t Generation,
                                           TDeadline Deadline, bool& HungUp) const {
    if (HungUp) return EIO;
    for (;;) {
        pollfd fds[] = {{FDevice.Get(), Events, 0}, {Abort.WakeFd(), POLLIN, 0}};
        const int ready = poll(fds, 2, PollTimeout(Deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (ready == 0) return 0;
        if (fds[1].revents) {
            Abort.Drain();
            if (Abort.Generation() != Generation) return ECANCELED;
        }
        if (fds[0].revents & Events) return {};
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            HungUp = true;
            return {};
        }
    }
}

int TPosixPort::ModemStatus(DWORD& Status) const {
    int lines = 0;
    if (ioctl(FDevice.Get(), TIOCMGET, &lines) != 0) return errno;
    Status = (lines & TIOCM_CTS ? MS_CTS_ON : 0) | (lines & TIOCM_DSR ? MS_DSR_ON : 0) |
             (lines & TIOCM_RNG ? MS_RING_ON : 0) | (lines & TIOCM_CAR ? MS_RLSD_ON : 0);
    return 0;
}

int TPosixPort::Escape(DWORD Func) {
    switch (Func) {
    case SETXOFF: return ErrorOf(tcflow(FDevice.Get(), TCOOFF));
    case SETXON: return ErrorOf(tcflow(FDevice.Get(), TCOON));
    case SETRTS: return SetLine(TIOCM_RTS, true);
    case CLRRTS: return SetLine(TIOCM_RTS, false);
    case SETDTR: return SetLine(TIOCM_DTR, true);
    case CLRDTR: return SetLine(TIOCM_DTR, false);
    case SETBREAK: return ErrorOf(ioctl(FDevice.Get(), TIOCSBRK));
    case CLRBREAK: return ErrorOf(ioctl(FDevice.Get(), TIOCCBRK));
    default: return EINVAL;
    }
}
