// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/TransferLink.h"

#include <algorithm>

void TByteQueue::Push(const AnsiString& Bytes) {
    {
        std::lock_guard guard(FLock);
        FBytes.insert(FBytes.end(), Bytes.begin(), Bytes.end());
    }
    FArrived.notify_one();
}

int TByteQueue::Pop(std::chrono::milliseconds Timeout) {
    std::unique_lock guard(FLock);
    if (!FArrived.wait_for(guard, Timeout, [this] { return !FBytes.empty(); })) return -1;
    const auto byte = static_cast<uint8_t>(FBytes.front());
    FBytes.pop_front();
    return byte;
}

namespace {

constexpr uint32_t kTransferDelayMs = 1;

}  // namespace

TPortLink::TPortLink(TOrvelSerialPort& Port) : FPort(Port), FDelay(Port.GetDelay()) {
    FPort.SetDelay(std::min(FDelay, kTransferDelayMs));
}

TPortLink::~TPortLink() { FPort.SetDelay(FDelay); }

void TPortLink::Write(const AnsiString& Bytes) {
    for (std::size_t done = 0; done < Bytes.size();) {
        // A write that timed out reports what it wrote; the rest goes again.
        const uint32_t written = FPort.SendData(Bytes.data() + done, static_cast<uint32_t>(Bytes.size() - done));
        if (written == 0) throw Exception("the port took no more data");
        done += written;
    }
}
