// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Threads and the hand-off of work to the main thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "toolkit/core/Classes.h"

enum TThreadPriority : uint8_t { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

template <>
const TEnumTypeInfo& EnumTypeInfo<TThreadPriority>();

using TThreadMethod = std::function<void()>;

// A thread object. Its body, Execute, starts once the object is fully
// constructed: create threads with TThread::New<T>(...) (or construct them
// suspended and call Start). With FreeOnTerminate the object deletes itself on
// its own thread after Execute returns; otherwise its destructor asks it to
// stop and waits.
class TThread : public TObject {
public:
    explicit TThread(bool CreateSuspended = false);
    ~TThread() override;

    template <class T, class... Args>
    static T* New(Args&&... args) {
        T* thread = new T(std::forward<Args>(args)...);
        thread->AfterConstruction();
        return thread;
    }

    void Start();
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    // Blocks until Execute has returned; not for self-freeing threads.
    void WaitFor();

    bool GetFreeOnTerminate() const { return FFreeOnTerminate; }
    void SetFreeOnTerminate(bool Value) { FFreeOnTerminate = Value; }
    TThreadPriority GetPriority() const { return FPriority; }
    // Best effort: on POSIX lowering works for everyone, raising needs privileges.
    void SetPriority(TThreadPriority Value);

    // An exception that escaped Execute, kept for the owner of a thread that
    // does not free itself.
    std::exception_ptr FatalException() const { return FFatalException; }

    // 0 only yields the processor.
    static void Sleep(uint32_t Milliseconds);
    static bool IsMainThread();

    // On the main thread runs Method at once; elsewhere queues it for the main
    // thread, wakes it and waits until it has run. An exception thrown by
    // Method is raised again in the waiting thread.
    static void Synchronize(TThread* AThread, const TThreadMethod& Method);
    void Synchronize(const TThreadMethod& Method) { Synchronize(this, Method); }
    // Queues Method for the main thread and wakes it without waiting, from
    // any thread (the main thread too: it runs at the next CheckSynchronize).
    // Hand-offs run in the order they were made, queued or synchronous; an
    // exception thrown by Method goes nowhere.
    static void Queue(TThreadMethod Method);

protected:
    virtual void Execute() = 0;
    // Starts the thread unless it was created suspended.
    void AfterConstruction();

private:
    void Run();
    void ApplyPriority();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FFreeOnTerminate{false};
    std::atomic<TThreadPriority> FPriority{tpNormal};
    std::atomic<bool> FStarted{false};
    bool FCreateSuspended;
    std::exception_ptr FFatalException;
    int FNativeId = 0;
    std::mutex FIdLock;
};

// Runs the hand-offs queued for the main thread; waits up to TimeoutMs for one
// to arrive when none is queued. Those queued while they run wait for the next
// call. Returns whether any ran. Only on the main thread.
bool CheckSynchronize(int TimeoutMs = 0);

// Called, from any thread, whenever a hand-off is queued, so an event loop can
// wake up and call CheckSynchronize.
void SetWakeMainThread(std::function<void()> Hook);

// Handles the main thread's pending messages: by default only the hand-offs;
// a windowing layer installs its own (its event loop, then CheckSynchronize).
void ProcessMessages();
void SetProcessMessagesHook(std::function<void()> Hook);
