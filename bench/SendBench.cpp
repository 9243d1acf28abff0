// SPDX-License-Identifier: GPL-3.0-or-later
// Send: SendString of 1 MB into a pseudo-terminal whose far end is drained as
// fast as possible, against a plain write() of the same bytes on the same pty.
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr int kRounds = 21;  // alternating, so drift of the machine hits both alike

}  // namespace

int main() {
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    std::string block(kBlockSize, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('A' + i % 26);  // no zero byte

    const int fd = OpenRawTerminal(far.SlavePath());
    const auto plainWrite = [&] { WriteAll(fd, block); };
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM5);
    uint32_t count = 0;
    const auto sendString = [&] { count = port.SendString(block); };

    std::vector<double> plain;
    std::vector<double> sent;
    bool plainArrived = true;
    bool sentArrived = true;
    for (int round = 0; round < kRounds; ++round) {
        plainArrived = TimedSend(far, kBlockSize, plainWrite, plain) && plainArrived;
        port.Open();
        sentArrived = TimedSend(far, kBlockSize, sendString, sent) && count == kBlockSize && sentArrived;
        port.Close();
    }
    ::close(fd);

    const double plainSeconds = Median(plain);
    const double sentSeconds = Median(sent);
    PrintFigure("send plain write() of 1 MB (baseline)", MegabytesPerSecond(kBlockSize, plainSeconds), "MB/s", 1.0,
                plainArrived ? "" : "BYTES MISSING");
    PrintFigure("send SendString of 1 MB", MegabytesPerSecond(kBlockSize, sentSeconds), "MB/s",
                plainSeconds / sentSeconds, sentArrived ? "" : "BYTES MISSING");
    return 0;
}
