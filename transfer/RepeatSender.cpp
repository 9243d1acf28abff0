// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/RepeatSender.h"

#include <algorithm>
#include <exception>

TRepeatSender::TRepeatSender(std::function<void()> Send, std::chrono::milliseconds Period)
    : FSend(std::move(Send)), FPeriod(Period), FThread([this] { Run(); }) {}

TRepeatSender::~TRepeatSender() {
    Stop();
    FThread.join();
}

void TRepeatSender::Stop() {
    {
        std::lock_guard guard(FLock);
        FStop = true;
    }
    FWake.notify_all();
}

bool TRepeatSender::Running() const {
    std::lock_guard guard(FLock);
    return FRunning;
}

std::string TRepeatSender::Failure() const {
    std::lock_guard guard(FLock);
    return FFailure;
}

void TRepeatSender::Run() {
    auto next = std::chrono::steady_clock::now();
    std::unique_lock guard(FLock);
    while (!FStop) {
        guard.unlock();
        try {
            FSend();
        } catch (const std::exception& e) {
            guard.lock();
            FFailure = e.what();
            break;
        }
        guard.lock();
        // A send that overran its period is followed at once, never by a backlog.
        next = std::max(next + FPeriod, std::chrono::steady_clock::now());
        FWake.wait_until(guard, next, [this] { return FStop; });
    }
    FRunning = false;
}
