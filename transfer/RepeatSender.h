// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sends the same thing again and again on a thread of its own, once a period.
// A send that is still under way makes the next one wait: nothing queues up
// behind a slow line, and the caller's thread never blocks on the line.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TRepeatSender {
public:
    // Send raises to stop the repeating; Failure then says why.
    TRepeatSender(std::function<void()> Send, std::chrono::milliseconds Period);
    // Stops and waits for a send under way.
    ~TRepeatSender();
    TRepeatSender(const TRepeatSender&) = delete;
    TRepeatSender& operator=(const TRepeatSender&) = delete;

    // Asks the thread to stop without waiting for it.
    void Stop();
    bool Running() const;
    std::string Failure() const;

private:
    void Run();

    const std::function<void()> FSend;
    const std::chrono::milliseconds FPeriod;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FStop = false;     // under FLock
    bool FRunning = true;   // under FLock
    std::string FFailure;   // under FLock
    std::thread FThread;
};
