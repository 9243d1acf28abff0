// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/NetworkAddress.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

constexpr std::string_view Rfc2217Scheme = "rfc2217://";
constexpr std::string_view RawTcpScheme = "tcp://";

bool StartsWithNoCase(std::string_view Text, std::string_view Prefix) {
    return Text.size() >= Prefix.size() &&
           std::equal(Prefix.begin(), Prefix.end(), Text.begin(),
                      [](char P, char T) { return std::tolower(static_cast<unsigned char>(T)) == P; });
}

bool ValidHostName(std::string_view Host) {
    return !Host.empty() && std::all_of(Host.begin(), Host.end(), [](char C) {
        return std::isalnum(static_cast<unsigned char>(C)) || C == '.' || C == '-' || C == '_';
    });
}

std::optional<uint16_t> PortNumber(std::string_view Text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
    if (error != std::errc() || end != Text.data() + Text.size() || value == 0 || value > 65535) return {};
    return static_cast<uint16_t>(value);
}

}  // namespace

std::string TNetworkAddress::HostAndPort() const {
    const bool v6 = Host.find(':') != std::string::npos;
    return (v6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

std::string TNetworkAddress::PortName() const {
    return std::string(Protocol == TNetworkProtocol::Rfc2217 ? Rfc2217Scheme : RawTcpScheme) + HostAndPort();
}

bool IsNetworkPortName(std::string_view Name) {
    return StartsWithNoCase(Name, Rfc2217Scheme) || StartsWithNoCase(Name, RawTcpScheme);
}

std::optional<TNetworkAddress> ParseNetworkPortName(std::string_view Name) {
    TNetworkAddress address{};
    if (StartsWithNoCase(Name, Rfc2217Scheme)) {
        address.Protocol = TNetworkProtocol::Rfc2217;
        Name.remove_prefix(Rfc2217Scheme.size());
    } else if (StartsWithNoCase(Name, RawTcpScheme)) {
        address.Protocol = TNetworkProtocol::RawTcp;
        Name.remove_prefix(RawTcpScheme.size());
    } else {
        return {};
    }
    std::string_view host;
    if (Name.starts_with('[')) {
        const std::size_t close = Name.find(']');
        if (close == std::string_view::npos || Name.substr(close + 1, 1) != ":") return {};
        host = Name.substr(1, close - 1);
        Name.remove_prefix(close + 2);
        const bool v6 = !host.empty() && std::all_of(host.begin(), host.end(), [](char C) {
            return std::isxdigit(static_cast<unsigned char>(C)) || C == ':' || C == '.';
        });
        if (!v6) return {};
    } else {
        const std::size_t colon = Name.rfind(':');
        if (colon == std::string_view::npos) return {};
        host = Name.substr(0, colon);
        Name.remove_prefix(colon + 1);
        if (!ValidHostName(host)) return {};
    }
    const std::optional<uint16_t> port = PortNumber(Name);
    if (!port) return {};
    address.Host = std::string(host);
    address.Port = *port;
    return address;
}

std::string_view DeviceNameOf(std::string_view FileName) {
    constexpr std::string_view devicePrefix = R"(\\.\)";
    if (FileName.starts_with(devicePrefix)) FileName.remove_prefix(devicePrefix.size());
    return FileName;
}
