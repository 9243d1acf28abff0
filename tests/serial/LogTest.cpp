// SPDX-License-Identifier: GPL-3.0-or-later
// The input log, fed by reception on the near end of a cable
// (tests/support/FarEnd.h), and the readable rendering of control characters.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/OrvelSerialPort.h"
#include "tests/serial/EventRecorder.h"
#include "tests/serial/TempDir.h"
#include "tests/support/FarEnd.h"
#include "toolkit/core/DateUtils.h"

namespace {

class SerialLog : public ::testing::Test {
protected:
    TFarEnd Far{"COM5"};
    TTempDir Dir;
    std::string Log = Dir.File("input.log");
    TOrvelSerialPort Port{nullptr};
    TEventRecorder Events;

    void SetUp() override {
        Port.SetCommPort(spCOM5);
        Port.SetDelay(10);
        Port.SetLogInput(true);
        Port.SetLogFile(Utf8ToUnicode(Log));
        Events.AttachReceive(Port);
    }
    void TearDown() override { Port.Close(); }

    // Sends one chunk and waits until it has been delivered.
    void Deliver(const std::string& Data) {
        const std::size_t count = Events.ReceivedCount();
        Far.Send(Data);
        ASSERT_TRUE(WaitUntil([&] { return Events.ReceivedCount() > count; }));
    }
    // Waits until the log holds Size bytes.
    std::string LogAfter(std::size_t Size) {
        WaitUntil([&] { return FileContents(Log).size() >= Size; });
        return FileContents(Log);
    }
};

TEST_F(SerialLog, PlainEntriesAreTheReceivedBytes) {
    Port.Open();
    Deliver("AB");
    Deliver("C\r");
    EXPECT_EQ(LogAfter(4), "ABC\r");
}

TEST_F(SerialLog, ADatedEntryKeepsTheBytesExactly) {
    const std::string bytes("\xff\0\x1a", 3);  // not valid text, a NUL, byte 26
    Port.SetLogDateTime(true);
    Port.Open();
    const std::string tail = " " + bytes + "\r\n";
    const std::time_t before = std::time(nullptr);
    Deliver(bytes);
    ASSERT_TRUE(WaitUntil([&] { return FileContents(Log).ends_with(tail); })) << FileContents(Log);
    const std::time_t after = std::time(nullptr);

    const std::string entry = FileContents(Log);
    const std::string stamp = entry.substr(0, entry.size() - tail.size());
    bool matched = false;
    for (std::time_t t = before; t <= after + 1 && !matched; ++t) matched = stamp == DateToStr(t) + " " + TimeToStr(t);
    EXPECT_TRUE(matched) << "entry begins with \"" << stamp << "\"";
}

TEST_F(SerialLog, ExistingLogIsExtendedAcrossReopenPastByte26) {
    const std::string old("old\x1a tail", 9);
    std::ofstream(Log, std::ios::binary) << old;
    Port.Open();
    Deliver(std::string("new\x1a", 4));
    Port.Close();
    Port.Open();
    Deliver("more");
    EXPECT_EQ(LogAfter(old.size() + 8), old + std::string("new\x1a", 4) + "more");
}

TEST_F(SerialLog, AnUnwritableLogLeavesReceptionGoingAndSaysWhichFileFailed) {
    const std::string missing = Dir.File("no-such-dir/input.log");
    Port.SetLogFile(Utf8ToUnicode(missing));
    std::vector<std::string> failures;
    Port.SetOnLogError([&](TObject* Sender, UnicodeString File, AnsiString Message) {
        EXPECT_EQ(Sender, &Port);
        failures.push_back(UnicodeToUtf8(File) + ": " + Message);
    });
    Port.Open();
    Deliver("one");
    Deliver("two");
    ASSERT_TRUE(WaitUntil([&] { return failures.size() == 2; }));
    EXPECT_EQ(failures[0], missing + ": " + MsgInvalidLogFile);
    EXPECT_EQ(Events.ReceivedBytes(), "onetwo");
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(Port.IsConnected(), spCOM5);
}

TEST_F(SerialLog, ALogFileIsCheckedByOpeningItAsTheLogDoes) {
    EXPECT_NO_THROW(TOrvelSerialPort::CheckLogFile(Utf8ToUnicode(Log)));
    EXPECT_TRUE(std::filesystem::exists(Log));
    EXPECT_EQ(FileContents(Log), "");
    for (const std::string& bad : {Dir.File("no-such-dir/input.log"), Dir.File(""), std::string()}) {
        SCOPED_TRACE(bad);
        try {
            TOrvelSerialPort::CheckLogFile(Utf8ToUnicode(bad));
            ADD_FAILURE() << "accepted";
        } catch (const EOrvelSerialPortException& e) {
            EXPECT_STREQ(e.what(), MsgInvalidLogFile);
        }
    }
}

TEST_F(SerialLog, AnEmptyLogFileNameWritesNothingToStandardOutput) {
    Port.SetLogFile(u"");
    Port.Open();
    ::testing::internal::CaptureStdout();
    Deliver("one");
    Deliver("two");
    Port.Close();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Events.ReceivedBytes(), "onetwo");
}

struct TRenderCase {
    std::string Input;
    std::string Readable;
};

class ReplaceControlCharsTest : public ::testing::TestWithParam<TRenderCase> {};

TEST_P(ReplaceControlCharsTest, NamesEveryByteBelow32) {
    EXPECT_EQ(TOrvelSerialPort::ReplaceControlChars(GetParam().Input), GetParam().Readable);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ReplaceControlCharsTest,
    ::testing::Values(TRenderCase{"A\r\nB", "A<CR><LF>B"}, TRenderCase{"\t", "<TAB>"},
                      TRenderCase{"\x7f\xff x", "\x7f\xff x"}, TRenderCase{"", ""},
                      TRenderCase{std::string("\0\x01\x07\x08\x0b\x0c", 6), "<NUL><SOH><BEL><BS><VT><FF>"},
                      TRenderCase{"\x0e\x0f\x10\x11\x12\x13\x14", "<SO><SI><DLE><DC1><DC2><DC3><DC4>"},
                      TRenderCase{"\x15\x16\x17\x18\x19\x1a", "<NAK><SYN><ETB><CAN><EM><SUB>"},
                      TRenderCase{"\x1b\x1c\x1d\x1e\x1f ", "<ESC><FS><GS><RS><US> "},
                      TRenderCase{"\x02\x03\x04\x05\x06", "<STX><ETX><EOT><ENQ><ACK>"}));

}  // namespace
