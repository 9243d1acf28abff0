// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and closing the port, the line settings, the receive thread's
// lifetime and the system timer resolution.
#include "serial/OrvelSerialPort.h"

#include <memory>

namespace {

// Flag word bits of the line-settings record.
constexpr DWORD dcb_Binary = 0x0001;
constexpr DWORD dcb_ParityCheck = 0x0002;
constexpr DWORD dcb_OutxCtsFlow = 0x0004;
constexpr DWORD dcb_OutxDsrFlow = 0x0008;
constexpr DWORD dcb_DtrControlEnable = 0x0010;
constexpr DWORD dcb_DtrControlHandshake = 0x0020;
constexpr DWORD dcb_DsrSensivity = 0x0040;
constexpr DWORD dcb_TXContinueOnXoff = 0x0080;
constexpr DWORD dcb_OutX = 0x0100;
constexpr DWORD dcb_InX = 0x0200;
constexpr DWORD dcb_ErrorChar = 0x0400;
constexpr DWORD dcb_NullStrip = 0x0800;
constexpr DWORD dcb_RtsControlEnable = 0x1000;
constexpr DWORD dcb_RtsControlHandshake = 0x2000;

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr int kCloseWaitRounds = 500;
constexpr uint32_t kCloseWaitStepMs = 10;

using TTimePeriodProc = unsigned (*)(unsigned);

// A winmm entry point looked up through the current backend; the lookup is
// kept only for the backend that answered it, and a failed one is retried.
struct TTimePeriodLink {
    explicit TTimePeriodLink(const char* AName) : Name(AName) {}
    const char* Name;
    const TCommBackend* Backend = nullptr;
    TTimePeriodProc Proc = nullptr;
    std::mutex Lock;
};

TTimePeriodLink _timeBeginPeriod("timeBeginPeriod");
TTimePeriodLink _timeEndPeriod("timeEndPeriod");

void CallTimePeriod(TTimePeriodLink& Link, uint32_t Period) {
    TTimePeriodProc proc;
    {
        std::lock_guard guard(Link.Lock);
        const TCommBackend* backend = &CommBackend();
        if (Link.Backend != backend || !Link.Proc) {
            Link.Backend = backend;
            Link.Proc = reinterpret_cast<TTimePeriodProc>(LinkAPI("winmm.dll", Link.Name));
        }
        proc = Link.Proc;
    }
    if (proc) proc(Period);
}

// The system's text for an error, without the trailing blanks, line breaks
// and full stops it often ends with.
AnsiString ErrorText(DWORD Error) {
    AnsiString text = SysErrorMessage(static_cast<int>(Error));
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) text.pop_back();
    return text;
}

}  // namespace

FARPROC LinkAPI(const char* Module, const char* FunctionName) {
    TCommBackend& backend = CommBackend();
    HMODULE module = backend.GetModuleHandleA(Module);
    if (!module) module = backend.LoadLibraryA(Module);
    if (!module) return nullptr;
    return backend.GetProcAddress(module, FunctionName);
}

void TimeBeginPeriod(uint32_t Period) { CallTimePeriod(_timeBeginPeriod, Period); }
void TimeEndPeriod(uint32_t Period) { CallTimePeriod(_timeEndPeriod, Period); }

// ---- the component ----------------------------------------------------------

TOrvelSerialPort::~TOrvelSerialPort() {
    // The receive thread uses this component until its teardown has run, so an
    // open port is closed first and any thread still running is waited for.
    Close();
    WaitForThreads();
}

HANDLE TOrvelSerialPort::CurrentDevice() const {
    std::lock_guard guard(FLock);
    return ComThread ? ComThread->ComDevice : INVALID_HANDLE_VALUE;
}

void TOrvelSerialPort::Open() {
    const TCommPort target = GetCommPort();
    if (target == ConnectedTo) return;
    if (HasComThread()) Close();
    if (WantsFineTimer()) TimeBeginPeriod(1);

    std::unique_ptr<TComThread> thread(new TComThread(this));
    if (ConnectedTo == spNone) {
        const DWORD error = thread->FOpenError;
        EndUnstarted(std::move(thread));
        throw EOrvelSerialPortException(Format(MsgStrCannotConnect, {GetPortName(), ErrorText(error)}));
    }
    try {
        thread->RaiseEvent(&TComThread::DoExecuteConnect);
        if (ConnectedTo == spNone) return EndUnstarted(std::move(thread));  // OnConnect closed it
        {
            std::lock_guard guard(FLock);
            ComThread = thread.get();
        }
        thread->Start();
        thread.release();  // it frees itself from now on
    } catch (...) {
        // A throwing OnConnect, or a thread that cannot start, must not leave
        // the device held by a connection that has no thread.
        EndUnstarted(std::move(thread));
        throw;
    }
}

void TOrvelSerialPort::EndUnstarted(std::unique_ptr<TComThread> Thread) {
    Thread.reset();  // its teardown runs here: OnDisconnect, the device closed
    Close();
}

void TOrvelSerialPort::Close() {
    if (WantsFineTimer()) TimeEndPeriod(1);
    {
        std::lock_guard guard(FLock);
        if (!ComThread) {
            ConnectedTo = spNone;
            return;
        }
        ComThread->Terminate();
    }
    for (int round = 0; round < kCloseWaitRounds && ConnectedTo != spNone; ++round) {
        // Again in every round: an abort reaches only the calls already in progress.
        AbortDeviceCalls();
        ProcessMessages();
        TThread::Sleep(kCloseWaitStepMs);  // the loop's pause ends within a step of the request
    }
    std::lock_guard guard(FLock);
    if (ConnectedTo != spNone) {
        // The thread did not finish in time: it is abandoned and must not
        // touch the state of a later connection when it finally ends.
        ++FConnectionId;
        ConnectedTo = spNone;
    }
    ComThread = nullptr;
}

void TOrvelSerialPort::AbortDeviceCalls() {
    // A read that waits for bytes a purge threw away would otherwise hold the
    // receive thread, and with it the device, for good.
    Purge(PURGE_TXABORT | PURGE_RXABORT);
}

bool TOrvelSerialPort::HasComThread() const {
    std::lock_guard guard(FLock);
    return ComThread != nullptr;
}

void TOrvelSerialPort::WaitForThreads() {
    // A delivery handed off but not yet run refers to this component too.
    while (FLiveThreads > 0 || DeliveryWaiting()) {
        ProcessMessages();
        TThread::Sleep(1);
    }
}

void TOrvelSerialPort::SetPriority(TThreadPriority Value) {
    if (Value == FPriority) return;
    FPriority = Value;
    std::lock_guard guard(FLock);
    if (ComThread) ComThread->SetPriority(Value);
}

// ---- line settings, time-outs and queue sizes --------------------------------

DCB TOrvelSerialPort::BuildDCB() const {
    DWORD flags = dcb_Binary;
    if (FParityCheck) flags |= dcb_ParityCheck;
    if (FHwFlowControl == hfRTSCTS) flags |= dcb_OutxCtsFlow;
    if (FHwFlowControl == hfDTRDSR) flags |= dcb_OutxDsrFlow;
    // Handshake governs a line when both it and the enable setting apply: a
    // user who picks hardware flow control gets it.
    if (FHwFlowControl == hfDTRDSR)
        flags |= dcb_DtrControlHandshake;
    else if (FEnableDTROnOpen)
        flags |= dcb_DtrControlEnable;
    if (FHwFlowControl == hfRTSCTS)
        flags |= dcb_RtsControlHandshake;
    else if (FEnableRTSOnOpen)
        flags |= dcb_RtsControlEnable;
    if (FDsrSensitivity) flags |= dcb_DsrSensivity;
    if (FTXContinueOnXoff) flags |= dcb_TXContinueOnXoff;
    if (FSwFlowControl == sfXONXOFF) flags |= dcb_OutX | dcb_InX;
    if (FReplaceParityErrors) flags |= dcb_ErrorChar;
    if (FDiscardNulls) flags |= dcb_NullStrip;

    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(FBaudRate);
    dcb.Flags = flags;
    dcb.XonLim = FXonLim != 0 ? FXonLim : static_cast<uint16_t>(FInputBuffer / 4);
    dcb.XoffLim = FXoffLim;
    dcb.ByteSize = FDataWidth;
    dcb.Parity = FParity;
    dcb.StopBits = FStopBits;
    dcb.XonChar = FXonChar;
    dcb.XoffChar = FXoffChar;
    dcb.ErrorChar = FErrorChar;
    dcb.EofChar = FEofChar;
    return dcb;
}

bool TOrvelSerialPort::SetDCBState(HANDLE ComDevice) {
    if (ComDevice == INVALID_HANDLE_VALUE) return false;
    // Data received under the old settings is meaningless under the new ones.
    const HANDLE current = CurrentDevice();
    if (current != INVALID_HANDLE_VALUE) CommBackend().PurgeComm(current, PURGE_RXCLEAR);
    DCB dcb = BuildDCB();
    if (CommBackend().SetCommState(ComDevice, &dcb)) return true;
    Close();
    return false;
}

bool TOrvelSerialPort::SetTimeOuts(HANDLE ComDevice) {
    if (ComDevice == INVALID_HANDLE_VALUE) return false;
    COMMTIMEOUTS timeouts{FReadIntervalTimeout, FReadTotalTimeoutMultiplier, FReadTotalTimeoutConstant,
                          FWriteTotalTimeoutMultiplier, FWriteTotalTimeoutConstant};
    return CommBackend().SetCommTimeouts(ComDevice, &timeouts) != 0;
}

bool TOrvelSerialPort::SetBuffers(HANDLE ComDevice) {
    if (ComDevice == INVALID_HANDLE_VALUE) return false;
    return CommBackend().SetupComm(ComDevice, FInputBuffer, FOutputBuffer) != 0;
}

// ---- the receive thread's lifetime -------------------------------------------

TComThread::TComThread(TOrvelSerialPort* AOwner) : TThread(true), Owner(AOwner) {
    ++Owner->FLiveThreads;
    {
        std::lock_guard guard(Owner->FLock);
        FConnectionId = ++Owner->FConnectionId;
        Owner->ConnectedTo = spNone;
        Owner->FEntireBuffer.clear();
    }
    SetFreeOnTerminate(true);
    SetPriority(Owner->FPriority);

    const AnsiString path = "\\\\.\\" + Owner->GetPortName();
    ComDevice = CommBackend().CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, 0);
    if (ComDevice == INVALID_HANDLE_VALUE) {
        FOpenError = CommBackend().GetLastError();
        Owner->Close();
        return;
    }
    try {
        Owner->SetDCBState(ComDevice);
        Owner->SetTimeOuts(ComDevice);
        Owner->SetBuffers(ComDevice);
    } catch (...) {
        // Taken at once, before the calls of Close overwrite it.
        FOpenError = CommBackend().GetLastError();
        if (FOpenError == 0) FOpenError = ERROR_GEN_FAILURE;
        Owner->Close();
        return;
    }
    FPort = Owner->GetCommPort();
    const AnsiString name = Owner->GetPortName();
    {
        std::lock_guard guard(Owner->FLock);
        Owner->FConnectedName = name;
    }
    Owner->ConnectedTo = FPort;
}

TComThread::~TComThread() {
    if (FPort != spNone && IsCurrent()) {
        try {
            RaiseEvent(&TComThread::DoExecuteDisconnect);
        } catch (...) {
            // A failing handler must not keep the device open.
        }
    }
    {
        std::lock_guard guard(Owner->FLock);
        if (Owner->ComThread == this) Owner->ComThread = nullptr;
    }
    if (ComDevice != INVALID_HANDLE_VALUE) {
        CommBackend().PurgeComm(ComDevice, kPurgeAll);
        CommBackend().CloseHandle(ComDevice);
        ComDevice = INVALID_HANDLE_VALUE;
    }
    {
        std::lock_guard guard(Owner->FLock);
        if (Owner->FConnectionId == FConnectionId) Owner->ConnectedTo = spNone;
    }
    --Owner->FLiveThreads;  // the last use of Owner
}

bool TComThread::IsCurrent() const {
    std::lock_guard guard(Owner->FLock);
    return Owner->FConnectionId == FConnectionId;
}

void TComThread::Deliver(const std::function<void()>& Raiser) {
    if (!Owner->FNeedSynchronization) return Raiser();
    // The main thread takes received data in slices: what came before the
    // event is delivered before it.
    if (!TThread::IsMainThread()) Owner->WaitUntilDelivered();
    Synchronize(Raiser);
}

void TComThread::RaiseEvent(void (TComThread::*Raiser)()) {
    Deliver([this, Raiser] { (this->*Raiser)(); });
}

void TComThread::DoExecuteConnect() { RaiseConnectEvent(Owner->GetOnConnect()); }

void TComThread::DoExecuteDisconnect() { RaiseConnectEvent(Owner->GetOnDisconnect()); }

// A hand-off may run late: by then Close may have given up on this connection
// and another may be open, which this one must not report on.
void TComThread::RaiseConnectEvent(const TConnectEvent& Handler) {
    if (Handler && IsCurrent()) Handler(Owner, FPort);
}
