// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/FileSendJob.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kSmallestBlock = 64;
constexpr std::size_t kLargestBlock = 65536;

}  // namespace

namespace {

std::string NameOf(const std::filesystem::path& Path) {
    const std::u8string name = Path.u8string();
    return {name.begin(), name.end()};
}

// Opening a FIFO would wait for a writer, and a device or a directory has no end to send.
void CheckRegularFile(const std::filesystem::path& Path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(Path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw Exception("Cannot send " + NameOf(Path) + ": only regular files can be sent");
}

}  // namespace

TFileSendJob::TFileSendJob(TOrvelSerialPort& Port, const std::filesystem::path& Path, std::size_t BlockSize)
    : FPort(Port), FBlockSize(std::max<std::size_t>(BlockSize, 1)) {
    CheckRegularFile(Path);
    FFile.open(Path, std::ios::binary);
    if (!FFile) throw Exception("Cannot open " + NameOf(Path) + ": " + std::strerror(errno));
    std::error_code ec;
    FSize = std::filesystem::file_size(Path, ec);
}

TFileSendJob::~TFileSendJob() {
    Cancel();
    Wait();
}

std::size_t TFileSendJob::BlockSizeFor(int32_t BaudRate) {
    // Ten bits on the line for each byte.
    const auto perQuarterSecond = static_cast<std::size_t>(std::max(BaudRate, 0)) / 10 / 4;
    return std::clamp(perQuarterSecond, kSmallestBlock, kLargestBlock);
}

void TFileSendJob::Start() { FThread = std::thread([this] { Run(); }); }

void TFileSendJob::Wait() {
    if (FThread.joinable()) FThread.join();
}

std::string TFileSendJob::Failure() const {
    std::lock_guard guard(FLock);
    return FFailure;
}

void TFileSendJob::Fail(const std::string& Reason) {
    {
        std::lock_guard guard(FLock);
        FFailure = Reason;
    }
    // A send that was cancelled ends in whatever way the closing port makes it end.
    FOutcome = FCancelled ? soCancelled : soFailed;
}

void TFileSendJob::Run() {
    std::vector<char> block(FBlockSize);
    try {
        // Files in /proc and /sys say they are empty and still have content: the end is where reading ends.
        for (;;) {
            if (FCancelled) {
                FOutcome = soCancelled;
                return;
            }
            FFile.read(block.data(), static_cast<std::streamsize>(block.size()));
            const auto got = static_cast<std::size_t>(FFile.gcount());
            if (got == 0) break;
            FSize = std::max<uint64_t>(FSize, FSent + got);
            SendBlock(block.data(), got);
        }
        if (FFile.bad() || FSent < FSize) return Fail("the file could not be read to its end");
        FOutcome = soDone;
    } catch (const std::exception& e) {
        Fail(e.what());
    }
}

void TFileSendJob::SendBlock(const char* Data, std::size_t Size) {
    for (std::size_t done = 0; done < Size;) {
        // A write that timed out reports what it wrote; the rest goes again.
        const uint32_t written = FPort.SendData(Data + done, static_cast<uint32_t>(Size - done));
        if (written == 0) throw Exception("the port took no more data");
        done += written;
        FSent += written;
    }
}
