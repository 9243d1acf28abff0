#pragma once
// What a test asks of its own process on every platform: a wait that serves
// the main thread's hand-offs, the count of open descriptors to catch leaks,
// and whether Windows is only emulated.

#include <chrono>
#include <functional>

// Serves hand-offs on the calling (main) thread until Condition holds or the
// deadline passes; returns Condition's final value.
bool WaitUntil(const std::function<bool()>& Condition,
               std::chrono::milliseconds Deadline = std::chrono::seconds(10));

// The number of descriptors (on Windows: handles) this process has open.
int OpenDescriptorCount();

// True when a Windows build runs under Wine, for the few checks that Wine's
// serial driver cannot pass.
bool RunningUnderWine();
