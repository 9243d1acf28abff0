// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/Thread.h"

#include <chrono>
#include <deque>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

template <>
const TEnumTypeInfo& EnumTypeInfo<TThreadPriority>() {
    static const TEnumTypeInfo info{"TThreadPriority",
                                    {"tpIdle", "tpLowest", "tpLower", "tpNormal", "tpHigher", "tpHighest",
                                     "tpTimeCritical"}};
    return info;
}

namespace {

// The thread that initialised the program is the main thread.
const std::thread::id gMainThreadId = std::this_thread::get_id();

struct TSyncRequest {
    TThreadMethod Method;
    std::exception_ptr Error;
    bool Done = false;
    // Made by Queue: nobody waits for it, and whoever runs it deletes it.
    bool Queued = false;
    uint64_t Serial = 0;
};

struct TSyncQueue {
    std::mutex Lock;
    std::condition_variable Queued;
    std::condition_variable Done;
    std::deque<TSyncRequest*> Requests;
    uint64_t Posted = 0;
    std::function<void()> Wake;
    std::function<void()> ProcessMessages;
};

TSyncQueue& SyncQueue() {
    static TSyncQueue queue;
    return queue;
}

#ifndef _WIN32
// Niceness for each priority; raising above normal needs privileges and
// quietly fails without them.
int NiceOf(TThreadPriority p) {
    static const int nice[] = {19, 10, 5, 0, -5, -10, -20};
    return nice[p];
}
#endif

void Post(TSyncRequest* Request) {
    TSyncQueue& q = SyncQueue();
    std::function<void()> wake;
    {
        std::lock_guard guard(q.Lock);
        Request->Serial = ++q.Posted;
        q.Requests.push_back(Request);
        wake = q.Wake;
    }
    q.Queued.notify_all();
    if (wake) wake();
}

void RunQueued(std::unique_ptr<TSyncRequest> Request) {
    try {
        Request->Method();
    } catch (...) {
        // Nobody waits for a queued method to hear of its failure.
    }
}

}  // namespace

TThread::TThread(bool CreateSuspended) : FCreateSuspended(CreateSuspended) {}

TThread::~TThread() {
    if (!FThread.joinable()) return;
    if (FThread.get_id() == std::this_thread::get_id()) {
        FThread.detach();  // a self-freeing thread ends on its own
        return;
    }
    Terminate();
    FThread.join();
}

void TThread::AfterConstruction() {
    if (!FCreateSuspended) Start();
}

void TThread::Start() {
    if (FStarted.exchange(true)) return;
    // Run waits for this lock, so a thread that frees itself at once cannot
    // be deleted before FThread is stored.
    std::lock_guard guard(FIdLock);
    FThread = std::thread(&TThread::Run, this);
}

void TThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

void TThread::Run() {
    {
        std::lock_guard guard(FIdLock);
#ifdef _WIN32
        FNativeId = static_cast<int>(GetCurrentThreadId());
#else
        FNativeId = static_cast<int>(syscall(SYS_gettid));
#endif
    }
    ApplyPriority();
    try {
        Execute();
    } catch (...) {
        FFatalException = std::current_exception();
    }
    FFinished = true;
    if (FFreeOnTerminate) delete this;
}

void TThread::SetPriority(TThreadPriority Value) {
    FPriority = Value;
    ApplyPriority();
}

void TThread::ApplyPriority() {
    std::lock_guard guard(FIdLock);
    if (FNativeId == 0) return;  // applied when the thread starts
#ifdef _WIN32
    static const int levels[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                                 THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL,
                                 THREAD_PRIORITY_HIGHEST,      THREAD_PRIORITY_TIME_CRITICAL};
    HANDLE h = OpenThread(THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(FNativeId));
    if (h) {
        SetThreadPriority(h, levels[FPriority.load()]);
        CloseHandle(h);
    }
#else
    setpriority(PRIO_PROCESS, static_cast<id_t>(FNativeId), NiceOf(FPriority));
#endif
}

void TThread::Sleep(uint32_t Milliseconds) {
    if (Milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

bool TThread::IsMainThread() { return std::this_thread::get_id() == gMainThreadId; }

void TThread::Synchronize(TThread*, const TThreadMethod& Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    TSyncRequest request{Method, nullptr, false};
    Post(&request);
    TSyncQueue& q = SyncQueue();
    std::unique_lock lock(q.Lock);
    q.Done.wait(lock, [&] { return request.Done; });
    if (request.Error) std::rethrow_exception(request.Error);
}

void TThread::Queue(TThreadMethod Method) {
    Post(new TSyncRequest{std::move(Method), nullptr, false, true});
}

bool CheckSynchronize(int TimeoutMs) {
    if (!TThread::IsMainThread()) return false;
    TSyncQueue& q = SyncQueue();
    bool ran = false;
    std::unique_lock lock(q.Lock);
    if (TimeoutMs > 0)
        q.Queued.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [&] { return !q.Requests.empty(); });
    // One at a time: a method may itself process messages and re-enter here.
    // Only what was queued before this call: a hand-off that queues another
    // (a delivery taken in slices) lets the event loop turn in between.
    const uint64_t last = q.Posted;
    while (!q.Requests.empty() && q.Requests.front()->Serial <= last) {
        TSyncRequest* request = q.Requests.front();
        q.Requests.pop_front();
        lock.unlock();
        if (request->Queued) {
            RunQueued(std::unique_ptr<TSyncRequest>(request));
            lock.lock();
            ran = true;
            continue;
        }
        try {
            request->Method();
        } catch (...) {
            request->Error = std::current_exception();
        }
        lock.lock();
        request->Done = true;
        q.Done.notify_all();
        ran = true;
    }
    return ran;
}

void SetWakeMainThread(std::function<void()> Hook) {
    std::lock_guard guard(SyncQueue().Lock);
    SyncQueue().Wake = std::move(Hook);
}

void ProcessMessages() {
    std::function<void()> hook;
    {
        std::lock_guard guard(SyncQueue().Lock);
        hook = SyncQueue().ProcessMessages;
    }
    if (hook)
        hook();
    else
        CheckSynchronize();
}

void SetProcessMessagesHook(std::function<void()> Hook) {
    std::lock_guard guard(SyncQueue().Lock);
    SyncQueue().ProcessMessages = std::move(Hook);
}
