// SPDX-License-Identifier: GPL-3.0-or-later
// Send file: a 1 MB file of every byte value sent by the window's file sender
// (blocks on a thread of its own, through the engine's send) into a
// pseudo-terminal whose far end is drained, against a plain read of the file
// and write() of its bytes on the same pty.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "console/FileSendJob.h"
#include "tests/support/Pty.h"

namespace {

constexpr std::size_t kFileSize = 1 << 20;
constexpr int kRounds = 11;  // alternating, so drift of the machine hits both alike

std::string WriteTestFile() {
    char path[] = "/tmp/ostra-send-file-XXXXXX";
    const int fd = ::mkstemp(path);
    std::string bytes(kFileSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i + i / 256) & 0xFF);
    const bool written = fd >= 0 && WriteAll(fd, bytes);
    if (fd >= 0) ::close(fd);
    return written ? path : "";
}

}  // namespace

int main() {
    const std::string path = WriteTestFile();
    if (path.empty()) {
        std::perror("test file");
        return 1;
    }
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    const int fd = OpenRawTerminal(far.SlavePath());
    const auto plainWrite = [&] {
        std::ifstream file(path, std::ios::binary);
        WriteAll(fd, std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
    };
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM5);
    port.SetBaudRate(br115200);
    const std::size_t blockSizes[] = {TFileSendJob::BlockSizeFor(115200), TFileSendJob::BlockSizeFor(921600)};

    std::vector<double> plain;
    std::vector<std::vector<double>> sent(std::size(blockSizes));
    bool arrived = true;
    for (int round = 0; round < kRounds; ++round) {
        arrived = TimedSend(far, kFileSize, plainWrite, plain) && arrived;
        port.Open();
        for (std::size_t i = 0; i < std::size(blockSizes); ++i) {
            TFileSendJob job(port, path, blockSizes[i]);
            const auto send = [&] {
                job.Start();
                job.Wait();
            };
            arrived = TimedSend(far, kFileSize, send, sent[i]) && job.Outcome() == TFileSendJob::soDone && arrived;
        }
        port.Close();
    }
    ::close(fd);
    ::unlink(path.c_str());

    const double plainSeconds = Median(plain);
    const char* note = arrived ? "" : "BYTES MISSING";
    PrintFigure("send file: read + write() of 1 MB (baseline)", MegabytesPerSecond(kFileSize, plainSeconds), "MB/s",
                1.0, note);
    for (std::size_t i = 0; i < std::size(blockSizes); ++i) {
        const double seconds = Median(sent[i]);
        PrintFigure("send file of 1 MB in blocks of " + std::to_string(blockSizes[i]) + " B",
                    MegabytesPerSecond(kFileSize, seconds), "MB/s", plainSeconds / seconds, note);
    }
    return 0;
}
