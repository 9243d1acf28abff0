// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/Rfc2217.h"

#include <gtest/gtest.h>

#include "serial/device/NetworkAddress.h"
#include "tests/serial/device/DeviceTestSupport.h"

namespace {

using namespace Telnet;
using TClock = TRfc2217Client::TClock;

std::string Bytes(std::initializer_list<int> Values) {
    std::string bytes;
    for (const int value : Values) bytes.push_back(static_cast<char>(value));
    return bytes;
}

std::string Command(uint8_t Code, const std::string& Value) {
    std::string wire = Bytes({IAC, SB, OptComPort, Code});
    TRfc2217Client::AppendEscaped(Value, wire);
    return wire + Bytes({IAC, SE});
}

// What the server of the tests opens with: it offers binary and asks for the option.
const std::string ServerOpening = Bytes({IAC, WILL, OptSuppressGoAhead, IAC, DO, OptSuppressGoAhead, IAC, DO, OptBinary,
                                         IAC, WILL, OptBinary, IAC, DO, OptComPort});

struct Rfc2217Client : testing::Test {
    TClock::time_point Now{};
    TRfc2217Client Client{Now};
    std::string Data;

    std::string Feed(const std::string& Bytes) {
        Data.clear();
        Client.Receive(Bytes, Data, Now);
        return Client.TakeOutgoing();
    }
    void Open() {
        Client.TakeOutgoing();
        Feed(ServerOpening);
    }
};

TEST_F(Rfc2217Client, OffersBinaryAndPortControlFirst) {
    EXPECT_EQ(Client.TakeOutgoing(), Bytes({IAC, WILL, OptBinary, IAC, DO, OptBinary, IAC, WILL, OptComPort}));
}

TEST_F(Rfc2217Client, EveryByteValueCrossesIntactEvenSplitAnywhere) {
    Open();
    const std::string all = AllByteValues() + AllByteValues();
    std::string wire;
    TRfc2217Client::AppendEscaped(all, wire);
    EXPECT_EQ(wire.size(), all.size() + 2);
    for (std::size_t split = 0; split <= wire.size(); ++split) {
        std::string received;
        Client.Receive(std::string_view(wire).substr(0, split), received, Now);
        Client.Receive(std::string_view(wire).substr(split), received, Now);
        ASSERT_EQ(received, all) << "split at " << split;
    }
}

TEST_F(Rfc2217Client, AnswersOnlyWhatChangesSoNegotiationCannotLoop) {
    Client.TakeOutgoing();
    // Suppress-go-ahead both ways is taken once; an unknown option is refused each time it is asked.
    EXPECT_EQ(Feed(ServerOpening), Bytes({IAC, DO, OptSuppressGoAhead, IAC, WILL, OptSuppressGoAhead}));
    EXPECT_EQ(Feed(ServerOpening), "");
    EXPECT_EQ(Feed(Bytes({IAC, WILL, 1, IAC, DO, 24})), Bytes({IAC, DONT, 1, IAC, WONT, 24}));
    EXPECT_EQ(Feed(Bytes({IAC, DONT, 1, IAC, WONT, 24})), "");
}

TEST_F(Rfc2217Client, RequestsWaitForTheOptionThenTheAnswersAreInForce) {
    Client.TakeOutgoing();
    Client.Request(ComPort::SetBaudRate, Bytes({0, 0, 0x25, 0x80}), Now);
    Client.Request(ComPort::SetBaudRate, Bytes({0, 1, 0xC2, 0x00}), Now);  // only the latest one goes
    Client.Request(ComPort::SetDataSize, Bytes({7}), Now);
    EXPECT_EQ(Client.TakeOutgoing(), "");
    const std::string sent = Feed(Bytes({IAC, DO, OptComPort}));
    EXPECT_EQ(sent, Command(ComPort::SetBaudRate, Bytes({0, 1, 0xC2, 0x00})) + Command(ComPort::SetDataSize, Bytes({7})));
    Feed(Command(101, Bytes({0, 1, 0xC2, 0x00})) + Command(102, Bytes({7})));
    EXPECT_EQ(Client.Answered().Baud, 115200u);
    EXPECT_EQ(Client.Answered().DataSize, 7);
    Now += std::chrono::seconds(10);
    EXPECT_TRUE(Client.TakeNotices(Now).empty());
}

TEST_F(Rfc2217Client, ValuesHoldingIacAreEscapedInsideTheCommand) {
    Open();
    Client.Request(ComPort::SetBaudRate, Bytes({0, 0, 0xFF, 0xFF}), Now);
    EXPECT_EQ(Client.TakeOutgoing(), Bytes({IAC, SB, OptComPort, 1, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
    Feed(Command(101, Bytes({0, 0, 0xFF, 0xFF})));
    EXPECT_EQ(Client.Answered().Baud, 0xFFFFu);
}

TEST_F(Rfc2217Client, TellsWhatTheServerRefusedOrSetOtherwise) {
    Open();
    Client.Request(ComPort::SetBaudRate, Bytes({0, 0, 0x30, 0x39}), Now);
    Feed(Command(101, Bytes({0, 0, 0x25, 0x80})));
    EXPECT_EQ(Client.TakeNotices(Now), std::vector<std::string>{"the server set the baud rate to 9600, not 12345"});
    EXPECT_EQ(Client.Answered().Baud, 9600u);

    Feed(Bytes({IAC, DONT, OptComPort}));
    const auto notices = Client.TakeNotices(Now);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("does not offer port control"), std::string::npos);
    // Without the option nothing more is asked, and nothing is said about silence.
    Client.TakeOutgoing();
    Client.Request(ComPort::SetControl, Bytes({ComPort::DtrOn}), Now);
    EXPECT_EQ(Client.TakeOutgoing(), "");
    EXPECT_TRUE(Client.TakeNotices(Now + std::chrono::minutes(1)).empty());
}

TEST_F(Rfc2217Client, AnUnansweredRequestIsToldOnceAfterAShortWait) {
    Open();
    Client.Request(ComPort::SetControl, Bytes({ComPort::DtrOn}), Now);
    EXPECT_EQ(Client.NextDeadline(), Now + TRfc2217Client::AnswerWait);
    EXPECT_TRUE(Client.TakeNotices(Now + TRfc2217Client::AnswerWait / 2).empty());
    Now += TRfc2217Client::AnswerWait;
    EXPECT_EQ(Client.TakeNotices(Now),
              std::vector<std::string>{"the server did not answer the request for DTR; going on without it"});
    EXPECT_EQ(Client.NextDeadline(), std::nullopt);
    // Again for DTR: quiet; RTS is another setting and gets its own word.
    Client.Request(ComPort::SetControl, Bytes({ComPort::DtrOff}), Now);
    Client.Request(ComPort::SetControl, Bytes({ComPort::RtsOn}), Now);
    Now += TRfc2217Client::AnswerWait;
    EXPECT_EQ(Client.TakeNotices(Now),
              std::vector<std::string>{"the server did not answer the request for RTS; going on without it"});
}

TEST_F(Rfc2217Client, AServerSilentAboutTheOptionIsToldOnce) {
    Client.TakeOutgoing();
    Now += TRfc2217Client::AnswerWait;
    ASSERT_EQ(Client.TakeNotices(Now).size(), 1u);
    EXPECT_TRUE(Client.TakeNotices(Now + std::chrono::minutes(1)).empty());
}

TEST_F(Rfc2217Client, ReportsModemLinesAndLineErrors) {
    Open();
    EXPECT_EQ(Client.ModemState(), std::nullopt);
    Feed(Command(107, Bytes({0xB1})) + Command(106, Bytes({0x0C})));
    EXPECT_EQ(Client.ModemState(), 0xB1);
    EXPECT_EQ(Client.TakeLineErrors(), 0x0C);
    EXPECT_EQ(Client.TakeLineErrors(), 0);
}

TEST_F(Rfc2217Client, HostileSubnegotiationsAreDroppedAndDataGoesOn) {
    Open();
    // Too long to be anything: dropped whole, even if it claims to be an answer.
    const std::string flood = Bytes({IAC, SB, OptComPort, 101}) + std::string(100000, '\x01') + Bytes({IAC, SE});
    // A command in the middle ends the subnegotiation unfinished.
    const std::string broken = Bytes({IAC, SB, OptComPort, 107, IAC, WILL, 1});
    EXPECT_EQ(Feed(flood + broken + "ok"), Bytes({IAC, DONT, 1}));
    EXPECT_EQ(Data, "ok");
    EXPECT_EQ(Client.Answered().Baud, std::nullopt);
    EXPECT_EQ(Client.ModemState(), std::nullopt);
}

TEST(NetworkPortName, ParsesWhatItShouldAndNothingElse) {
    struct TCase {
        const char* Name;
        const char* Canonical;  // empty: not a well-formed name
    };
    const TCase cases[] = {
        {"rfc2217://127.0.0.1:4000", "rfc2217://127.0.0.1:4000"},
        {"TCP://rack-3.lab:23", "tcp://rack-3.lab:23"},
        {"rfc2217://[::1]:7000", "rfc2217://[::1]:7000"},
        {"tcp://host", ""},
        {"tcp://host:0", ""},
        {"tcp://host:65536", ""},
        {"tcp://:23", ""},
        {"tcp://ho st:23", ""},
        {"rfc2217://[::1:7000", ""},
        {"telnet://host:23", ""},
    };
    for (const TCase& c : cases) {
        const auto address = ParseNetworkPortName(c.Name);
        EXPECT_EQ(address ? address->PortName() : "", c.Canonical) << c.Name;
    }
    EXPECT_TRUE(IsNetworkPortName("tcp://host"));
    EXPECT_FALSE(IsNetworkPortName("COM3"));
    EXPECT_EQ(DeviceNameOf(R"(\\.\tcp://h:1)"), "tcp://h:1");
}

}  // namespace
