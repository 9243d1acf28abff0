// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One open serial device on POSIX, used by several threads at once: reads run
// beside writes, while settings, purges and line changes come from anywhere.

#include <termios.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "serial/device/CommBackend.h"
#include "serial/device/ReadPlan.h"

// An owned file descriptor.
class TFd {
public:
    explicit TFd(int Fd = -1) : FFd(Fd) {}
    TFd(TFd&& Other) noexcept : FFd(Other.FFd) { Other.FFd = -1; }
    TFd& operator=(TFd&&) = delete;
    ~TFd();

    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }

private:
    int FFd;
};

// Ends the waits of one direction (reads or writes) in progress. Each abort
// starts a new generation; a wait ends when the generation it began in is over,
// so an abort never reaches an operation that starts after it.
class TAbortSignal {
public:
    explicit TAbortSignal(TFd Event) : FEvent(std::move(Event)) {}

    uint64_t Generation() const { return FGeneration.load(); }
    void Raise();
    int WakeFd() const { return FEvent.Get(); }
    void Drain() const;

private:
    TFd FEvent;
    std::atomic<uint64_t> FGeneration{0};
};

// The calls return 0 or an errno value.
class TPosixPort {
public:
    // Opens Path for OpenFlags (O_RDONLY, O_WRONLY or O_RDWR), refuses what is
    // not a terminal (ENOTTY), takes it exclusively (EBUSY when it is in use)
    // and puts it in raw mode.
    static int Open(const std::string& Path, int OpenFlags, std::shared_ptr<TPosixPort>& Port);
    // Restores the settings the device had before Open and closes it.
    ~TPosixPort();
    TPosixPort(const TPosixPort&) = delete;
    TPosixPort& operator=(const TPosixPort&) = delete;

    // Ends the reads and writes in progress; later ones fail with EBADF.
    void Shutdown();

    // A rate or value the driver refuses leaves the previous settings.
    int SetState(const DCB& Dcb);
    int GetState(DCB& Dcb) const;
    void SetTimeouts(const COMMTIMEOUTS& Timeouts);
    int Purge(DWORD Flags);
    int QueryStatus(DWORD& Errors, COMSTAT& Stat);
    int Read(char* Buffer, DWORD Count, DWORD& Done);
    int Write(const char* Buffer, DWORD Count, DWORD& Done);
    int ModemStatus(DWORD& Status) const;
    int Escape(DWORD Func);

private:
    struct TErrorCounts {
        int Frame, Overrun, Parity, Break, BufferOverrun;
    };

    TPosixPort(TFd Device, const termios& Original, std::optional<DWORD> OriginalRate, TFd RxWake, TFd TxWake);

    int Apply(termios Settings, DWORD Rate);
    void SetControlLines(DWORD DcbFlags);
    int SetLine(int Line, bool On);
    COMMTIMEOUTS Timeouts() const;
    DWORD TakeLineErrors();
    std::optional<TErrorCounts> ReadErrorCounts() const;
    // Waits until the device is ready for Events. Returns nothing to go on,
    // or what ends the call: 0 when the deadline passed, ECANCELED after an
    // abort, EIO when a hang-up left nothing to transfer, or poll's error.
    std::optional<int> AwaitDevice(short Events, const TAbortSignal& Abort, uint64_t Generation,
                                   TDeadline Deadline, bool& HungUp) const;

    const TFd FDevice;
    const termios FOriginal;
    const std::optional<DWORD> FOriginalRate;
    TAbortSignal FRxAbort;
    TAbortSignal FTxAbort;
    std::atomic<bool> FClosed{false};
    // One read and one write at a time; a read never waits for a write.
    std::mutex FReadLock;
    std::mutex FWriteLock;
    // Guards the fields below and makes each change of settings whole.
    mutable std::mutex FStateLock;
    DCB FState{};
    COMMTIMEOUTS FTimeouts{};
    std::optional<TErrorCounts> FErrorCounts;
};
