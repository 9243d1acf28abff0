// SPDX-License-Identifier: GPL-3.0-or-later
// Sending: one blocking write on the calling thread, or on a one-shot thread.
#include "serial/OrvelSerialPort.h"

#include <algorithm>
#include <memory>

const char* const MsgStrNotConnected = "%s is not open. Serial port is not connected.";

namespace {

constexpr int32_t kSendString = 0;
constexpr int32_t kSendChars = 1;

}  // namespace

EOrvelSerialPortException TOrvelSerialPort::NotConnectedError() const {
    return EOrvelSerialPortException(Format(MsgStrNotConnected, {GetPortName()}));
}

AnsiString TOrvelSerialPort::DataToAnsiStr(const void* Buffer, uint32_t Length) {
    return AnsiString(static_cast<const char*>(Buffer), Length);
}

uint32_t TOrvelSerialPort::WriteAndReport(HANDLE ComDevice, const void* Data, std::size_t Size) {
    // One write call takes at most a DWORD's worth of bytes.
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(Size, MAXDWORD));
    try {
        DWORD written = 0;
        {
            TBusyScope sending(FIsSending);
            CommBackend().WriteFile(ComDevice, Data, count, &written, nullptr);
        }
        written = std::min(written, count);
        if (written == 0) return 0;
        if (const TSendReceiveEvent handler = GetOnSend()) handler(this, DataToAnsiStr(Data, written));
        return written;
    } catch (...) {
        throw NotConnectedError();
    }
}

uint32_t TOrvelSerialPort::SendString(const AnsiString& str) {
    const HANDLE device = CurrentDevice();
    if (device == INVALID_HANDLE_VALUE) throw NotConnectedError();
    return WriteAndReport(device, str.data(), std::min(str.find('\0'), str.size()));
}

uint32_t TOrvelSerialPort::SendData(const void* Data, uint32_t dataSize) {
    const HANDLE device = CurrentDevice();
    if (device == INVALID_HANDLE_VALUE || dataSize == 0) throw NotConnectedError();
    return WriteAndReport(device, Data, dataSize);
}

uint32_t TOrvelSerialPort::SendChars(const AnsiString& str) {
    if (str.empty()) return 0;
    // A string beyond 4 GiB goes out in part; the count returned says how much.
    return SendData(str.data(), static_cast<uint32_t>(std::min<std::size_t>(str.size(), MAXDWORD)));
}

uint32_t TOrvelSerialPort::SendWord(uint16_t number) {
    const uint8_t block[2] = {static_cast<uint8_t>(number & 0xFF), static_cast<uint8_t>(number >> 8)};
    return SendData(block, sizeof block);
}

uint32_t TOrvelSerialPort::SendByte(uint8_t number) { return SendData(&number, 1); }

uint32_t TOrvelSerialPort::SendChar(char character) { return SendData(&character, 1); }

void TOrvelSerialPort::SendStringOnNewThread(const AnsiString& str) { SendOnNewThread(str, kSendString); }

void TOrvelSerialPort::SendCharsOnNewThread(const AnsiString& str) { SendOnNewThread(str, kSendChars); }

void TOrvelSerialPort::SendOnNewThread(const AnsiString& str, int32_t SendType) {
    // Owned here until it runs, so a thread that cannot start is still freed
    // and no longer counted as running.
    auto thread = std::make_unique<TSenderThread>(this, str, SendType);
    thread->Start();
    thread.release();  // it frees itself from now on
}

// ---- the sender thread -----------------------------------------------------------

TSenderThread::TSenderThread(TOrvelSerialPort* AOwner, AnsiString ABuffer, int32_t AType)
    : TThread(true), Owner(AOwner), Buffer(std::move(ABuffer)), SendType(AType) {
    ++Owner->FLiveThreads;
    SetFreeOnTerminate(true);
}

TSenderThread::~TSenderThread() {
    --Owner->FLiveThreads;  // the last use of Owner: it may be destroyed from here on
}

void TSenderThread::Execute() {
    try {
        if (SendType != kSendString)
            Owner->SendChars(Buffer);
        else
            Owner->SendString(Buffer);
    } catch (...) {
        // A background send reports nothing, not even a closed port.
    }
}
