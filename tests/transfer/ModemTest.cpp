// SPDX-License-Identifier: GPL-3.0-or-later
// XMODEM and YMODEM against lrzsz on the far end of a pseudo-terminal.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "tests/serial/TempDir.h"
#include "tests/transfer/ModemPartner.h"
#include "transfer/TransferJob.h"

namespace {

constexpr char SUB = 0x1A;
constexpr std::size_t kMegabyte = 1 << 20;
const std::size_t kSizes[] = {0, 1, 127, 128, 129, 1025, kMegabyte};

// A megabyte in 128-byte blocks takes minutes; the 1K runs carry it.
bool Worth(std::size_t Size, bool LongBlocks) { return Size < kMegabyte || LongBlocks; }

// Short waits where a test waits for a failure.
TModemOptions Quick() {
    TModemOptions options;
    options.Times.Start = std::chrono::seconds(2);
    options.Times.Answer = std::chrono::milliseconds(500);
    options.Times.Ask = std::chrono::milliseconds(500);
    options.Times.MaxRetries = 3;
    return options;
}

// XMODEM carries no size: the last block is padded with SUB.
void ExpectPadded(const std::string& Received, const std::string& Sent, std::size_t Block) {
    ASSERT_GE(Received.size(), Sent.size());
    EXPECT_TRUE(Received.compare(0, Sent.size(), Sent) == 0);
    EXPECT_LT(Received.size() - Sent.size(), Block);
    EXPECT_EQ(Received.substr(Sent.size()), std::string(Received.size() - Sent.size(), SUB));
}

class Modem : public testing::Test {
protected:
    std::vector<std::filesystem::path> WriteFiles(const TTempDir& Folder) {
        std::vector<std::filesystem::path> paths;
        for (const std::size_t size : kSizes) {
            paths.emplace_back(Folder.File("file-" + std::to_string(size) + ".bin"));
            WriteFile(paths.back().string(), Pattern(size));
        }
        return paths;
    }

    TTransferState State;
    TTempDir Ours, Theirs;
};

TEST_F(Modem, YmodemBatchArrivesExactlyAtRb) {
    TModemPartner partner;
    TEngineEnd engine;
    const auto files = WriteFiles(Ours);
    partner.Start(Theirs.File(""), "rb -q");
    YmodemSend(engine.Link(), files, {}, State);
    EXPECT_EQ(partner.Wait(), 0);
    for (const auto& file : files)
        EXPECT_EQ(FileContents(Theirs.File(file.filename().string())), FileContents(file.string())) << file;
    EXPECT_EQ(State.Files, std::size(kSizes));
}

TEST_F(Modem, YmodemBatchFromSbArrivesExactly) {
    TModemPartner partner;
    TEngineEnd engine;
    const auto files = WriteFiles(Theirs);
    std::string names;
    for (const auto& file : files) names += " " + file.filename().string();
    partner.Start(Theirs.File(""), "sb -q" + names);
    const auto received = YmodemReceive(engine.Link(), Ours.File(""), {}, State);
    EXPECT_EQ(partner.Wait(), 0);
    ASSERT_EQ(received.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(FileContents(received[i].string()), FileContents(files[i].string())) << files[i];
}

// Each size with 128-byte blocks and the checksum, and with 1K blocks and CRC-16.
void ForEachXmodemCase(const std::function<void(std::size_t Size, bool LongBlocks, TModemPartner& Partner,
                                                TTransferLink& Link)>& Run) {
    for (const std::size_t size : kSizes)
        for (const bool longBlocks : {false, true}) {
            if (!Worth(size, longBlocks)) continue;
            SCOPED_TRACE(std::to_string(size) + (longBlocks ? " 1K, CRC-16" : " 128, checksum"));
            TModemPartner partner;
            TEngineEnd engine;
            Run(size, longBlocks, partner, engine.Link());
            EXPECT_EQ(partner.Wait(), 0);
        }
}

TEST_F(Modem, XmodemSendsEachSizeToRx) {
    ForEachXmodemCase([&](std::size_t Size, bool LongBlocks, TModemPartner& Partner, TTransferLink& Link) {
        const std::string content = Pattern(Size);
        std::istringstream file(content);
        Partner.Start(Theirs.File(""), LongBlocks ? "rx -q -c got.bin" : "rx -q got.bin");
        TModemOptions options;
        options.OneK = LongBlocks;
        XmodemSend(Link, file, Size, options, State);
        ASSERT_EQ(Partner.Wait(), 0);
        ExpectPadded(FileContents(Theirs.File("got.bin")), content, LongBlocks ? 1024 : 128);
    });
}

TEST_F(Modem, XmodemReceivesEachSizeFromSx) {
    ForEachXmodemCase([&](std::size_t Size, bool LongBlocks, TModemPartner& Partner, TTransferLink& Link) {
        const std::string content = Pattern(Size);
        WriteFile(Theirs.File("out.bin"), content);
        Partner.Start(Theirs.File(""), LongBlocks ? "sx -q -k out.bin" : "sx -q out.bin");
        std::ostringstream file;
        TModemOptions options;
        options.Crc = LongBlocks;
        XmodemReceive(Link, file, options, State);
        ExpectPadded(file.str(), content, LongBlocks ? 1024 : 128);
    });
}

// One byte in every 10 KB is damaged on the way; the retries still deliver.
TEST_F(Modem, RetriesDeliverThroughADamagingRelay) {
    const std::string content = Pattern(200 * 1024);
    WriteFile(Ours.File("out.bin"), content);
    WriteFile(Theirs.File("in.bin"), content);
    {
        TModemPartner partner(10 * 1024);
        TEngineEnd engine;
        partner.Start(Theirs.File(""), "rb -q");
        YmodemSend(engine.Link(), {Ours.File("out.bin")}, {}, State);
        EXPECT_EQ(partner.Wait(), 0);
        EXPECT_GE(partner.Damaged(), 15u);
    }
    EXPECT_EQ(FileContents(Theirs.File("out.bin")), content);
    EXPECT_GT(State.Retries, 0u);
    {
        TModemPartner partner(10 * 1024);
        TEngineEnd engine;
        partner.Start(Theirs.File(""), "sb -q in.bin");
        YmodemReceive(engine.Link(), Ours.File(""), {}, State);
        EXPECT_EQ(partner.Wait(), 0);
    }
    EXPECT_EQ(FileContents(Ours.File("in.bin")), content);
}

// Waits (with a deadline) until the transfer has moved Bytes.
bool Reached(const TTransferJob& Job, uint64_t Bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Job.State().Bytes < Bytes && Job.Outcome() == TTransferJob::toRunning) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Job.State().Bytes >= Bytes;
}

// Cancel sends CAN CAN: the far program gives up at once, not after its own time-outs.
TEST_F(Modem, CancelStopsTheFarEnd) {
    TModemPartner partner;
    TEngineEnd engine;
    const std::string content = Pattern(1 << 20);
    partner.Start(Theirs.File(""), "rx -q -c got.bin");
    std::istringstream file(content);
    TTransferJob job([&](TTransferState& State) { XmodemSend(engine.Link(), file, content.size(), {}, State); });
    ASSERT_TRUE(Reached(job, 64 * 1024));
    job.Cancel();
    job.Wait();
    EXPECT_EQ(job.Reason(), tfCancelled);
    const std::optional<int> status = partner.Wait(std::chrono::seconds(8));
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
}

TEST_F(Modem, NobodyAtTheFarEndIsATimeOut) {
    TModemPartner partner;
    TEngineEnd engine;
    std::istringstream file("data");
    try {
        XmodemSend(engine.Link(), file, 4, Quick(), State);
        ADD_FAILURE() << "sent to nobody";
    } catch (const ETransferFailed& e) {
        EXPECT_EQ(e.Reason(), tfTimeout) << e.what();
        EXPECT_STREQ(e.what(), "a time-out: the receiver did not begin within 2 seconds");
    }
    std::ostringstream received;
    try {
        XmodemReceive(engine.Link(), received, Quick(), State);
        ADD_FAILURE() << "received from nobody";
    } catch (const ETransferFailed& e) {
        EXPECT_EQ(e.Reason(), tfTimeout) << e.what();
    }
}

// A receiver that answers each block with Answer, after Taken blocks it took.
class TScriptedReceiver : public TTransferLink {
public:
    TScriptedReceiver(const char* Answer, int Taken) : FAnswer(Answer), FTaken(Taken) {}
    void Write(const AnsiString& Bytes) override {
        if (Bytes.size() > 1) FAnswers.Push(FTaken-- > 0 ? "\x06" : FAnswer);
    }
    int Read(std::chrono::milliseconds Timeout) override {
        if (!FAsked) {
            FAsked = true;
            return 'C';
        }
        return FAnswers.Pop(Timeout);
    }

private:
    const char* FAnswer;
    int FTaken;
    bool FAsked = false;
    TByteQueue FAnswers;
};

TEST_F(Modem, AReceiverThatCancelsHalfwayIsNamed) {
    TScriptedReceiver link("\x18\x18", 3);
    const std::string content = Pattern(10 * 128);
    std::istringstream file(content);
    try {
        XmodemSend(link, file, content.size(), Quick(), State);
        ADD_FAILURE() << "sent although the receiver cancelled";
    } catch (const ETransferFailed& e) {
        EXPECT_EQ(e.Reason(), tfRemoteCancelled);
        EXPECT_STREQ(e.what(), "the receiver cancelled");
    }
    EXPECT_EQ(State.Bytes, 3u * 128);
}

TEST_F(Modem, RefusedBlocksEndAfterTheRetries) {
    TScriptedReceiver link("\x15", 0);
    std::istringstream file("data");
    try {
        XmodemSend(link, file, 4, Quick(), State);
        ADD_FAILURE() << "sent although every block was refused";
    } catch (const ETransferFailed& e) {
        EXPECT_EQ(e.Reason(), tfTooManyRetries);
        EXPECT_STREQ(e.what(), "too many retries (3)");
    }
    EXPECT_EQ(State.Retries, 4u);
}

}  // namespace
