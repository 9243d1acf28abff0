// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/DemoDevice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t MaxCount = 10'000'000;
constexpr uint32_t MaxRate = 1000;
constexpr uint32_t DefaultRate = 10;
constexpr uint32_t MaxPlotRate = 10'000;
constexpr uint32_t DefaultPlotRate = 20;

const char* const kIdentity = "Ostra demo device, firmware 1.0";
const char* const kUtf8Line = "Grüße, café, smørrebrød, Ελλάδα, Москва: ± ° µ € → ✓ 😀 🎉";
const char* const kHelp[] = {
    "AT              answers OK",
    "ATI             identity of this device",
    "HELP            this list",
    "STATUS          uptime, temperature, counter",
    "ECHO ON|OFF     send received bytes back",
    "STREAM N [RATE] N lines, RATE a second (10)",
    "BURST N         N bytes counting 0 to 255",
    "PLOT [RATE]     sin, cos, noise, RATE a second (20), until any key",
    "UTF8            accented letters, emoji",
    "COLOR           log lines of every level, coloured",
    "PROGRESS        a progress line redrawn in place",
    "SHELL           a prompt with line editing; exit leaves",
};
constexpr uint32_t kProgressSteps = 11;  // 0 % to 100 %
constexpr auto kProgressStep = std::chrono::milliseconds(200);
const char* const kPrompt = "demo:~$ ";

std::vector<std::string> Words(const std::string& Line) {
    std::istringstream in(Line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : static_cast<char>(c); });
        words.push_back(word);
    }
    return words;
}

// A whole decimal number from 1 to Max, else none.
std::optional<uint32_t> Count(const std::string& Word, uint32_t Max) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(Word.data(), Word.data() + Word.size(), value);
    if (error != std::errc() || end != Word.data() + Word.size() || value == 0 || value > Max) return std::nullopt;
    return value;
}

double Seconds(std::chrono::steady_clock::duration Duration) {
    return std::chrono::duration<double>(Duration).count();
}

}  // namespace

TDemoDevice::TDemoDevice(TClock::time_point Start) : FStart(Start) {}

std::size_t TDemoDevice::Receive(std::string_view Bytes, TClock::time_point Now) {
    for (std::size_t taken = 0; taken < Bytes.size(); ++taken) {
        if (Output().size() >= OutputLow) return taken;
        const char byte = Bytes[taken];
        if (FPlot) {
            // Any key ends a plot, and is no part of a command.
            FPlot.reset();
            Reply("OK");
            continue;
        }
        if (FShell) {
            ShellByte(byte, Now);
            continue;
        }
        if (FEcho) FOutput += byte;
        const bool lineEnd = byte == '\r' || byte == '\n';
        // The LF of a CR LF pair ends nothing more.
        if (byte == '\n' && FLastWasCR) {
            FLastWasCR = false;
            continue;
        }
        FLastWasCR = byte == '\r';
        if (lineEnd) {
            EndLine(Now);
        } else if (FLine.size() < MaxLine) {
            FLine += byte;
        } else {
            FLineTooLong = true;
        }
    }
    return Bytes.size();
}

// The sent front goes once it is the larger part, so sending costs what is sent.
void TDemoDevice::Consume(std::size_t Count) {
    FSent += std::min(Count, Output().size());
    if (FSent * 2 < FOutput.size()) return;
    FOutput.erase(0, FSent);
    FSent = 0;
}

void TDemoDevice::EndLine(TClock::time_point Now) {
    // An overlong line waits as one longer than MaxLine: enough to refuse it.
    std::string line = FLineTooLong ? std::string(MaxLine + 1, 'x') : FLine;
    FLine.clear();
    FLineTooLong = false;
    if (!FJob) {
        Execute(line, Now);
    } else if (FWaiting.size() < MaxWaitingLines) {
        FWaiting.push_back(std::move(line));
    }
}

void TDemoDevice::Reply(std::string_view Line) {
    FOutput += Line;
    FOutput += "\r\n";
}

void TDemoDevice::Execute(const std::string& Line, TClock::time_point Now) {
    const std::vector<std::string> words = Words(Line);
    if (words.empty()) return;  // a bare line end is no command
    ++FCommands;
    // The answer starts on a line of its own, as a modem's does, so that it
    // does not run on from the command a console shows.
    Reply("");
    const std::string& command = words[0];
    const std::size_t arguments = words.size() - 1;
    if (Line.size() > MaxLine) {
        Reply("ERROR");
    } else if (command == "AT" && arguments == 0) {
        Reply("OK");
    } else if (command == "ATI" && arguments == 0) {
        Reply(kIdentity);
        Reply("OK");
    } else if (command == "HELP" && arguments == 0) {
        for (const char* line : kHelp) Reply(line);
    } else if (command == "STATUS" && arguments == 0) {
        Status(Now);
    } else if (command == "ECHO" && arguments == 1 && (words[1] == "ON" || words[1] == "OFF")) {
        FEcho = words[1] == "ON";
        Reply("OK");
    } else if (command == "UTF8" && arguments == 0) {
        Reply(kUtf8Line);
        Reply("OK");
    } else if (command == "STREAM" && (arguments == 1 || arguments == 2)) {
        const auto lines = Count(words[1], MaxCount);
        const auto rate = arguments == 2 ? Count(words[2], MaxRate) : std::optional<uint32_t>(DefaultRate);
        if (!lines || !rate) return Reply("ERROR");
        FJob = TJob{TJob::Stream, *lines, 0, std::chrono::nanoseconds(1'000'000'000 / *rate), Now};
    } else if (command == "COLOR" && arguments == 0) {
        ColouredLog();
    } else if (command == "PROGRESS" && arguments == 0) {
        FJob = TJob{TJob::Progress, kProgressSteps, 0, kProgressStep, Now};
    } else if (command == "SHELL" && arguments == 0) {
        StartShell();
    } else if (command == "PLOT" && arguments <= 1) {
        StartPlot(words, Now);
    } else if (command == "BURST" && arguments == 1) {
        const auto bytes = Count(words[1], MaxCount);
        if (!bytes) return Reply("ERROR");
        FJob = TJob{TJob::Burst, *bytes, 0, {}, Now};
    } else {
        Reply("ERROR");
    }
}

void TDemoDevice::Status(TClock::time_point Now) {
    const double uptime = Seconds(Now - FStart);
    // A slow drift with a little ripple, as a sensor on a desk shows.
    const double temperature = 23.0 + 1.5 * std::sin(uptime / 90.0) + 0.2 * std::sin(uptime * 1.7);
    char text[64];
    std::snprintf(text, sizeof text, "uptime %.1f s", uptime);
    Reply(text);
    std::snprintf(text, sizeof text, "temperature %.2f C", temperature);
    Reply(text);
    std::snprintf(text, sizeof text, "counter %u", FCommands);
    Reply(text);
    Reply("OK");
}

void TDemoDevice::StartPlot(const std::vector<std::string>& Words, TClock::time_point Now) {
    const auto rate = Words.size() == 2 ? Count(Words[1], MaxPlotRate) : std::optional<uint32_t>(DefaultPlotRate);
    if (!rate) return Reply("ERROR");
    FPlot = TPlot{*rate, Now};
}

std::string TDemoDevice::PlotLine(uint64_t Index, uint32_t Rate) {
    constexpr double kPi = 3.14159265358979323846;
    const double phase = kPi * static_cast<double>(Index) / Rate;
    // A fixed scramble of the index, so that a test can make the same noise.
    uint64_t bits = (Index + 1) * 0x9E3779B97F4A7C15ULL;
    bits ^= bits >> 29;
    bits *= 0xBF58476D1CE4E5B9ULL;
    bits ^= bits >> 32;
    const double noise = (static_cast<double>(bits % 20001) / 10000.0 - 1.0) * 0.2;
    // Rounded first, so that a value a hair below zero does not print as -0.0000.
    const auto shown = [](double Value) { return std::round(Value * 1e4) / 1e4 + 0.0; };
    char text[80];
    std::snprintf(text, sizeof text, "sin:%.4f,cos:%.4f,noise:%.4f", shown(std::sin(phase)), shown(std::cos(phase)),
                  shown(noise));
    return text;
}

void TDemoDevice::ProducePlot(TClock::time_point Now) {
    while (Output().size() < OutputLow && Now >= FPlot->Due()) Reply(PlotLine(FPlot->Done++, FPlot->Rate));
}

void TDemoDevice::Produce(TClock::time_point Now) {
    if (FPlot) return ProducePlot(Now);
    while (FJob && Output().size() < OutputLow) {
        TJob& job = *FJob;
        if (job.Kind == TJob::Burst) {
            const uint32_t count = std::min<uint32_t>(job.Total - job.Done, OutputLow);
            for (uint32_t i = 0; i < count; ++i) FOutput += static_cast<char>((job.Done + i) & 0xFF);
            job.Done += count;
        } else if (job.Kind == TJob::Progress) {
            if (Now < job.Start + job.Period * job.Done) return;
            // Each step goes back to the start of the line and writes over the one before.
            char text[32];
            std::snprintf(text, sizeof text, "%sProgress: %3u%%", job.Done ? "\r" : "", job.Done * 10);
            FOutput += text;
            if (++job.Done == job.Total) FOutput += "\r\n";
        } else {
            if (Now < job.Start + job.Period * job.Done) return;
            char text[64];
            std::snprintf(text, sizeof text, "data %u of %u", job.Done + 1, job.Total);
            Reply(text);
            ++job.Done;
        }
        if (job.Done == job.Total) FinishJob(Now);
    }
}

void TDemoDevice::FinishJob(TClock::time_point Now) {
    FJob.reset();
    Reply("OK");
    while (!FJob && !FWaiting.empty()) {
        const std::string line = std::move(FWaiting.front());
        FWaiting.pop_front();
        Execute(line, Now);
    }
}

// As firmware commonly colours its log: errors red, warnings yellow, information green,
// debug and verbose lines plain.
void TDemoDevice::ColouredLog() {
    Reply("\x1b[0;31mE (1021) demo: sensor not answering\x1b[0m");
    Reply("\x1b[0;33mW (1032) demo: supply voltage low: 3.1 V\x1b[0m");
    Reply("\x1b[0;32mI (1040) demo: wifi connected, 192.168.1.20\x1b[0m");
    Reply("D (1051) demo: 12 packets queued");
    Reply("V (1063) demo: heap free 81234 bytes");
    Reply("OK");
}

// As embedded shells do, it first asks the terminal where its cursor is.
void TDemoDevice::StartShell() {
    FShell = true;
    FShellEscape = false;
    FShellLine.clear();
    FOutput += "\x1b[6n";
    FOutput += kPrompt;
}

void TDemoDevice::ShellByte(char Byte, TClock::time_point Now) {
    const auto byte = static_cast<unsigned char>(Byte);
    if (FShellEscape) {
        // The answer to the position request, and keys that come as sequences, are read and left.
        FShellEscape = !(byte >= 0x40 && byte <= 0x7E && byte != '[');
        return;
    }
    const bool pairedLineFeed = byte == '\n' && FLastWasCR;
    FLastWasCR = byte == '\r';
    if (pairedLineFeed) return;
    if (byte == 0x1B) {
        FShellEscape = true;
    } else if (byte == '\r' || byte == '\n') {
        FOutput += "\r\n";
        const std::string line = std::exchange(FShellLine, {});
        const std::vector<std::string> words = Words(line);
        if (words.size() == 1 && words[0] == "EXIT") {
            FShell = false;
            return Reply("OK");
        }
        if (!words.empty()) Execute(line, Now);
        FOutput += kPrompt;
    } else if (byte == 0x7F || byte == 0x08) {
        if (FShellLine.empty()) return;
        FShellLine.pop_back();
        FOutput += "\b\x1b[K";
    } else if (byte == 0x03) {
        FShellLine.clear();
        FOutput += "^C\r\n";
        FOutput += kPrompt;
    } else if (byte >= 0x20 && FShellLine.size() < MaxLine) {
        FShellLine += Byte;
        FOutput += Byte;
    }
}

std::optional<TDemoDevice::TClock::time_point> TDemoDevice::NextDue(TClock::time_point Now) const {
    if (FPlot) return Output().size() < OutputLow ? std::optional(std::max(Now, FPlot->Due())) : std::nullopt;
    if (!FJob || Output().size() >= OutputLow) return std::nullopt;  // waits for the console to read
    if (FJob->Kind == TJob::Burst) return Now;
    return std::max(Now, FJob->Start + FJob->Period * FJob->Done);
}
