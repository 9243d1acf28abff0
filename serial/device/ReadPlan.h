// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the time-outs of a handle shape its reads and writes, for the backends
// that implement them themselves.

#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>

#include "serial/device/CommBackend.h"

using TTimeoutClock = std::chrono::steady_clock;
using TDeadline = std::optional<TTimeoutClock::time_point>;

// Longer limits cannot be told apart and would overflow the clock.
inline constexpr uint64_t LongestLimitMs = 365ull * 24 * 3600 * 1000;

// Multiplier x Count + Constant milliseconds from Start; none when that is 0.
inline TDeadline TotalDeadline(TTimeoutClock::time_point Start, DWORD Multiplier, DWORD Constant, DWORD Count) {
    const uint64_t limit = uint64_t{Multiplier} * Count + Constant;
    if (limit == 0) return {};
    return Start + std::chrono::milliseconds(std::min(limit, LongestLimitMs));
}

inline TDeadline Earliest(TDeadline A, TDeadline B) {
    if (!A || !B) return A ? A : B;
    return std::min(*A, *B);
}

// Milliseconds left until Deadline for poll: -1 without one.
inline int PollTimeout(TDeadline Deadline) {
    if (!Deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*Deadline - TTimeoutClock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// How a read of Count bytes ends under the time-outs.
struct TReadPlan {
    bool AtOnce = false;      // with whatever is waiting, possibly nothing
    bool FirstBytes = false;  // as soon as anything arrived, or at Total
    TDeadline Total;
    std::optional<std::chrono::milliseconds> Interval;  // longest pause after a byte
};

inline TReadPlan PlanRead(const COMMTIMEOUTS& T, DWORD Count, TTimeoutClock::time_point Start) {
    TReadPlan plan;
    if (T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutMultiplier == 0 && T.ReadTotalTimeoutConstant == 0) {
        plan.AtOnce = true;
    } else if (T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutMultiplier == MAXDWORD &&
               T.ReadTotalTimeoutConstant != 0 && T.ReadTotalTimeoutConstant != MAXDWORD) {
        plan.FirstBytes = true;
        plan.Total = TotalDeadline(Start, 0, T.ReadTotalTimeoutConstant, Count);
    } else {
        plan.Total = TotalDeadline(Start, T.ReadTotalTimeoutMultiplier, T.ReadTotalTimeoutConstant, Count);
        if (T.ReadIntervalTimeout != 0) plan.Interval = std::chrono::milliseconds(T.ReadIntervalTimeout);
    }
    return plan;
}
