// SPDX-License-Identifier: GPL-3.0-or-later
// Repeating a send: never two at once, no backlog behind a slow one.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "transfer/RepeatSender.h"

namespace {

// A line that takes each send only when the test lets it.
class TSlowLine {
public:
    void Send() {
        std::unique_lock guard(FLock);
        ++FStarted;
        FChanged.notify_all();
        FChanged.wait(guard, [this] { return FAllowed >= FStarted; });
    }
    void Allow(int Count) {
        std::lock_guard guard(FLock);
        FAllowed = Count;
        FChanged.notify_all();
    }
    // Waits until Count sends have begun.
    bool Started(int Count) {
        std::unique_lock guard(FLock);
        return FChanged.wait_for(guard, std::chrono::seconds(10), [&] { return FStarted >= Count; });
    }
    int StartedSoFar() {
        std::lock_guard guard(FLock);
        return FStarted;
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    int FStarted = 0;
    int FAllowed = 0;
};

TEST(RepeatSender, ASlowSendMakesTheNextWaitWithoutABacklog) {
    TSlowLine line;
    TRepeatSender repeat([&] { line.Send(); }, std::chrono::milliseconds(10));
    ASSERT_TRUE(line.Started(1));
    // Many periods pass while the first send hangs; none of them queues a send.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(line.StartedSoFar(), 1);
    line.Allow(1);
    ASSERT_TRUE(line.Started(2));
    EXPECT_EQ(line.StartedSoFar(), 2);
    repeat.Stop();
    line.Allow(1000);
}

TEST(RepeatSender, RepeatsUntilStoppedAndStopsOnAFailure) {
    std::atomic<int> sends{0};
    {
        TRepeatSender repeat([&] { ++sends; }, std::chrono::milliseconds(10));
        while (sends < 5) std::this_thread::yield();
    }
    const int afterStop = sends;
    EXPECT_GE(afterStop, 5);

    TRepeatSender failing([] { throw std::runtime_error("the port is closed"); }, std::chrono::milliseconds(10));
    while (failing.Running()) std::this_thread::yield();
    EXPECT_EQ(failing.Failure(), "the port is closed");
    EXPECT_EQ(sends, afterStop);
}

}  // namespace
