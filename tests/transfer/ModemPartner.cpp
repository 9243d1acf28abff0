// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/transfer/ModemPartner.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <algorithm>
#include <stdexcept>

TRelay::TRelay(int A, int B, std::size_t Every, std::size_t Rate) : FEvery(Every), FRate(Rate) {
    for (const int end : {A, B}) ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    FThreads[0] = std::thread([this, A, B] { Run(A, B); });
    FThreads[1] = std::thread([this, A, B] { Run(B, A); });
}

TRelay::~TRelay() {
    FStop = true;
    for (std::thread& thread : FThreads) thread.join();
}

void TRelay::Run(int From, int To) {
    std::size_t count = 0;
    std::chrono::steady_clock::time_point lineFree{};
    pollfd in{From, POLLIN, 0};
    while (!FStop)
        if (::poll(&in, 1, 50) > 0 && (in.revents & POLLIN) && !Pass(From, To, count, lineFree)) return;
}

void TRelay::Pace(std::chrono::steady_clock::time_point Start, std::size_t Count) const {
    if (FRate == 0) return;
    const auto due = Start + std::chrono::microseconds(Count * 1000000 / FRate);
    std::this_thread::sleep_until(due);
}

// A byte that finds the line idle goes at once; one that queues behind others waits its turn.
bool TRelay::Pass(int From, int To, std::size_t& Count, std::chrono::steady_clock::time_point& LineFree) {
    char block[4096];
    const ssize_t got = ::read(From, block, FRate ? std::min<std::size_t>(sizeof block, 64) : sizeof block);
    if (got <= 0) return errno == EINTR || errno == EAGAIN;
    for (ssize_t i = 0; i < got; ++i)
        if (FEvery && ++Count % FEvery == 0) {
            block[i] = static_cast<char>(block[i] ^ 0x5A);
            ++FDamaged;
        }
    const auto now = std::chrono::steady_clock::now();
    const auto start = std::max(now, LineFree);
    Pace(start, static_cast<std::size_t>(got));
    if (FRate) LineFree = start + std::chrono::microseconds(static_cast<std::size_t>(got) * 1000000 / FRate);
    // A side that stops reading must not keep the relay from stopping.
    pollfd out{To, POLLOUT, 0};
    for (ssize_t done = 0; done < got && !FStop;) {
        if (::poll(&out, 1, 50) <= 0) continue;
        const ssize_t put = ::write(To, block + done, static_cast<std::size_t>(got - done));
        if (put < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (put > 0) done += put;
    }
    return true;
}

TModemPartner::TModemPartner(std::size_t Every, std::size_t Rate)
    // The far terminal stays open between programs, so the relay always has an end there.
    : FFarSlave(::open(FFar.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)),
      FMap("COM5=" + FNear.SlavePath()),
      FRelay(FNear.Master(), FFar.Master(), Every, Rate) {}

TModemPartner::~TModemPartner() {
    FProgram.reset();
    ::close(FFarSlave);
}

TEngineEnd::TEngineEnd() {
    FPort.SetCommPort(TOrvelSerialPort::StringToCommPort("COM5"));
    FPort.SetBaudRate(br115200);
    FPort.SetNeedSynchronization(false);
    FLink = std::make_unique<TPortLink>(FPort);
    FPort.SetOnReceive([this](TObject*, AnsiString Bytes) { FLink->Feed(Bytes); });
    FPort.Open();
}

void TModemPartner::Start(const std::string& Folder, const std::string& CommandLine) {
    const std::string tty = FFar.SlavePath();
    FProgram = std::make_unique<TChildProcess>(
        "/bin/sh", std::vector<std::string>{"-c", "cd '" + Folder + "' && exec " + CommandLine + " <" + tty + " >" + tty});
}

std::optional<int> TModemPartner::Wait(std::chrono::seconds Deadline) { return FProgram->Wait(Deadline); }

void WriteFile(const std::string& Path, const std::string& Content) {
    std::ofstream file(Path, std::ios::binary | std::ios::trunc);
    file.write(Content.data(), static_cast<std::streamsize>(Content.size()));
    if (!file) throw std::runtime_error("cannot write " + Path);
}

std::string Pattern(std::size_t Count) {
    std::string bytes(Count, '\0');
    for (std::size_t i = 0; i < Count; ++i) bytes[i] = static_cast<char>((i + i / 256) & 0xFF);
    return bytes;
}
