// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial port component: settings, opening and closing, the receive
// thread, sending, port discovery, line control and the input log.

#include <atomic>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "serial/device/CommBackend.h"
#include "toolkit/core/Classes.h"
#include "toolkit/core/Set.h"
#include "toolkit/core/SysUtils.h"
#include "toolkit/core/Thread.h"

// Ordinals are fixed: form files store them by name, and the member for port
// n has ordinal n.
enum TCommPort : uint8_t {
    spNone,
    spCOM1, spCOM2, spCOM3, spCOM4, spCOM5, spCOM6, spCOM7, spCOM8, spCOM9, spCOM10,
    spCOM11, spCOM12, spCOM13, spCOM14, spCOM15, spCOM16, spCOM17, spCOM18, spCOM19, spCOM20,
    spCOM21, spCOM22, spCOM23, spCOM24, spCOM25, spCOM26, spCOM27, spCOM28, spCOM29, spCOM30,
    spCOM31, spCOM32, spCOM33, spCOM34, spCOM35, spCOM36, spCOM37, spCOM38, spCOM39, spCOM40,
    spCOM41, spCOM42, spCOM43, spCOM44, spCOM45, spCOM46, spCOM47, spCOM48, spCOM49, spCOM50,
    spCOM51, spCOM52, spCOM53, spCOM54, spCOM55, spCOM56, spCOM57, spCOM58, spCOM59, spCOM60,
    spCOM61, spCOM62, spCOM63, spCOM64, spCOM65, spCOM66, spCOM67, spCOM68, spCOM69, spCOM70,
    spCOM71, spCOM72, spCOM73, spCOM74, spCOM75, spCOM76, spCOM77, spCOM78, spCOM79, spCOM80,
    spCOM81, spCOM82, spCOM83, spCOM84, spCOM85, spCOM86, spCOM87, spCOM88, spCOM89, spCOM90,
    spCOM91, spCOM92, spCOM93, spCOM94, spCOM95, spCOM96, spCOM97, spCOM98, spCOM99, spCOM100,
    spCOM101, spCOM102, spCOM103, spCOM104, spCOM105, spCOM106, spCOM107, spCOM108, spCOM109, spCOM110,
    spCOM111, spCOM112, spCOM113, spCOM114, spCOM115, spCOM116, spCOM117, spCOM118, spCOM119, spCOM120,
    spCOM121, spCOM122, spCOM123, spCOM124, spCOM125, spCOM126, spCOM127, spCOM128, spCOM129, spCOM130,
    spCOM131, spCOM132, spCOM133, spCOM134, spCOM135, spCOM136, spCOM137, spCOM138, spCOM139, spCOM140,
    spCOM141, spCOM142, spCOM143, spCOM144, spCOM145, spCOM146, spCOM147, spCOM148, spCOM149, spCOM150,
    spCOM151, spCOM152, spCOM153, spCOM154, spCOM155, spCOM156, spCOM157, spCOM158, spCOM159, spCOM160,
    spCOM161, spCOM162, spCOM163, spCOM164, spCOM165, spCOM166, spCOM167, spCOM168, spCOM169, spCOM170,
    spCOM171, spCOM172, spCOM173, spCOM174, spCOM175, spCOM176, spCOM177, spCOM178, spCOM179, spCOM180,
    spCOM181, spCOM182, spCOM183, spCOM184, spCOM185, spCOM186, spCOM187, spCOM188, spCOM189, spCOM190,
    spCOM191, spCOM192, spCOM193, spCOM194, spCOM195, spCOM196, spCOM197, spCOM198, spCOM199, spCOM200,
    spCOM201, spCOM202, spCOM203, spCOM204, spCOM205, spCOM206, spCOM207, spCOM208, spCOM209, spCOM210,
    spCOM211, spCOM212, spCOM213, spCOM214, spCOM215, spCOM216, spCOM217, spCOM218, spCOM219, spCOM220,
    spCOM221, spCOM222, spCOM223, spCOM224, spCOM225, spCOM226, spCOM227, spCOM228, spCOM229, spCOM230,
    spCOM231, spCOM232, spCOM233, spCOM234, spCOM235, spCOM236, spCOM237, spCOM238, spCOM239, spCOM240,
    spCOM241, spCOM242, spCOM243, spCOM244, spCOM245, spCOM246, spCOM247, spCOM248, spCOM249, spCOM250,
    spCOM251, spCOM252, spCOM253, spCOM254,
    spCustom
};
static_assert(spCOM254 == 254 && spCustom == 255);

enum TBaudRate : uint8_t {
    br000075, br000110, br000134, br000150, br000300, br000600, br001200, br001800,
    br002400, br004800, br007200, br009600, br014400, br019200, br038400, br057600,
    br115200, br128000, br230400, br256000, br460800, br921600, brCustom
};
enum TDataWidth : uint8_t { dw5Bits, dw6Bits, dw7Bits, dw8Bits };
enum TStopBits : uint8_t { sb1Bit, sb1_5Bits, sb2Bits };
enum TParityBits : uint8_t { pbNone, pbOdd, pbEven, pbMark, pbSpace };
enum THwFlowControl : uint8_t { hfNONE, hfDTRDSR, hfRTSCTS };
enum TSwFlowControl : uint8_t { sfNONE, sfXONXOFF };
enum TLineStatus : uint8_t { lsCTS, lsDSR, lsRING, lsCD };

using TCommPortSet = Set<TCommPort, 256>;
using TLineStatusSet = Set<TLineStatus, 4>;

template <> const TEnumTypeInfo& EnumTypeInfo<TCommPort>();
template <> const TEnumTypeInfo& EnumTypeInfo<TBaudRate>();
template <> const TEnumTypeInfo& EnumTypeInfo<TDataWidth>();
template <> const TEnumTypeInfo& EnumTypeInfo<TStopBits>();
template <> const TEnumTypeInfo& EnumTypeInfo<TParityBits>();
template <> const TEnumTypeInfo& EnumTypeInfo<THwFlowControl>();
template <> const TEnumTypeInfo& EnumTypeInfo<TSwFlowControl>();

using TConnectEvent = std::function<void(TObject* Sender, TCommPort Port)>;
using TSendReceiveEvent = std::function<void(TObject* Sender, AnsiString Buffer)>;
using TLineStatusEvent = std::function<void(TObject* Sender, TLineStatusSet LineStatus)>;
// LogFile: the file that could not be written; Message: why, as the log says it.
using TLogErrorEvent = std::function<void(TObject* Sender, UnicodeString LogFile, AnsiString Message)>;

class EOrvelSerialPortException : public Exception {
public:
    using Exception::Exception;
};

extern const char* const MsgStrInvalidCombination;
extern const char* const MsgStrCannotConnect;
extern const char* const MsgInvalidLogFile;
extern const char* const MsgStrNotConnected;

class TComThread;

class TOrvelSerialPort : public TComponent {
    OSTRA_CLASSINFO()
public:
    explicit TOrvelSerialPort(TComponent* AOwner);
    ~TOrvelSerialPort() override;

    // ---- conversions ----
    static TCommPort StringToCommPort(const AnsiString& Port);
    AnsiString CommPortToString(TCommPort Port) const;
    int32_t BaudRateToInt(TBaudRate pBaudRate) const;
    static TBaudRate IntToBaudRate(int32_t Value);
    // The rates of br000075 to br921600, in that order.
    static const std::array<int32_t, brCustom>& StandardBaudRates();

    // ---- published properties ----
    TCommPort GetCommPort() const;
    void SetCommPort(TCommPort Value);
    TBaudRate GetBaudRate() const;
    void SetBaudRate(TBaudRate Value);
    TDataWidth GetDataWidth() const;
    void SetDataWidth(TDataWidth Value);
    TStopBits GetStopBits() const;
    void SetStopBits(TStopBits Value);
    TParityBits GetParity() const;
    void SetParity(TParityBits Value);

    bool GetEnableDTROnOpen() const { return FEnableDTROnOpen; }
    void SetEnableDTROnOpen(bool Value) { SetAndReapply(FEnableDTROnOpen, Value); }
    bool GetEnableRTSOnOpen() const { return FEnableRTSOnOpen; }
    void SetEnableRTSOnOpen(bool Value) { SetAndReapply(FEnableRTSOnOpen, Value); }
    THwFlowControl GetHwFlowControl() const { return FHwFlowControl; }
    void SetHwFlowControl(THwFlowControl Value) { SetAndReapply(FHwFlowControl, Value); }
    TSwFlowControl GetSwFlowControl() const { return FSwFlowControl; }
    void SetSwFlowControl(TSwFlowControl Value) { SetAndReapply(FSwFlowControl, Value); }
    char GetXonChar() const { return FXonChar; }
    void SetXonChar(char Value) { SetAndReapply(FXonChar, Value); }
    char GetXoffChar() const { return FXoffChar; }
    void SetXoffChar(char Value) { SetAndReapply(FXoffChar, Value); }
    uint16_t GetXonLim() const { return FXonLim; }
    void SetXonLim(uint16_t Value) { SetAndReapply(FXonLim, Value); }
    uint16_t GetXoffLim() const { return FXoffLim; }
    void SetXoffLim(uint16_t Value) { SetAndReapply(FXoffLim, Value); }
    bool GetParityCheck() const { return FParityCheck; }
    void SetParityCheck(bool Value) { SetAndReapply(FParityCheck, Value); }
    bool GetReplaceParityErrors() const { return FReplaceParityErrors; }
    void SetReplaceParityErrors(bool Value) { SetAndReapply(FReplaceParityErrors, Value); }
    bool GetDiscardNulls() const { return FDiscardNulls; }
    void SetDiscardNulls(bool Value) { SetAndReapply(FDiscardNulls, Value); }
    bool GetDsrSensitivity() const { return FDsrSensitivity; }
    void SetDsrSensitivity(bool Value) { SetAndReapply(FDsrSensitivity, Value); }
    bool GetTXContinueOnXoff() const { return FTXContinueOnXoff; }
    void SetTXContinueOnXoff(bool Value) { SetAndReapply(FTXContinueOnXoff, Value); }
    char GetErrorChar() const { return FErrorChar; }
    void SetErrorChar(char Value) { SetAndReapply(FErrorChar, Value); }
    char GetEofChar() const { return FEofChar; }
    void SetEofChar(char Value) { SetAndReapply(FEofChar, Value); }

    uint32_t GetReadIntervalTimeout() const { return FReadIntervalTimeout; }
    void SetReadIntervalTimeout(uint32_t Value) { FReadIntervalTimeout = Value; }
    uint32_t GetReadTotalTimeoutMultiplier() const { return FReadTotalTimeoutMultiplier; }
    void SetReadTotalTimeoutMultiplier(uint32_t Value) { FReadTotalTimeoutMultiplier = Value; }
    uint32_t GetReadTotalTimeoutConstant() const { return FReadTotalTimeoutConstant; }
    void SetReadTotalTimeoutConstant(uint32_t Value) { FReadTotalTimeoutConstant = Value; }
    uint32_t GetWriteTotalTimeoutMultiplier() const { return FWriteTotalTimeoutMultiplier; }
    void SetWriteTotalTimeoutMultiplier(uint32_t Value) { FWriteTotalTimeoutMultiplier = Value; }
    uint32_t GetWriteTotalTimeoutConstant() const { return FWriteTotalTimeoutConstant; }
    void SetWriteTotalTimeoutConstant(uint32_t Value) { FWriteTotalTimeoutConstant = Value; }

    uint32_t GetInputBuffer() const { return FInputBuffer; }
    void SetInputBuffer(uint32_t Value);
    uint32_t GetOutputBuffer() const { return FOutputBuffer; }
    void SetOutputBuffer(uint32_t Value);
    TThreadPriority GetPriority() const { return FPriority; }
    void SetPriority(TThreadPriority Value);
    uint32_t GetDelay() const { return FDelay; }
    void SetDelay(uint32_t Value) { FDelay = Value; }
    AnsiString GetCustomPortName() const;
    void SetCustomPortName(const AnsiString& Value);
    int32_t GetCustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int32_t Value);
    bool GetLogInput() const { return FLogInput; }
    void SetLogInput(bool Value) { FLogInput = Value; }
    bool GetLogDateTime() const { return FLogDateTime; }
    void SetLogDateTime(bool Value) { FLogDateTime = Value; }
    UnicodeString GetLogFile() const;
    void SetLogFile(const UnicodeString& Value);
    bool GetAutoReceive() const { return FAutoReceive; }
    void SetAutoReceive(bool Value) { FAutoReceive = Value; }
    bool GetKeepEntireBuffer() const { return FKeepEntireBuffer; }
    void SetKeepEntireBuffer(bool Value) { FKeepEntireBuffer = Value; }

    TSendReceiveEvent GetOnReceive() const { return GetEvent(FOnReceive); }
    void SetOnReceive(TSendReceiveEvent Value) { SetEvent(FOnReceive, std::move(Value)); }
    TSendReceiveEvent GetOnSend() const { return GetEvent(FOnSend); }
    void SetOnSend(TSendReceiveEvent Value) { SetEvent(FOnSend, std::move(Value)); }
    TLineStatusEvent GetOnLineStatusChange() const { return GetEvent(FOnLineStatusChange); }
    void SetOnLineStatusChange(TLineStatusEvent Value) { SetEvent(FOnLineStatusChange, std::move(Value)); }
    TConnectEvent GetOnConnect() const { return GetEvent(FOnConnect); }
    void SetOnConnect(TConnectEvent Value) { SetEvent(FOnConnect, std::move(Value)); }
    TConnectEvent GetOnDisconnect() const { return GetEvent(FOnDisconnect); }
    void SetOnDisconnect(TConnectEvent Value) { SetEvent(FOnDisconnect, std::move(Value)); }
    // Raised where OnReceive is raised when a chunk could not be written to
    // the log. The failure is handled as without it: reception goes on and
    // the next chunk tries the file again.
    TLogErrorEvent GetOnLogError() const { return GetEvent(FOnLogError); }
    void SetOnLogError(TLogErrorEvent Value) { SetEvent(FOnLogError, std::move(Value)); }

    // ---- public, not published ----
    bool GetIsSending() const { return FIsSending > 0; }
    bool GetIsReceiving() const { return FIsReceiving > 0; }
    bool GetNeedSynchronization() const { return FNeedSynchronization; }
    void SetNeedSynchronization(bool Value) { FNeedSynchronization = Value; }
    double GetVersion() const { return FVersion; }

    // ---- opening and closing ----
    void Open();
    void Close();
    TCommPort IsConnected() const { return ConnectedTo; }

    // ---- present ports ----
    TCommPortSet GetExistingCommPorts() const;
    void GetExistingCommPortNames(TStrings* Strings) const;

    // ---- line control, modem status and driver queues ----
    bool SetBreak(bool OnOff) { return Escape(OnOff ? SETBREAK : CLRBREAK); }
    bool SetDTR(bool OnOff) { return Escape(OnOff ? SETDTR : CLRDTR); }
    bool SetRTS(bool OnOff) { return Escape(OnOff ? SETRTS : CLRRTS); }
    bool SetXonXoff(bool OnOff) { return Escape(OnOff ? SETXON : SETXOFF); }
    bool ClearInputBuffer() { return Purge(PURGE_RXCLEAR); }
    bool ClearOutputBuffer() { return Purge(PURGE_TXCLEAR); }
    bool GetCTS() const { return GetLineStatus(CurrentDevice()).Contains(lsCTS); }
    bool GetDSR() const { return GetLineStatus(CurrentDevice()).Contains(lsDSR); }
    bool GetRING() const { return GetLineStatus(CurrentDevice()).Contains(lsRING); }
    bool GetCD() const { return GetLineStatus(CurrentDevice()).Contains(lsCD); }

    // ---- received data ----
    // Manual receive while AutoReceive is off: reads what waits in the driver,
    // raises OnReceive on the calling thread and returns the chunk.
    AnsiString ReadBuffer();
    UnicodeString GetReadBuffer() const;
    UnicodeString GetEntireBuffer() const;
    // Bytes waiting in the driver's input queue; 0 when closed or unknown.
    uint32_t GetBufferSize() const;

    // ---- sending: one blocking write on the calling thread ----
    // Sends the bytes before the first zero byte.
    uint32_t SendString(const AnsiString& str);
    uint32_t SendChars(const AnsiString& str);
    uint32_t SendData(const void* Data, uint32_t dataSize);
    // Low byte first.
    uint32_t SendWord(uint16_t number);
    uint32_t SendByte(uint8_t number);
    uint32_t SendChar(char character);
    // The same sends on a one-shot TSenderThread; nothing is reported back.
    void SendStringOnNewThread(const AnsiString& str);
    void SendCharsOnNewThread(const AnsiString& str);

    // Names each byte below 32 in angle brackets, e.g. <CR>.
    static AnsiString ReplaceControlChars(const AnsiString& strInput);
    // Opens the file at Path for appending, as the log does, and closes it
    // again; raises the log's failure when that cannot be done.
    static void CheckLogFile(const UnicodeString& Path);

private:
    friend class TComThread;
    friend class TSenderThread;

    // Counts a busy state (IsSending, IsReceiving) for the scope's lifetime:
    // the receive thread and a delivery on the main thread may overlap.
    class TBusyScope {
    public:
        explicit TBusyScope(std::atomic<int>& ACount) : Count(ACount) { ++Count; }
        ~TBusyScope() { --Count; }
        TBusyScope(const TBusyScope&) = delete;
        TBusyScope& operator=(const TBusyScope&) = delete;

    private:
        std::atomic<int>& Count;
    };

    template <class T, class V>
    void SetAndReapply(T& Field, V Value) {
        if (Field == static_cast<T>(Value)) return;
        Field = static_cast<T>(Value);
        Reapply();
    }
    // Pushes the line settings to an open device at once.
    void Reapply();
    void CheckCombination(TDataWidth Width, TStopBits Stop) const;

    template <class Ev>
    Ev GetEvent(const Ev& Slot) const {
        std::lock_guard guard(FLock);
        return Slot;
    }
    template <class Ev>
    void SetEvent(Ev& Slot, Ev Value) {
        std::lock_guard guard(FLock);
        Slot = std::move(Value);
    }

    AnsiString GetPortName() const;
    bool HasComThread() const;
    // The receive thread's device handle, or the invalid value when closed.
    HANDLE CurrentDevice() const;

    bool Escape(DWORD Function);
    bool Purge(DWORD Flags);
    TLineStatusSet GetLineStatus(HANDLE ComDevice) const;

    bool SetDCBState(HANDLE ComDevice);
    bool SetTimeOuts(HANDLE ComDevice);
    bool SetBuffers(HANDLE ComDevice);
    DCB BuildDCB() const;
    bool WantsFineTimer() const { return FDelay < 50; }

    // Reception shared by the receive loop and ReadBuffer.
    DWORD WaitingCount(HANDLE ComDevice) const;
    // Reads Waiting bytes, then what keeps arriving, into Chunk: at most
    // InputBuffer bytes unless Waiting alone is more. True when more is
    // likely to be waiting already: the pass stopped at InputBuffer, or a
    // stream too fast to pause for outran the driver's refill.
    bool ReadWaiting(HANDLE ComDevice, DWORD Waiting, AnsiString& Chunk) const;
    // The count waiting once the driver has refilled its queue, or 0 when it
    // shows nothing within a moment.
    DWORD WaitForRefill(HANDLE ComDevice) const;
    // Stores Chunk as the last one received, raises OnReceive with it and
    // logs it, on the calling thread; a failing handler or log ends there.
    void DeliverChunk(const AnsiString& Chunk);
    // Adds Chunk to what waits for delivery by the receive loop; true when no
    // delivery was waiting, so one must be handed off.
    bool AddPending(const AnsiString& Chunk);
    // Takes up to Most of the bytes waiting into Chunk; true when more wait,
    // and a delivery still counts as waiting until they are taken too.
    bool TakePending(std::size_t Most, AnsiString& Chunk);
    // Delivers a chunk taken from what waits; a no-op when it is empty.
    void DeliverTaken(const AnsiString& Chunk);
    // Delivers a slice of what waits and hands off the next one for the
    // main thread's next turn, so its event loop turns in between.
    void DeliverQueued();
    bool DeliveryWaiting() const;
    // Holds the calling thread until no delivery is waiting.
    void WaitUntilDelivered();
    std::size_t PendingBytes() const { return FPending.size() - FPendingFrom; }  // under FLock
    void StoreChunk(const AnsiString& Chunk);
    void LogChunk(const AnsiString& Chunk);
    void NotifyLineStatus();
    void NotifyLogError();
    // Remembers Lines as the modem lines last seen; true when they changed.
    bool UpdateLineStatus(TLineStatusSet Lines);
    // Whether the open port is still among the present ports.
    bool IsPortPresent() const;

    uint32_t WriteAndReport(HANDLE ComDevice, const void* Data, std::size_t Size);
    EOrvelSerialPortException NotConnectedError() const;
    void SendOnNewThread(const AnsiString& str, int32_t SendType);
    static AnsiString DataToAnsiStr(const void* Buffer, uint32_t Length);

    void WriteLog(const AnsiString& str) const;
    // Waits, serving the main thread's hand-offs, until every thread and
    // hand-off that still refers to this component has ended.
    void WaitForThreads();
    // Tears down a connection whose thread never ran, as its end would.
    void EndUnstarted(std::unique_ptr<TComThread> Thread);
    // Ends the reads and writes in progress on the open device.
    void AbortDeviceCalls();

    // Guards the strings, the event slots, the received data and ComThread:
    // the receive thread reads them while the main thread may change them.
    mutable std::mutex FLock;

    AnsiString FPort;
    // The name the open connection was opened under.
    AnsiString FConnectedName;
    AnsiString FCustomPortName = "vcom1";
    int32_t FBaudRate = 4800;
    int32_t FCustomBaudRate = 0;
    uint8_t FDataWidth = 8;
    uint8_t FParity = 0;
    uint8_t FStopBits = 0;
    bool FEnableDTROnOpen = true;
    bool FEnableRTSOnOpen = true;
    THwFlowControl FHwFlowControl = hfNONE;
    TSwFlowControl FSwFlowControl = sfNONE;
    char FXonChar = 17;
    char FXoffChar = 19;
    uint16_t FXonLim = 0;
    uint16_t FXoffLim = 1;
    bool FParityCheck = false;
    bool FReplaceParityErrors = false;
    char FErrorChar = 0;
    char FEofChar = 0;
    bool FDiscardNulls = false;
    bool FDsrSensitivity = false;
    bool FTXContinueOnXoff = false;
    AnsiString FReadBuffer;    // under FLock
    // Received by the loop, not yet delivered: the bytes from FPendingFrom
    // on. At most one delivery of it is handed off at a time, so a main
    // thread that falls behind gets the chunks that piled up in a few slices.
    AnsiString FPending;           // under FLock
    std::size_t FPendingFrom = 0;  // under FLock
    bool FDeliveryQueued = false;  // under FLock
    std::condition_variable FDelivered;
    AnsiString FEntireBuffer;  // under FLock
    std::atomic<bool> FKeepEntireBuffer{false};
    TLineStatusSet FLineStatus;  // under FLock
    uint32_t FReadIntervalTimeout = 0xFFFFFFFFu;
    uint32_t FReadTotalTimeoutMultiplier = 0;
    uint32_t FReadTotalTimeoutConstant = 0;
    uint32_t FWriteTotalTimeoutMultiplier = 100;
    uint32_t FWriteTotalTimeoutConstant = 1000;
    TThreadPriority FPriority = tpNormal;
    std::atomic<uint32_t> FDelay{100};
    std::atomic<uint32_t> FInputBuffer{4096};  // the receive loop reads it
    uint32_t FOutputBuffer = 4096;
    const double FVersion = 1.64;
    TComThread* ComThread = nullptr;
    std::atomic<TCommPort> ConnectedTo{spNone};
    std::atomic<int> FIsSending{0};
    std::atomic<int> FIsReceiving{0};
    std::atomic<bool> FNeedSynchronization{true};
    std::atomic<bool> FAutoReceive{true};
    std::atomic<bool> FLogInput{false};
    std::atomic<bool> FLogDateTime{false};
    UnicodeString FLogFile;
    TSendReceiveEvent FOnReceive;
    TSendReceiveEvent FOnSend;
    TLineStatusEvent FOnLineStatusChange;
    TConnectEvent FOnConnect;
    TConnectEvent FOnDisconnect;
    TLogErrorEvent FOnLogError;
    UnicodeString FFailedLogFile;  // under FLock
    AnsiString FLogFailure;        // under FLock

    // Which connection is current: a thread abandoned by Close must not reset
    // the state of a connection opened after it.
    uint64_t FConnectionId = 0;  // under FLock
    // Threads (receive and send) still running that refer to this component.
    std::atomic<int> FLiveThreads{0};
};

// The receive thread of an open port. It owns the device handle from its
// construction (which opens the device) to its destruction, and frees itself
// when its loop ends.
class TComThread : public TThread {
    friend class TOrvelSerialPort;

public:
    explicit TComThread(TOrvelSerialPort* AOwner);
    ~TComThread() override;

    HANDLE GetPortHandle() const { return ComDevice; }

    // Written only during construction and destruction.
    HANDLE ComDevice = INVALID_HANDLE_VALUE;

protected:
    void Execute() override;

private:
    void DoExecuteConnect();
    void DoExecuteDisconnect();
    void RaiseConnectEvent(const TConnectEvent& Handler);
    void DoExecuteLineStatus();
    bool StopRequested() const { return Terminated() || ComDevice == INVALID_HANDLE_VALUE; }
    void PollLineStatus();
    // How a pass ended: more likely waiting (see ReadWaiting), a fast
    // stream's worth taken, or a slow port's or nothing.
    enum TPassEnd : uint8_t { peMore, peFast, peSlow };
    // Streaming: the previous pass ended with more waiting.
    TPassEnd PollReceive(bool Streaming);
    // Passes Chunk on to be delivered where events are raised.
    void HandOff(const AnsiString& Chunk);
    // Holds the loop while the undelivered data exceeds its limit.
    void WaitForRoom();
    // Waits Milliseconds, or less once the driver holds enough that its
    // writer would soon be held back.
    void Pause(uint32_t Milliseconds);
    bool DataPilesUp() const;
    void CheckPresence();
    void RaiseEvent(void (TComThread::*Raiser)());
    // Runs Raiser on the main thread, or here when no hand-off is wanted.
    void Deliver(const std::function<void()>& Raiser);
    // False once Close gave up waiting for this thread and a later connection may exist.
    bool IsCurrent() const;

    TOrvelSerialPort* Owner;
    uint64_t FConnectionId = 0;
    // The port of this connection; spNone when the open failed.
    TCommPort FPort = spNone;
    // Why the open or its set-up failed.
    DWORD FOpenError = 0;
};

// Sends one string in the background and frees itself when done.
class TSenderThread : public TThread {
public:
    // SendType 0 sends with SendString, any other value with SendChars.
    TSenderThread(TOrvelSerialPort* AOwner, AnsiString ABuffer, int32_t AType);
    ~TSenderThread() override;

protected:
    void Execute() override;

private:
    TOrvelSerialPort* Owner;
    AnsiString Buffer;
    int32_t SendType;
};

// The address of a function exported by a library, loading the library if it
// is not loaded yet; nullptr when either is missing.
FARPROC LinkAPI(const char* Module, const char* FunctionName);
// Raise and release the system timer resolution (winmm, where present).
void TimeBeginPeriod(uint32_t Period);
void TimeEndPeriod(uint32_t Period);
