// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/Modem.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "transfer/Crc16.h"

namespace {

constexpr char SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18, SUB = 0x1A, ASK_CRC = 'C';
constexpr std::size_t kShortBlock = 128;
constexpr std::size_t kLongBlock = 1024;
// Reads wait in slices this long, so that a cancel is seen soon.
constexpr std::chrono::milliseconds kSlice{100};
constexpr std::chrono::milliseconds kCancelGap{200};
// In CRC mode a receiver asks this often with 'C' before it settles for the checksum.
constexpr uint32_t kCrcAsks = 3;

using TClock = std::chrono::steady_clock;

AnsiString Seconds(std::chrono::milliseconds Time) {
    return IntToStr(std::max<int64_t>(1, std::chrono::duration_cast<std::chrono::seconds>(Time).count()));
}

AnsiString PathText(const std::filesystem::path& Path) {
    const std::u8string text = Path.u8string();
    return {text.begin(), text.end()};
}

// What both ends share: reading with time limits, the user's cancel, retries.
class TModemEnd {
protected:
    TModemEnd(TTransferLink& Link, const TModemOptions& Options, TTransferState& State, const char* FarEnd)
        : FLink(Link), FTimes(Options.Times), FState(State), FFarEnd(FarEnd) {}

    void Write(const AnsiString& Bytes) { FLink.Write(Bytes); }
    void Write(char Byte) { FLink.Write(AnsiString(1, Byte)); }

    // The next byte within Timeout, or -1.
    int Read(std::chrono::milliseconds Timeout) {
        const TClock::time_point deadline = TClock::now() + Timeout;
        for (;;) {
            if (FState.Cancel) {
                CancelFarEnd();
                throw ETransferFailed(tfCancelled, "cancelled");
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            if (left.count() <= 0) return -1;
            const int byte = FLink.Read(std::min(left, kSlice));
            if (byte >= 0) return byte;
        }
    }

    // A CAN has come: a second one straight after is the far end cancelling.
    void CheckCancelled() {
        if (Read(FTimes.Byte) == CAN)
            throw ETransferFailed(tfRemoteCancelled, AnsiString("the ") + FFarEnd + " cancelled");
    }

    // Two CANs stop the far end. A receiver may flush its input on the
    // first, so the pair goes again once that is over.
    void CancelFarEnd() {
        try {
            Write(AnsiString{CAN, CAN});
            std::this_thread::sleep_for(kCancelGap);
            Write(AnsiString{CAN, CAN});
        } catch (const std::exception&) {
        }
    }

    [[noreturn]] void Fail(TTransferFailure Reason, const AnsiString& Message) {
        CancelFarEnd();
        throw ETransferFailed(Reason, Message);
    }

    void StartRetries() { FRetries = 0; }
    void Retry(bool TimedOut) {
        ++FState.Retries;
        if (++FRetries <= FTimes.MaxRetries) return;
        if (TimedOut)
            Fail(tfTimeout, "a time-out: nothing from the " + AnsiString(FFarEnd) + " within " + Seconds(FTimes.Answer) +
                                " seconds");
        Fail(tfTooManyRetries, "too many retries (" + IntToStr(FRetries - 1) + ")");
    }

    void BeginFile(const std::string& Name, uint64_t Size) {
        FState.SetFileName(Name);
        FState.Size = Size;
        FState.Bytes = 0;
        ++FState.Files;
    }

    TTransferLink& FLink;
    const TModemTimes FTimes;
    TTransferState& FState;
    const char* const FFarEnd;

private:
    uint32_t FRetries = 0;
};

class TSender : TModemEnd {
public:
    TSender(TTransferLink& Link, const TModemOptions& Options, TTransferState& State)
        : TModemEnd(Link, Options, State, "receiver"), FOneK(Options.OneK) {}

    void SendFile(std::istream& File, uint64_t Size) {
        AwaitStart();
        SendData(File, Size);
        SendClosing(AnsiString(1, EOT));
    }

    void SendBatch(const std::vector<std::filesystem::path>& Files) {
        FOneK = true;
        for (const std::filesystem::path& path : Files) {
            std::ifstream file(path, std::ios::binary);
            if (!file) Fail(tfFile, "Cannot open " + PathText(path) + ": " + std::strerror(errno));
            std::error_code error;
            const uint64_t size = std::filesystem::file_size(path, error);
            if (error) Fail(tfFile, "Cannot open " + PathText(path) + ": " + error.message());
            const std::string name = PathText(path.filename());
            BeginFile(name, size);
            AwaitStart();
            SendBlock(0, Header(name, size));
            SendFile(file, size);
        }
        AwaitStart();
        SendClosing(Frame(0, std::string(kShortBlock, '\0')));
    }

private:
    // "name NUL size", in a short block when it fits.
    static std::string Header(const std::string& Name, uint64_t Size) {
        std::string header = Name + '\0' + std::to_string(Size);
        header.resize(header.size() < kShortBlock ? kShortBlock : kLongBlock, '\0');
        return header;
    }

    // The receiver asks for the first block: 'C' for CRC-16, NAK for the checksum.
    void AwaitStart() {
        const TClock::time_point deadline = TClock::now() + FTimes.Start;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            const int byte = Read(std::max(left, std::chrono::milliseconds(0)));
            if (byte < 0)
                Fail(tfTimeout, "a time-out: the receiver did not begin within " + Seconds(FTimes.Start) + " seconds");
            if (byte == ASK_CRC || byte == NAK) {
                FCrc = byte == ASK_CRC;
                return;
            }
            if (byte == CAN) CheckCancelled();
        }
    }

    void SendData(std::istream& File, uint64_t Size) {
        std::string block;
        uint8_t number = 1;
        for (uint64_t sent = 0; sent < Size; ++number) {
            // 1K blocks need CRC-16; a short rest goes in a short block.
            const bool longBlock = FOneK && FCrc && Size - sent > kShortBlock;
            const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(Size - sent, longBlock ? kLongBlock : kShortBlock));
            block.assign(take, '\0');
            File.read(block.data(), static_cast<std::streamsize>(take));
            if (static_cast<std::size_t>(File.gcount()) != take) Fail(tfFile, "the file could not be read to its end");
            block.resize(longBlock ? kLongBlock : kShortBlock, SUB);
            SendBlock(number, block);
            sent += take;
            FState.Bytes = sent;
        }
    }

    void SendBlock(uint8_t Number, const std::string& Data) { Deliver(Frame(Number, Data)); }

    AnsiString Frame(uint8_t Number, const std::string& Data) const {
        AnsiString frame;
        frame.reserve(Data.size() + 5);
        frame += Data.size() == kLongBlock ? STX : SOH;
        frame += static_cast<char>(Number);
        frame += static_cast<char>(255 - Number);
        frame += Data;
        if (FCrc) {
            const uint16_t crc = Crc16(Data.data(), Data.size());
            frame += static_cast<char>(crc >> 8);
            frame += static_cast<char>(crc & 0xFF);
        } else {
            uint8_t sum = 0;
            for (const char c : Data) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
            frame += static_cast<char>(sum);
        }
        return frame;
    }

    // The receiver has taken every block. Some end without answering the EOT
    // or the empty header that ends a batch (or their answer is lost as they
    // leave), so silence after it counts as taken; a NAK asks for it again.
    void SendClosing(const AnsiString& Frame) {
        StartRetries();
        for (;;) {
            Write(Frame);
            if (AwaitAnswer(FTimes.Byte) != NAK) return;
            Retry(false);
        }
    }

    // Sends Frame again until the receiver takes it.
    void Deliver(const AnsiString& Frame) {
        StartRetries();
        for (;;) {
            Write(Frame);
            const int answer = AwaitAnswer(FTimes.Answer);
            if (answer == ACK) return;
            Retry(answer < 0);
        }
    }

    // ACK, NAK, or -1 after the time-out; anything else is noise.
    int AwaitAnswer(std::chrono::milliseconds Timeout) {
        const TClock::time_point deadline = TClock::now() + Timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            const int byte = Read(std::max(left, std::chrono::milliseconds(0)));
            if (byte < 0 || byte == ACK || byte == NAK) return byte;
            if (byte == CAN) CheckCancelled();
        }
    }

    bool FOneK;
    bool FCrc = true;
};

class TReceiver : TModemEnd {
public:
    TReceiver(TTransferLink& Link, const TModemOptions& Options, TTransferState& State)
        : TModemEnd(Link, Options, State, "sender"), FCrc(Options.Crc) {}

    using TSink = std::function<void(const std::string& Data)>;

    void ReceiveFile(const TSink& Sink) {
        ReceiveBlocks(1, Sink);
        Write(ACK);
    }

    std::vector<std::filesystem::path> ReceiveBatch(const std::filesystem::path& Folder) {
        FCrc = true;
        FFallBack = false;
        std::vector<std::filesystem::path> files;
        for (;;) {
            std::string header;
            ReceiveBlocks(0, [&header](const std::string& Data) { header = Data; }, true);
            const std::string name = header.substr(0, header.find('\0'));
            if (name.empty()) return files;
            files.push_back(Folder / SafeName(name));
            ReceiveInto(files.back(), SizeOf(header));
        }
    }

private:
    static std::filesystem::path SafeName(const std::string& Name) {
        const std::filesystem::path name = std::filesystem::path(Name).filename();
        return name.empty() || name == "." || name == ".." ? std::filesystem::path("received") : name;
    }

    static uint64_t SizeOf(const std::string& Header) {
        const std::size_t at = Header.find('\0') + 1;
        return at < Header.size() ? std::strtoull(Header.c_str() + at, nullptr, 10) : 0;
    }

    void ReceiveInto(const std::filesystem::path& Path, uint64_t Size) {
        std::ofstream file(Path, std::ios::binary | std::ios::trunc);
        if (!file) Fail(tfFile, "Cannot write " + PathText(Path) + ": " + std::strerror(errno));
        BeginFile(PathText(Path.filename()), Size);
        uint64_t kept = 0;
        ReceiveFile([&](const std::string& Data) {
            // The size leaves out the padding of the last block; a size of 0 may mean unknown.
            const auto keep = Size ? static_cast<std::size_t>(std::min<uint64_t>(Data.size(), Size - kept)) : Data.size();
            file.write(Data.data(), static_cast<std::streamsize>(keep));
            if (!file) Fail(tfFile, "Cannot write " + PathText(Path) + ": " + std::strerror(errno));
            kept += keep;
            FState.Bytes = kept;
        });
    }

    // Takes blocks numbered from First until EOT (or, with One, the first block).
    void ReceiveBlocks(uint8_t First, const TSink& Sink, bool One = false) {
        uint8_t expected = First;
        bool started = false;
        for (;;) {
            std::string data;
            uint8_t number = 0;
            if (!NextBlock(started, number, data)) return;
            if (number == static_cast<uint8_t>(expected - 1)) {
                Write(ACK);  // our ACK was lost: the sender repeats the block
                continue;
            }
            if (number != expected) Fail(tfOutOfStep, "the blocks came out of order");
            Sink(data);
            Write(ACK);
            if (One) return;
            started = true;
            ++expected;
        }
    }

    // The next good block, false at EOT. Before the first block of a file it
    // asks for it; after, it asks again for a block that failed.
    bool NextBlock(bool Started, uint8_t& Number, std::string& Data) {
        StartRetries();
        uint32_t asks = 0;
        if (!Started) Ask(asks);
        for (;;) {
            const int first = Read(Started ? FTimes.Answer : FTimes.Ask);
            if (first == EOT) return false;
            if (first == CAN) {
                CheckCancelled();
                continue;
            }
            if (first == SOH || first == STX) {
                if (ReadBlock(first == STX ? kLongBlock : kShortBlock, Number, Data)) return true;
                SkipDamage();
                Retry(false);
                Write(NAK);
                continue;
            }
            if (first >= 0) continue;  // noise between blocks
            if (Started) {
                Retry(true);
                Write(NAK);
            } else {
                Ask(asks);
            }
        }
    }

    void Ask(uint32_t& Asks) {
        if (++Asks * FTimes.Ask > FTimes.Start)
            Fail(tfTimeout, "a time-out: the sender did not begin within " + Seconds(FTimes.Start) + " seconds");
        if (FCrc && FFallBack && Asks > kCrcAsks) FCrc = false;
        Write(FCrc ? ASK_CRC : NAK);
    }

    bool ReadBlock(std::size_t Size, uint8_t& Number, std::string& Data) {
        std::string frame(2 + Size + (FCrc ? 2 : 1), '\0');
        for (char& c : frame) {
            const int byte = Read(FTimes.Byte);
            if (byte < 0) return false;
            c = static_cast<char>(byte);
        }
        const auto number = static_cast<uint8_t>(frame[0]);
        if (static_cast<uint8_t>(frame[1]) != 255 - number) return false;
        Data = frame.substr(2, Size);
        const auto* check = reinterpret_cast<const uint8_t*>(frame.data()) + 2 + Size;
        if (FCrc) {
            if (Crc16(Data.data(), Data.size()) != (check[0] << 8 | check[1])) return false;
        } else {
            uint8_t sum = 0;
            for (const char c : Data) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
            if (sum != check[0]) return false;
        }
        Number = number;
        return true;
    }

    // What is left of a damaged block goes unread until the line falls quiet.
    void SkipDamage() {
        while (Read(FTimes.Quiet) >= 0) {
        }
    }

    bool FCrc;
    bool FFallBack = true;
};

}  // namespace

void TTransferState::SetFileName(const std::string& Name) {
    std::lock_guard guard(FLock);
    FFileName = Name;
}

std::string TTransferState::FileName() const {
    std::lock_guard guard(FLock);
    return FFileName;
}

void XmodemSend(TTransferLink& Link, std::istream& File, uint64_t Size, const TModemOptions& Options,
                TTransferState& State) {
    State.Size = Size;
    TSender(Link, Options, State).SendFile(File, Size);
}

void XmodemReceive(TTransferLink& Link, std::ostream& File, const TModemOptions& Options, TTransferState& State) {
    TReceiver(Link, Options, State).ReceiveFile([&](const std::string& Data) {
        File.write(Data.data(), static_cast<std::streamsize>(Data.size()));
        if (!File) throw ETransferFailed(tfFile, AnsiString("the file could not be written: ") + std::strerror(errno));
        State.Bytes += Data.size();
    });
}

void YmodemSend(TTransferLink& Link, const std::vector<std::filesystem::path>& Files, const TModemOptions& Options,
                TTransferState& State) {
    TSender(Link, Options, State).SendBatch(Files);
}

std::vector<std::filesystem::path> YmodemReceive(TTransferLink& Link, const std::filesystem::path& Folder,
                                                 const TModemOptions& Options, TTransferState& State) {
    return TReceiver(Link, Options, State).ReceiveBatch(Folder);
}
