// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/core/Thread.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 10s;

// Pumps the main thread's hand-offs until Done holds or the deadline passes.
bool PumpUntil(const std::function<bool()>& Done) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        CheckSynchronize(10);
    }
    return true;
}

// Waits, without pumping, until Done holds or the deadline passes.
bool WaitUntil(const std::function<bool()>& Done) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs Body as its Execute. Its destructor stops and joins the thread before
// Body goes away, and reports through Destroyed.
class TBodyThread : public TThread {
public:
    using TBody = std::function<void(TBodyThread&)>;

    explicit TBodyThread(TBody Body, bool CreateSuspended = false, bool FreeOnTerminate = false,
                         std::atomic<bool>* Destroyed = nullptr)
        : TThread(CreateSuspended), FBody(std::move(Body)), FDestroyed(Destroyed) {
        SetFreeOnTerminate(FreeOnTerminate);
    }
    ~TBodyThread() override {
        Terminate();
        WaitFor();
        if (FDestroyed) *FDestroyed = true;
    }

protected:
    void Execute() override { FBody(*this); }

private:
    TBody FBody;
    std::atomic<bool>* FDestroyed;
};

using TThreadPtr = std::unique_ptr<TBodyThread>;

TThreadPtr StartThread(TBodyThread::TBody Body, bool CreateSuspended = false) {
    return TThreadPtr(TThread::New<TBodyThread>(std::move(Body), CreateSuspended));
}

TEST(CoreThreadTest, SynchronizeRunsTheMethodOnThePumpingMainThread) {
    bool ranOnMain = false;  // touched by the method only, while the worker waits
    std::atomic<bool> workerContinued{false};
    const TThreadPtr t = StartThread([&](TBodyThread& self) {
        EXPECT_FALSE(TThread::IsMainThread());
        self.Synchronize([&] { ranOnMain = TThread::IsMainThread(); });
        workerContinued = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return t->Finished(); }));
    t->WaitFor();
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(workerContinued);
    EXPECT_EQ(t->FatalException(), nullptr);
}

TEST(CoreThreadTest, AnExceptionOfTheMethodIsRaisedAgainInTheWorker) {
    std::string caught;
    const TThreadPtr t = StartThread([&](TBodyThread& self) {
        try {
            self.Synchronize([] { throw EConvertError("boom"); });
        } catch (const EConvertError& e) {
            caught = e.Message();
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return t->Finished(); }));
    t->WaitFor();
    EXPECT_EQ(caught, "boom");
}

TEST(CoreThreadTest, SynchronizeOnTheMainThreadRunsAtOnce) {
    bool ran = false;
    TThread::Synchronize(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_THROW(TThread::Synchronize(nullptr, [] { throw EConvertError("direct"); }), EConvertError);
    EXPECT_FALSE(CheckSynchronize());
}

TEST(CoreThreadTest, TheWakeHookAnnouncesEachHandOff) {
    std::atomic<int> wakes{0};
    SetWakeMainThread([&] { ++wakes; });
    std::atomic<bool> handedOff{false};
    const TThreadPtr t = StartThread([&](TBodyThread& self) { self.Synchronize([&] { handedOff = true; }); });
    EXPECT_TRUE(WaitUntil([&] { return wakes > 0; }));
    ASSERT_TRUE(PumpUntil([&] { return t->Finished(); }));
    SetWakeMainThread(nullptr);
    t->WaitFor();
    EXPECT_TRUE(handedOff);
    EXPECT_EQ(wakes.load(), 1);
}

TEST(CoreThreadTest, QueuedHandOffsDoNotWaitAndRunInOrderWithSynchronousOnes) {
    // Only the main thread touches Order: the methods run there.
    std::vector<int> order;
    std::atomic<bool> queuedAll{false};
    const TThreadPtr t = StartThread([&](TBodyThread& self) {
        for (int i = 0; i < 100; ++i) TThread::Queue([&order, i] { order.push_back(i); });
        TThread::Queue([] { throw EConvertError("nobody hears of this"); });
        queuedAll = true;  // before any was run: nothing here waited
        self.Synchronize([&] { order.push_back(100); });
    });
    ASSERT_TRUE(WaitUntil([&] { return queuedAll.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return t->Finished(); }));
    t->WaitFor();
    std::vector<int> expected(101);
    for (int i = 0; i <= 100; ++i) expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(order, expected);
    EXPECT_EQ(t->FatalException(), nullptr) << "a queued method's exception stays on the main thread";

    bool ran = false;
    TThread::Queue([&] { ran = true; });
    EXPECT_FALSE(ran) << "queued from the main thread, it waits for the next pump";
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_TRUE(ran);
}

TEST(CoreThreadTest, AHandOffQueuedByARunningOneWaitsForTheNextPump) {
    // So a chain of them lets an event loop turn between its links.
    int links = 0;
    std::function<void()> link = [&] {
        if (++links < 3) TThread::Queue(link);
    };
    TThread::Queue(link);
    for (int pump = 1; pump <= 3; ++pump) {
        EXPECT_TRUE(CheckSynchronize());
        EXPECT_EQ(links, pump);
    }
    EXPECT_FALSE(CheckSynchronize());
}

TEST(CoreThreadTest, ProcessMessagesRunsHandOffsOrTheInstalledHook) {
    std::atomic<bool> handedOff{false};
    const TThreadPtr t = StartThread([&](TBodyThread& self) { self.Synchronize([&] { handedOff = true; }); });
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!t->Finished() && std::chrono::steady_clock::now() < deadline) ProcessMessages();
    t->WaitFor();
    EXPECT_TRUE(handedOff);

    int hookCalls = 0;
    SetProcessMessagesHook([&] { ++hookCalls; });
    ProcessMessages();
    SetProcessMessagesHook(nullptr);
    EXPECT_EQ(hookCalls, 1);
}

TEST(CoreThreadTest, ASelfFreeingThreadDeletesItselfWhenExecuteReturns) {
    // Repeated: a thread that ends at once used to race with its own start.
    for (int i = 0; i < 20; ++i) {
        std::atomic<bool> destroyed{false};
        TThread::New<TBodyThread>([](TBodyThread&) {}, false, true, &destroyed);
        ASSERT_TRUE(WaitUntil([&] { return destroyed.load(); })) << "round " << i;
    }
}

TEST(CoreThreadTest, ASelfFreeingThreadCreatedSuspendedRunsOnStart) {
    std::atomic<bool> destroyed{false};
    std::atomic<bool> ran{false};
    TBodyThread* t = TThread::New<TBodyThread>([&](TBodyThread&) { ran = true; }, true, true, &destroyed);
    EXPECT_FALSE(ran);
    t->Start();
    ASSERT_TRUE(WaitUntil([&] { return destroyed.load(); }));
    EXPECT_TRUE(ran);
}

TEST(CoreThreadTest, ASuspendedThreadStartsOnceOnStart) {
    std::atomic<int> runs{0};
    const TThreadPtr t = StartThread([&](TBodyThread&) { ++runs; }, true);
    EXPECT_FALSE(t->Finished());
    t->Start();
    t->Start();
    t->WaitFor();
    EXPECT_TRUE(t->Finished());
    EXPECT_EQ(runs.load(), 1);
}

TEST(CoreThreadTest, WaitForReturnsOnceTheBodyHasSeenTerminate) {
    const TThreadPtr t = StartThread([](TBodyThread& self) {
        while (!self.Terminated()) TThread::Sleep(1);
    });
    EXPECT_FALSE(t->Terminated());
    t->Terminate();
    t->WaitFor();
    EXPECT_TRUE(t->Finished());
}

TEST(CoreThreadTest, AnExceptionEscapingExecuteIsKept) {
    const TThreadPtr t = StartThread([](TBodyThread&) { throw EConvertError("escaped"); });
    t->WaitFor();
    ASSERT_NE(t->FatalException(), nullptr);
    try {
        std::rethrow_exception(t->FatalException());
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "escaped");
    }
}

TEST(CoreThreadTest, SleepZeroOnlyYieldsAndSleepWaitsAtLeastItsTime) {
    TThread::Sleep(0);
    const auto start = std::chrono::steady_clock::now();
    TThread::Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
}

}  // namespace
