// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a test asks of its own process on every platform: a wait that serves
// the main thread's hand-offs, the count of open descriptors to catch leaks,
// and whether Windows is only emulated.

#include <chrono>
#include <functional>
#include <string>

// Serves hand-offs on the calling (main) thread until Condition holds or the
// deadline passes; returns Condition's final value.
bool WaitUntil(const std::function<bool()>& Condition,
               std::chrono::milliseconds Deadline = std::chrono::seconds(10));

// The number of descriptors (on Windows: handles) this process has open.
int OpenDescriptorCount();

// True when a Windows build runs under Wine, for the few checks that Wine's
// serial driver cannot pass.
bool RunningUnderWine();

// Why text cannot be UTF-8 in this process, or empty when it is. Windows 10
// (1903 and later) makes UTF-8 the ANSI code page of a program whose manifest
// asks for it, as ours does; Wine keeps the code page of its locale. Linux is
// always UTF-8.
std::string WineCodePageDeviation();
