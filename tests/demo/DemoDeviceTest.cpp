// SPDX-License-Identifier: GPL-3.0-or-later
// The demo device: its answers, with a clock of the test's own, and the real
// program behind its pseudo-terminal, opened, closed and reopened by the engine.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include "demo/DemoDevice.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Pty.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using TClock = TDemoDevice::TClock;

class DemoDevice : public ::testing::Test {
protected:
    const TClock::time_point Start{};
    TDemoDevice Device{Start};

    // Everything the device says after Input arrives at Start + At.
    std::string Answer(std::string_view Input, TClock::duration At = 0s) {
        Device.Receive(Input, Start + At);
        Device.Produce(Start + At);
        std::string output(Device.Output());
        Device.Consume(output.size());
        return output;
    }
};

struct TExchange {
    const char* Input;
    const char* Reply;
};

TEST_F(DemoDevice, AnswersEachCommandWhateverItsCaseAndLineEnd) {
    const TExchange exchanges[] = {
        {"AT\r", "\r\nOK\r\n"},
        {"at\n", "\r\nOK\r\n"},
        {"At\r\n", "\r\nOK\r\n"},
        {"  at  \r", "\r\nOK\r\n"},
        {"ATI\r", "\r\nOstra demo device, firmware 1.0\r\nOK\r\n"},
        {"echo off\r", "\r\nOK\r\n"},
        {"UTF8\r", "\r\nGrüße, café, smørrebrød, Ελλάδα, Москва: ± ° µ € → ✓ 😀 🎉\r\nOK\r\n"},
        {"ATZ\r", "\r\nERROR\r\n"},
        {"AT AT\r", "\r\nERROR\r\n"},
        {"ECHO MAYBE\r", "\r\nERROR\r\n"},
        {"STREAM\r", "\r\nERROR\r\n"},
        {"STREAM 0\r", "\r\nERROR\r\n"},
        {"STREAM 5 0\r", "\r\nERROR\r\n"},
        {"STREAM 5 1001\r", "\r\nERROR\r\n"},
        {"STREAM -3\r", "\r\nERROR\r\n"},
        {"BURST 12x\r", "\r\nERROR\r\n"},
        {"BURST 99999999999\r", "\r\nERROR\r\n"},
        {"\r\n\r\n", ""},
        {"AT\rAT\nAT\r\nAT\n\r", "\r\nOK\r\n\r\nOK\r\n\r\nOK\r\n\r\nOK\r\n"},
    };
    for (const TExchange& exchange : exchanges) EXPECT_EQ(Answer(exchange.Input), exchange.Reply) << exchange.Input;
}

TEST_F(DemoDevice, HelpListsEveryCommand) {
    const std::string help = "\r\n" + Answer("help\r");
    for (const char* command : {"AT ", "ATI ", "HELP ", "STATUS ", "ECHO ON|OFF ", "STREAM N [RATE] ", "BURST N ", "PLOT [RATE] ",
                                "UTF8 ", "COLOR ", "PROGRESS ", "SHELL "})
        EXPECT_NE(help.find(std::string("\r\n") + command), std::string::npos) << command;
    EXPECT_TRUE(help.starts_with("\r\n\r\nAT ")) << help;
    EXPECT_TRUE(help.ends_with("exit leaves\r\n")) << help;
}

TEST_F(DemoDevice, StatusReportsUptimeADriftingTemperatureAndACounter) {
    const std::string first = Answer("STATUS\r", 90s);
    EXPECT_TRUE(first.starts_with("\r\nuptime 90.0 s\r\ntemperature ")) << first;
    EXPECT_TRUE(first.ends_with(" C\r\ncounter 1\r\nOK\r\n")) << first;
    const std::string later = Answer("AT\rSTATUS\r", 200s);
    EXPECT_NE(later.find("counter 3\r\n"), std::string::npos) << later;
    const auto temperature = [](const std::string& Text) { return Text.substr(Text.find("temperature"), 20); };
    EXPECT_NE(temperature(first), temperature(later));
}

TEST_F(DemoDevice, EchoSendsEveryByteBackAsItComes) {
    EXPECT_EQ(Answer("ECHO ON\r"), "\r\nOK\r\n");
    EXPECT_EQ(Answer("A"), "A");
    EXPECT_EQ(Answer("T"), "T");
    EXPECT_EQ(Answer("\r"), "\r\r\nOK\r\n");
    EXPECT_EQ(Answer(std::string("\x00\xff", 2)), std::string("\x00\xff", 2));
    EXPECT_EQ(Answer("\recho off\r"), "\r\r\nERROR\r\necho off\r\r\nOK\r\n");
    EXPECT_EQ(Answer("AT\r"), "\r\nOK\r\n");
}

TEST_F(DemoDevice, StreamsNumberedLinesAtTheRateAskedThenAnswersWaitingCommands) {
    EXPECT_EQ(Answer("STREAM 3 4\rAT\r"), "\r\ndata 1 of 3\r\n");
    EXPECT_EQ(Answer("", 249ms), "");
    EXPECT_EQ(Device.NextDue(Start + 249ms), Start + 250ms);
    EXPECT_EQ(Answer("", 250ms), "data 2 of 3\r\n");
    // The AT sent during the stream is answered after its OK.
    EXPECT_EQ(Answer("", 1s), "data 3 of 3\r\nOK\r\n\r\nOK\r\n");
    EXPECT_EQ(Device.NextDue(Start + 1s), std::nullopt);
    EXPECT_EQ(Answer("STREAM 2\r", 2s), "\r\ndata 1 of 2\r\n");
    EXPECT_EQ(Answer("", 2s + 100ms), "data 2 of 2\r\nOK\r\n");
}

TEST_F(DemoDevice, ColoursLogLinesByLevel) {
    const std::string log = Answer("COLOR\r");
    EXPECT_NE(log.find("\x1b[0;31mE ("), std::string::npos);
    EXPECT_NE(log.find("\x1b[0;33mW ("), std::string::npos);
    EXPECT_NE(log.find("\x1b[0;32mI ("), std::string::npos);
    EXPECT_NE(log.find("\r\nD ("), std::string::npos);
    EXPECT_TRUE(log.ends_with("\x1b[0m\r\nD (1051) demo: 12 packets queued\r\nV (1063) demo: heap free 81234 bytes\r\nOK\r\n"));
}

TEST_F(DemoDevice, RedrawsAProgressLineWithCR) {
    EXPECT_EQ(Answer("PROGRESS\r"), "\r\nProgress:   0%");
    EXPECT_EQ(Answer("", 200ms), "\rProgress:  10%");
    EXPECT_EQ(Answer("", 2s), "\rProgress:  20%\rProgress:  30%\rProgress:  40%\rProgress:  50%\rProgress:  60%"
                              "\rProgress:  70%\rProgress:  80%\rProgress:  90%\rProgress: 100%\r\nOK\r\n");
}

TEST_F(DemoDevice, AShellAsksWhereTheCursorIsThenEditsItsLineUntilExit) {
    EXPECT_EQ(Answer("SHELL\r"), "\r\n\x1b[6ndemo:~$ ");
    // The terminal's answer is read and left; BS and DEL take back a character.
    EXPECT_EQ(Answer("\x1b[5;1Ratx\x7f"), "atx\b\x1b[K");
    EXPECT_EQ(Answer("i\r\n"), "i\r\n\r\nOstra demo device, firmware 1.0\r\nOK\r\ndemo:~$ ");
    EXPECT_EQ(Answer("ab\x03"), "ab^C\r\ndemo:~$ ");
    EXPECT_EQ(Answer("exit\r"), "exit\r\nOK\r\n");
    EXPECT_EQ(Answer("AT\r"), "\r\nOK\r\n");
}

TEST_F(DemoDevice, PlotsSineCosineAndNoiseAtTheRateAskedUntilAnyKey) {
    EXPECT_EQ(Answer("PLOT 4\r"), "\r\nsin:0.0000,cos:1.0000,noise:" + TDemoDevice::PlotLine(0, 4).substr(28) + "\r\n");
    EXPECT_EQ(Answer("", 249ms), "");
    EXPECT_EQ(Device.NextDue(Start + 249ms), Start + 250ms);
    EXPECT_EQ(Answer("", 500ms), TDemoDevice::PlotLine(1, 4) + "\r\n" + TDemoDevice::PlotLine(2, 4) + "\r\n");
    EXPECT_TRUE(TDemoDevice::PlotLine(1, 4).starts_with("sin:0.7071,cos:0.7071,noise:"));
    EXPECT_TRUE(TDemoDevice::PlotLine(2, 4).starts_with("sin:1.0000,cos:0.0000,noise:"));
    // The key ends the plot and is no command; what follows it is.
    EXPECT_EQ(Answer("xAT\r", 600ms), "OK\r\n\r\nOK\r\n");
    EXPECT_EQ(Device.NextDue(Start + 10s), std::nullopt);
    EXPECT_EQ(Answer("plot\r", 1s), "\r\n" + TDemoDevice::PlotLine(0, 20) + "\r\n");
    EXPECT_EQ(Answer("", 1s + 50ms), TDemoDevice::PlotLine(1, 20) + "\r\n");
    EXPECT_EQ(Answer("\r", 2s), "OK\r\n");

    // Noise fills its band.
    double noise = 0, least = 1, most = -1;
    for (uint64_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(std::sscanf(TDemoDevice::PlotLine(i, 100).c_str(), "sin:%*f,cos:%*f,noise:%lf", &noise), 1);
        least = std::min(least, noise);
        most = std::max(most, noise);
    }
    EXPECT_TRUE(least >= -0.2 && least < -0.19 && most <= 0.2 && most > 0.19) << least << " " << most;
    for (const char* refused : {"PLOT 0\r", "PLOT 10001\r", "PLOT x\r", "PLOT 5 5\r"})
        EXPECT_EQ(Answer(refused, 3s), "\r\nERROR\r\n") << refused;
}

TEST_F(DemoDevice, BurstSendsEveryByteValueInTurnThenOk) {
    const std::string burst = Answer("BURST 600\r");
    ASSERT_EQ(burst.size(), 2 + 600u + 4);
    EXPECT_TRUE(burst.starts_with("\r\n"));
    for (std::size_t i = 0; i < 600; ++i) ASSERT_EQ(static_cast<unsigned char>(burst[2 + i]), i % 256) << i;
    EXPECT_EQ(burst.substr(602), "OK\r\n");
}

TEST_F(DemoDevice, AConsoleThatDoesNotReadCostsNoMemory) {
    Device.Receive("BURST 10000000\r", Start);
    for (int i = 0; i < 100; ++i) Device.Produce(Start);
    EXPECT_LE(Device.Output().size(), 2 * TDemoDevice::OutputLow);
    EXPECT_EQ(Device.NextDue(Start), std::nullopt);  // waits for the console, not the clock
    Device.Receive("STREAM 5\r", Start);
    for (std::size_t i = 0; i < 10 * TDemoDevice::MaxWaitingLines; ++i) Device.Receive("AT\r", Start);
    for (int i = 0; i < 100; ++i) Device.Produce(Start);
    EXPECT_LE(Device.Output().size(), 2 * TDemoDevice::OutputLow);
}

struct TFlood {
    const char* Name;
    const char* Before;
    std::string Input;
};

class DemoDeviceFlood : public DemoDevice, public testing::WithParamInterface<TFlood> {};

// What the device is not asked to send waits in the line, not in the device;
// once the console reads, it takes the rest.
TEST_P(DemoDeviceFlood, TakesInputOnlyWhileItsOutputIsRead) {
    Answer(GetParam().Before);
    const std::string& input = GetParam().Input;
    const std::size_t taken = Device.Receive(input, Start);
    EXPECT_LT(taken, input.size());
    EXPECT_LE(Device.Output().size(), 2 * TDemoDevice::OutputLow);
    std::size_t all = taken, sent = 0;
    while (all < input.size()) {
        sent += Device.Output().size();
        Device.Consume(Device.Output().size());
        all += Device.Receive(std::string_view(input).substr(all), Start);
        ASSERT_LE(Device.Output().size(), 2 * TDemoDevice::OutputLow);
    }
    EXPECT_GE(sent + Device.Output().size(), input.size());
}

std::string Repeated(const std::string& Text, std::size_t Bytes) {
    std::string repeated;
    while (repeated.size() < Bytes) repeated += Text;
    return repeated;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoDeviceFlood,
    testing::Values(TFlood{"Echo", "ECHO ON\r", std::string(8 << 20, 'x')},
                    TFlood{"Help", "", Repeated("HELP\r", 100'000)}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(DemoDevice, SurvivesAnyByteAndOverlongLines) {
    std::string everyByte;
    for (int value = 0; value < 256; ++value) everyByte += static_cast<char>(value);
    Answer(everyByte + everyByte);
    EXPECT_EQ(Answer("\r"), "\r\nERROR\r\n");
    EXPECT_EQ(Answer(std::string(100'000, 'A') + "\r"), "\r\nERROR\r\n");
    EXPECT_EQ(Answer("AT" + std::string(TDemoDevice::MaxLine, ' ') + "\r"), "\r\nERROR\r\n");
    EXPECT_EQ(Answer("AT\r"), "\r\nOK\r\n");
}

// ---- the program ----------------------------------------------------------------

// Collects what the engine receives from the device.
class TReplies {
public:
    void Attach(TOrvelSerialPort& Port) {
        Port.SetOnReceive([this](TObject*, AnsiString Buffer) {
            std::lock_guard guard(FLock);
            FText += Buffer;
        });
    }
    bool WaitFor(const std::string& Ending) {
        return WaitUntil([&] {
            std::lock_guard guard(FLock);
            return FText.ends_with(Ending);
        });
    }
    std::string Take() {
        std::lock_guard guard(FLock);
        return std::exchange(FText, {});
    }

private:
    std::mutex FLock;
    std::string FText;
};

class DemoDeviceProgram : public ::testing::TestWithParam<int> {
protected:
    const fs::path Link = fs::temp_directory_path() / ("ostra-demo-" + std::to_string(getpid()));
    void TearDown() override { fs::remove(Link); }
};

TEST_P(DemoDeviceProgram, ServesTheEngineAcrossReconnectsAndRemovesItsLinkWhenEnded) {
    TChildProcess demo(OSTRA_DEMO_DEVICE, {"--link", Link.string()});
    const auto path = demo.ReadLine();
    ASSERT_EQ(path, Link.string());
    ASSERT_TRUE(fs::is_symlink(Link));
    const TPortMap map("DEMO=" + *path);

    TOrvelSerialPort port(nullptr);
    TReplies replies;
    replies.Attach(port);
    port.SetCommPort(spCustom);
    port.SetCustomPortName("DEMO");
    for (const char* command : {"ATI\r", "help\r\n", "UTF8\n"}) {
        port.Open();
        ASSERT_EQ(port.IsConnected(), spCustom) << command;
        port.SendString(command);
        EXPECT_TRUE(replies.WaitFor(command[0] == 'h' ? "exit leaves\r\n" : "OK\r\n")) << replies.Take();
        replies.Take();
        port.Close();
    }

    demo.Signal(GetParam());
    EXPECT_EQ(demo.Wait(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Link)));
}

INSTANTIATE_TEST_SUITE_P(BySignal, DemoDeviceProgram, ::testing::Values(SIGTERM, SIGINT));

struct TUserMap {
    const char* Environment;  // what OSTRA_PORTS is set to before, if anything
    const char* Expected;     // the start of the map the command sees
};

TEST(DemoDeviceBesideACommand, AddsDemoAfterTheUsersMapAndEndsWithTheCommand) {
    const TUserMap cases[] = {
        {nullptr, "DEMO=/dev/pts/"},
        {"COM5=/dev/ttyUSB3", "COM5=/dev/ttyUSB3;DEMO=/dev/pts/"},
    };
    for (const TUserMap& c : cases) {
        const std::string setting = c.Environment ? std::string("OSTRA_PORTS='") + c.Environment + "' " : "unset OSTRA_PORTS; ";
        const TCommandResult run = RunCommand(setting + OSTRA_SOURCE_DIR "/scripts/with-demo-device " OSTRA_DEMO_DEVICE
                                              " sh -c 'printf \"%s\\n\" \"$OSTRA_PORTS\"'");
        EXPECT_EQ(run.Status, 0) << run.Output;
        EXPECT_TRUE(run.Output.starts_with(c.Expected)) << run.Output;
        const std::string port = run.Output.substr(run.Output.find("DEMO=") + 5, run.Output.find('\n') - run.Output.find("DEMO=") - 5);
        // The pty's node goes with the device that held it.
        EXPECT_TRUE(WaitUntil([&] { return !fs::exists(port); })) << port;
    }
}

}  // namespace
