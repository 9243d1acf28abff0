// Send: SendString of 1 MB into a pseudo-terminal whose far end is drained as
// fast as possible, against a plain write() of the same bytes on the same pty.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr int kRounds = 21;  // alternating, so drift of the machine hits both alike

// Reads the far end until Expected bytes came.
class TDrain {
public:
    TDrain(int Fd, uint64_t Expected) {
        FThread = std::thread([this, Fd, Expected] {
            std::vector<char> buffer(65536);
            const auto start = TClock::now();
            while (FReceived < Expected && SecondsSince(start) < 30) {
                pollfd p{Fd, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0) continue;
                const ssize_t n = ::read(Fd, buffer.data(), buffer.size());
                if (n > 0) FReceived += static_cast<uint64_t>(n);
            }
        });
    }
    uint64_t Join() {
        FThread.join();
        return FReceived;
    }

private:
    uint64_t FReceived = 0;
    std::thread FThread;
};

// One send of kBlockSize bytes, timed while the far end drains it; false when
// not every byte arrived.
bool TimedSend(const TPty& Far, const std::function<void()>& Send, std::vector<double>& Seconds) {
    TDrain drain(Far.Master(), kBlockSize);
    const auto start = TClock::now();
    Send();
    Seconds.push_back(SecondsSince(start));
    return drain.Join() == kBlockSize;
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

}  // namespace

int main() {
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    std::string block(kBlockSize, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('A' + i % 26);  // no zero byte

    const int fd = OpenRawTerminal(far.SlavePath());
    const auto plainWrite = [&] {
        for (std::size_t done = 0; done < block.size();) {
            const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    };
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM5);
    uint32_t count = 0;
    const auto sendString = [&] { count = port.SendString(block); };

    std::vector<double> plain;
    std::vector<double> sent;
    bool plainArrived = true;
    bool sentArrived = true;
    for (int round = 0; round < kRounds; ++round) {
        plainArrived = TimedSend(far, plainWrite, plain) && plainArrived;
        port.Open();
        sentArrived = TimedSend(far, sendString, sent) && count == kBlockSize && sentArrived;
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
