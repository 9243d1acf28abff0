// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file transfer on a thread of its own, which a window follows through its
// state and can cancel.

#include <functional>
#include <thread>

#include "transfer/Modem.h"

class TTransferJob {
public:
    enum TOutcome : uint8_t { toRunning, toDone, toFailed };
    using TWork = std::function<void(TTransferState& State)>;

    // Starts Work at once.
    explicit TTransferJob(TWork Work);
    // Cancels and waits for the thread.
    ~TTransferJob();
    TTransferJob(const TTransferJob&) = delete;
    TTransferJob& operator=(const TTransferJob&) = delete;

    const TTransferState& State() const { return FState; }
    void Cancel() { FState.Cancel = true; }
    void Wait();
    TOutcome Outcome() const { return FOutcome; }
    // Why it failed, for toFailed.
    std::string Failure() const;
    TTransferFailure Reason() const { return FReason; }

private:
    TTransferState FState;
    std::atomic<TOutcome> FOutcome{toRunning};
    std::atomic<TTransferFailure> FReason{tfCancelled};
    mutable std::mutex FLock;
    std::string FFailure;  // under FLock
    std::thread FThread;
};
