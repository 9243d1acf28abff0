// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the telnet/RFC 2217 client: whatever a server sends,
// in whatever pieces, the client neither crashes nor grows without bound.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "serial/device/Rfc2217.h"

namespace {

void Require(bool Condition) {
    if (!Condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0) return 0;
    using TClock = TRfc2217Client::TClock;
    TClock::time_point now{};
    TRfc2217Client client(now);
    std::string_view input(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    // The first byte cuts the rest into pieces of its size, and says when to ask.
    const std::size_t piece = Data[0] % 32 + 1;
    std::size_t taken = 0;
    while (!input.empty()) {
        const std::string_view chunk = input.substr(0, piece);
        input.remove_prefix(chunk.size());
        std::string data;
        client.Receive(chunk, data, now);
        Require(data.size() <= chunk.size());
        taken += chunk.size();
        if (taken % 7 == 0) client.Request(ComPort::SetControl, std::string(1, static_cast<char>(Data[0])), now);
        // Replies are at most a few bytes per byte received, plus the requests
        // that waited for the option (at most 32 of a dozen bytes each).
        Require(client.TakeOutgoing().size() <= 3 * chunk.size() + 32 * 12 + 16);
        now += std::chrono::milliseconds(Data[0]);
        Require(client.TakeNotices(now).size() <= 16);
    }
    return 0;
}
