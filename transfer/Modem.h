// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// XMODEM (checksum or CRC-16, 128- or 1024-byte blocks) and YMODEM (a batch
// of files with name and size), both ways, over a TTransferLink. Each call
// runs the whole transfer on the calling thread and raises ETransferFailed
// when it does not complete. XMODEM pads the last block with SUB (26); the
// receiver keeps the padding, as the protocol cannot tell it from data.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "transfer/TransferLink.h"

enum TTransferFailure : uint8_t { tfCancelled, tfRemoteCancelled, tfTooManyRetries, tfTimeout, tfOutOfStep, tfFile };

class ETransferFailed : public Exception {
public:
    ETransferFailed(TTransferFailure Reason, const AnsiString& Message) : Exception(Message), FReason(Reason) {}
    TTransferFailure Reason() const { return FReason; }

private:
    TTransferFailure FReason;
};

// What a window follows of a transfer on another thread, and its cancel.
class TTransferState {
public:
    std::atomic<uint64_t> Bytes{0};  // of the current file
    std::atomic<uint64_t> Size{0};   // of the current file; 0 when unknown
    std::atomic<uint32_t> Retries{0};
    std::atomic<uint32_t> Files{0};  // begun so far
    std::atomic<bool> Cancel{false};

    void SetFileName(const std::string& Name);
    std::string FileName() const;

private:
    mutable std::mutex FLock;
    std::string FFileName;
};

// The protocol's waits; tests shorten them.
struct TModemTimes {
    std::chrono::milliseconds Start{60000};  // for the far end to begin
    std::chrono::milliseconds Answer{10000};  // for an answer to a block, or for the next block
    std::chrono::milliseconds Byte{1000};     // between the bytes of a block
    std::chrono::milliseconds Ask{3000};      // a receiver asks again for the first block
    std::chrono::milliseconds Quiet{250};     // silence that ends the skipping of a damaged block
    uint32_t MaxRetries = 10;
};

struct TModemOptions {
    bool OneK = false;  // sending XMODEM: 1024-byte blocks where the receiver takes CRC-16
    bool Crc = true;    // receiving XMODEM: ask for CRC-16 rather than the checksum
    TModemTimes Times;
};

void XmodemSend(TTransferLink& Link, std::istream& File, uint64_t Size, const TModemOptions& Options,
                TTransferState& State);
void XmodemReceive(TTransferLink& Link, std::ostream& File, const TModemOptions& Options, TTransferState& State);
void YmodemSend(TTransferLink& Link, const std::vector<std::filesystem::path>& Files, const TModemOptions& Options,
                TTransferState& State);
// Stores each file of the batch in Folder under its own name; returns their paths.
std::vector<std::filesystem::path> YmodemReceive(TTransferLink& Link, const std::filesystem::path& Folder,
                                                 const TModemOptions& Options, TTransferState& State);
