// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/TransferJob.h"

TTransferJob::TTransferJob(TWork Work) {
    FThread = std::thread([this, Work = std::move(Work)] {
        try {
            Work(FState);
            FOutcome = toDone;
            return;
        } catch (const ETransferFailed& e) {
            FReason = e.Reason();
            std::lock_guard guard(FLock);
            FFailure = e.what();
        } catch (const std::exception& e) {
            // The port closed under the transfer, or a file failed.
            FReason = FState.Cancel ? tfCancelled : tfFile;
            std::lock_guard guard(FLock);
            FFailure = FState.Cancel ? "cancelled" : e.what();
        }
        FOutcome = toFailed;
    });
}

TTransferJob::~TTransferJob() {
    Cancel();
    Wait();
}

void TTransferJob::Wait() {
    if (FThread.joinable()) FThread.join();
}

std::string TTransferJob::Failure() const {
    std::lock_guard guard(FLock);
    return FFailure;
}
