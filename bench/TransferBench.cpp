// SPDX-License-Identifier: GPL-3.0-or-later
// XMODEM-1K at 115,200 baud: a file sent to rx through a relay that passes
// 11,520 bytes a second each way, as the line does, against the same bytes
// written straight through the same relay.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "bench/BenchSupport.h"
#include "tests/support/Pty.h"
#include "tests/transfer/ModemPartner.h"
#include "transfer/Modem.h"

namespace {

constexpr std::size_t kLineRate = 115200 / 10;  // bytes a second: ten bits on the line for each byte
constexpr std::size_t kFileSize = 128 * 1024;

double XmodemSeconds(const std::string& Folder, const std::string& Content, bool& Arrived) {
    TModemPartner partner(0, kLineRate);
    TEngineEnd engine;
    partner.Start(Folder, "rx -q -c got.bin");
    std::istringstream file(Content);
    TTransferState state;
    TModemOptions options;
    options.OneK = true;
    const TClock::time_point start = TClock::now();
    XmodemSend(engine.Link(), file, Content.size(), options, state);
    const double seconds = SecondsSince(start);
    Arrived = partner.Wait() == 0 && state.Bytes == Content.size();
    return seconds;
}

// The far end reads what the near end writes, through the paced relay.
double PlainSeconds(const std::string& Content) {
    TPty near, far;
    TRelay line(near.Master(), far.Master(), 0, kLineRate);
    const int nearEnd = OpenRawTerminal(near.SlavePath());
    const int farEnd = OpenRawTerminal(far.SlavePath());
    const TClock::time_point start = TClock::now();
    TDrain reader(farEnd, Content.size());
    WriteAll(nearEnd, Content);
    reader.Join();
    const double seconds = SecondsSince(start);
    ::close(nearEnd);
    ::close(farEnd);
    return seconds;
}

}  // namespace

int main() {
    const std::string content = Pattern(kFileSize);
    const auto folder = std::filesystem::temp_directory_path() / "ostra-transfer-bench";
    std::filesystem::create_directories(folder);
    const double plain = PlainSeconds(content);
    bool arrived = false;
    const double xmodem = XmodemSeconds(folder.string(), content, arrived);
    std::filesystem::remove_all(folder);
    PrintFigure("128 KB written at 115,200 baud (baseline)", kFileSize / plain / 1e3, "KB/s", 1.0);
    PrintFigure("128 KB by XMODEM-1K at 115,200 baud", kFileSize / xmodem / 1e3, "KB/s", plain / xmodem,
                arrived ? "" : "NOT DELIVERED");
    return 0;
}
