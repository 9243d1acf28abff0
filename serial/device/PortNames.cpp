// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/PortNames.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct TComRange {
    int First;
    int Count;
    std::string_view Prefix;
};

constexpr TComRange ComRanges[] = {
    {1, 32, "ttyS"}, {33, 32, "ttyUSB"}, {65, 32, "ttyACM"}, {97, 16, "ttyAMA"}, {113, 16, "rfcomm"},
};

// Decimal digits without a leading zero, at most Max.
std::optional<int> ParseNumber(std::string_view Digits, int Max) {
    if (Digits.empty() || Digits.size() > 3 || (Digits.size() > 1 && Digits[0] == '0')) return {};
    int value = 0;
    for (char c : Digits) {
        if (c < '0' || c > '9') return {};
        value = value * 10 + (c - '0');
    }
    if (value > Max) return {};
    return value;
}

std::string_view Trimmed(std::string_view S) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!S.empty() && blank(S.front())) S.remove_prefix(1);
    while (!S.empty() && blank(S.back())) S.remove_suffix(1);
    return S;
}

const TPortMapEntry* FindEntry(const TPortMapEntries& Map, std::string_view Name) {
    const auto it = std::find_if(Map.begin(), Map.end(), [&](const TPortMapEntry& e) { return e.Name == Name; });
    return it == Map.end() ? nullptr : &*it;
}

std::optional<std::string> KernelDevicePath(int Com) {
    for (const TComRange& range : ComRanges) {
        if (Com >= range.First && Com < range.First + range.Count)
            return "/dev/" + std::string(range.Prefix) + std::to_string(Com - range.First);
    }
    return {};
}

}  // namespace

TPortMapEntries ParsePortMap(std::string_view Text) {
    TPortMapEntries map;
    while (!Text.empty()) {
        const auto end = Text.find(';');
        const std::string_view entry = Text.substr(0, end);
        Text = end == std::string_view::npos ? std::string_view{} : Text.substr(end + 1);
        const auto equals = entry.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view name = Trimmed(entry.substr(0, equals));
        const std::string_view path = Trimmed(entry.substr(equals + 1));
        if (!name.empty() && !path.empty()) map.push_back({std::string(name), std::string(path)});
    }
    return map;
}

TPortMapEntries EnvironmentPortMap() {
    const char* text = std::getenv("OSTRA_PORTS");
    return text ? ParsePortMap(text) : TPortMapEntries{};
}

std::string ResolvePortPath(const std::string& Name, const TPortMapEntries& Map) {
    if (Name.empty()) return {};
    if (const TPortMapEntry* entry = FindEntry(Map, Name)) return entry->Path;
    if (const auto com = ComNumber(Name)) {
        if (auto path = KernelDevicePath(*com)) return *path;
    }
    return Name.front() == '/' ? Name : "/dev/" + Name;
}

std::string ResolvePortPath(const std::string& Name) { return ResolvePortPath(Name, EnvironmentPortMap()); }

std::optional<int> ComNumber(std::string_view Name) {
    if (!Name.starts_with("COM")) return {};
    const auto number = ParseNumber(Name.substr(3), 254);
    if (!number || *number == 0) return {};
    return number;
}

std::optional<int> ComNumberOfKernelName(std::string_view KernelName) {
    for (const TComRange& range : ComRanges) {
        if (!KernelName.starts_with(range.Prefix)) continue;
        if (const auto index = ParseNumber(KernelName.substr(range.Prefix.size()), range.Count - 1))
            return range.First + *index;
    }
    return {};
}

std::string PortNameOfKernelDevice(const std::string& KernelName, const TPortMapEntries& Map) {
    if (const auto com = ComNumberOfKernelName(KernelName)) {
        std::string name = "COM" + std::to_string(*com);
        if (!FindEntry(Map, name)) return name;
    }
    return KernelName;
}
