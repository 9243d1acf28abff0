// SPDX-License-Identifier: GPL-3.0-or-later
// Two network ports joined by a cable behind the server: bytes written to
// one arrive at the other. The Windows test run starts ser2net on the Linux
// side with an RFC 2217 accepter on one end of a pty pair and a raw one on
// the other, and names them in OSTRA_NETWORK_PAIR ("rfc2217://...;tcp://...").
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "tests/serial/device/DeviceTestSupport.h"

namespace {

using namespace std::chrono_literals;

std::string ReceiveFrom(HANDLE Handle, std::size_t Count) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (received.size() < Count && std::chrono::steady_clock::now() < deadline) {
        // Waits up to 100 ms for the first byte, then takes what is there.
        received += ReadDevice(Handle, static_cast<DWORD>(Count - received.size())).Data;
    }
    return received;
}

TEST(NetworkPair, EveryByteValueCrossesBothWays) {
    const char* pair = std::getenv("OSTRA_NETWORK_PAIR");
    if (!pair) GTEST_SKIP() << "OSTRA_NETWORK_PAIR is not set";
    const std::string names(pair);
    const std::size_t split = names.find(';');
    ASSERT_NE(split, std::string::npos);
    TDeviceHandle rfc2217(OpenDevice(names.substr(0, split)));
    TDeviceHandle raw(OpenDevice(names.substr(split + 1)));
    ASSERT_TRUE(rfc2217.Valid());
    ASSERT_TRUE(raw.Valid());
    for (const HANDLE handle : {rfc2217.Get(), raw.Get()}) {
        DCB dcb = LineSettingsAt(115200);
        ASSERT_TRUE(CommBackend().SetCommState(handle, &dcb));
        ASSERT_TRUE(SetTimeouts(handle, {MAXDWORD, MAXDWORD, 100, 0, 10000}));
    }
    const std::string all = AllByteValues() + AllByteValues();
    EXPECT_EQ(WriteDevice(rfc2217.Get(), all), all.size());
    EXPECT_EQ(ReceiveFrom(raw.Get(), all.size()), all);
    EXPECT_EQ(WriteDevice(raw.Get(), all), all.size());
    EXPECT_EQ(ReceiveFrom(rfc2217.Get(), all.size()), all);
}

}  // namespace
