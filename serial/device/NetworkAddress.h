// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ports on the network are named rfc2217://HOST:PORT (a telnet server with
// port control) or tcp://HOST:PORT (raw bytes). HOST may be a name, an IPv4
// address or an IPv6 address in brackets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TNetworkProtocol : uint8_t { Rfc2217, RawTcp };

struct TNetworkAddress {
    TNetworkProtocol Protocol;
    std::string Host;  // without brackets
    uint16_t Port;

    // "host:port", as messages name the server.
    std::string HostAndPort() const;
    // The port name it was parsed from, in its usual spelling.
    std::string PortName() const;
};

// Starts with one of the schemes (any case): a network port, well formed or not.
bool IsNetworkPortName(std::string_view Name);
// None when Name is not a well-formed network port name.
std::optional<TNetworkAddress> ParseNetworkPortName(std::string_view Name);
// NAME of the device path "\\.\NAME", or FileName itself.
std::string_view DeviceNameOf(std::string_view FileName);
