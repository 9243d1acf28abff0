// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The instrument that ostra-demo-device plays: it takes the bytes a console
// sends and answers them. No I/O here; the program moves the bytes, which
// lets a test drive the instrument with a clock of its own.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TDemoDevice {
public:
    using TClock = std::chrono::steady_clock;

    // Longest command line kept; a longer one is answered with ERROR.
    static constexpr std::size_t MaxLine = 256;
    // Lines that may wait behind a running STREAM or BURST; more are dropped.
    static constexpr std::size_t MaxWaitingLines = 32;
    // Timed and bulk output is made only while less than this waits to be sent,
    // so a console that is gone or slow costs no memory.
    static constexpr std::size_t OutputLow = 4096;

    explicit TDemoDevice(TClock::time_point Start);

    // Bytes from the console; returns how many it took. It takes none while
    // OutputLow or more waits to be sent, so a console that sends without
    // reading costs no memory either: the rest waits in the line.
    std::size_t Receive(std::string_view Bytes, TClock::time_point Now);
    // Makes the output of a running STREAM or BURST that is due by Now.
    void Produce(TClock::time_point Now);
    // When Produce has something to do next; none while idle or while the
    // output waits for the console to read.
    std::optional<TClock::time_point> NextDue(TClock::time_point Now) const;

    // What waits to be sent, and dropping the part that was.
    std::string_view Output() const { return std::string_view(FOutput).substr(FSent); }
    void Consume(std::size_t Count);

    // Line Index of PLOT at Rate lines a second, without its line end: a sine
    // and a cosine of period two seconds, and noise.
    static std::string PlotLine(uint64_t Index, uint32_t Rate);

private:
    struct TJob {
        enum TKind : uint8_t { Stream, Burst, Progress } Kind;
        uint32_t Total;
        uint32_t Done = 0;
        std::chrono::nanoseconds Period{};  // between lines of a stream
        TClock::time_point Start;
    };

    // PLOT [RATE]: plot lines until any byte arrives.
    struct TPlot {
        uint32_t Rate;
        TClock::time_point Start;
        uint64_t Done = 0;
        TClock::time_point Due() const { return Start + std::chrono::nanoseconds(1'000'000'000 / Rate) * Done; }
    };
    void StartPlot(const std::vector<std::string>& Words, TClock::time_point Now);
    void ProducePlot(TClock::time_point Now);

    void EndLine(TClock::time_point Now);
    void Execute(const std::string& Line, TClock::time_point Now);
    void Reply(std::string_view Line);
    void Status(TClock::time_point Now);
    void FinishJob(TClock::time_point Now);
    void ColouredLog();
    void StartShell();
    // A byte typed at the shell's prompt.
    void ShellByte(char Byte, TClock::time_point Now);

    TClock::time_point FStart;
    std::string FOutput;
    std::size_t FSent = 0;  // the front of FOutput already sent
    std::string FLine;
    bool FLineTooLong = false;
    bool FLastWasCR = false;
    bool FEcho = false;
    bool FShell = false;
    bool FShellEscape = false;  // inside a sequence the console sent to the shell
    std::string FShellLine;
    uint32_t FCommands = 0;
    std::optional<TJob> FJob;
    std::optional<TPlot> FPlot;
    std::deque<std::string> FWaiting;
};
