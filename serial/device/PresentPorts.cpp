// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/PresentPorts.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>

namespace fs = std::filesystem;

namespace {

bool Exists(const fs::path& Path, bool FollowLinks) {
    std::error_code ec;
    return fs::exists(FollowLinks ? fs::status(Path, ec) : fs::symlink_status(Path, ec));
}

// Legacy ttyS ports are registered whether or not a UART answers; their type
// file then reads 0 (no UART). Other devices have no type file.
bool HasUart(const fs::path& Entry) {
    std::ifstream typeFile(Entry / "type");
    int type = 0;
    return !(typeFile >> type) || type != 0;
}

std::vector<std::string> KernelDevices(const std::string& SysfsTtyDir) {
    std::vector<std::string> devices;
    std::error_code ec;
    for (fs::directory_iterator it(SysfsTtyDir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& entry = it->path();
        if (Exists(entry / "device", false) && HasUart(entry)) devices.push_back(entry.filename());
    }
    return devices;
}

fs::path SameFileKey(const fs::path& Path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(Path, ec);
    return ec ? Path : canonical;
}

struct TListedPort {
    std::string Name;
    bool PseudoTerminal = false;
};

// Hardware first, then pseudo-terminals; in each, COM names by number, then
// the other names in byte order.
bool ListedBefore(const TListedPort& A, const TListedPort& B) {
    const auto key = [](const TListedPort& Port) {
        const auto com = ComNumber(Port.Name);
        return std::tuple<bool, bool, int, const std::string&>(Port.PseudoTerminal, !com.has_value(), com.value_or(0),
                                                               Port.Name);
    };
    return key(A) < key(B);
}

}  // namespace

std::vector<std::string> ListPresentPorts(const std::string& SysfsTtyDir, const TPortMapEntries& Map) {
    std::vector<TListedPort> ports;
    std::vector<fs::path> mappedDevices;
    for (auto entry = Map.begin(); entry != Map.end(); ++entry) {
        const auto sameName = [&](const TPortMapEntry& e) { return e.Name == entry->Name; };
        if (std::any_of(Map.begin(), entry, sameName) || !Exists(entry->Path, true)) continue;
        ports.push_back({entry->Name, PseudoTerminalIndex(entry->Path).has_value()});
        mappedDevices.push_back(SameFileKey(entry->Path));
    }
    for (const std::string& kernelName : KernelDevices(SysfsTtyDir)) {
        const fs::path device = SameFileKey("/dev/" + kernelName);
        if (std::find(mappedDevices.begin(), mappedDevices.end(), device) != mappedDevices.end()) continue;
        ports.push_back({PortNameOfKernelDevice(kernelName, Map)});
    }
    std::sort(ports.begin(), ports.end(), ListedBefore);
    std::vector<std::string> names;
    for (TListedPort& port : ports) names.push_back(std::move(port.Name));
    return names;
}

std::optional<unsigned> PseudoTerminalIndex(const std::string& Path) {
    struct stat status {};
    if (stat(Path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return std::nullopt;
    const unsigned majorNumber = major(status.st_rdev);
    if (majorNumber < 136 || majorNumber > 143) return std::nullopt;
    return (majorNumber - 136) * 256 + minor(status.st_rdev);
}

std::string SysfsTtyDir() {
    const char* dir = std::getenv("OSTRA_SYSFS_TTY");
    return dir ? dir : "/sys/class/tty";
}

namespace {

std::string Attribute(const fs::path& Device, const char* Name) {
    std::ifstream file(Device / Name);
    std::string value;
    std::getline(file, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) value.pop_back();
    return value;
}

// The USB device a tty belongs to: the nearest folder above its device link
// that carries the USB ids. A tty device sits at most a few levels below it
// (interface, then a port of a multi-port adapter).
std::optional<fs::path> UsbDeviceOf(const fs::path& TtyEntry) {
    std::error_code ec;
    fs::path folder = fs::canonical(TtyEntry / "device", ec);
    for (int level = 0; !ec && level < 4 && folder.has_relative_path(); ++level, folder = folder.parent_path()) {
        if (fs::exists(folder / "idVendor", ec)) return folder;
    }
    return std::nullopt;
}

}  // namespace

TPortInfo DescribeDevice(const std::string& Name, const std::string& SysfsTtyDir, const TPortMapEntries& Map) {
    TPortInfo info;
    info.Name = Name;
    info.Path = ResolvePortPath(Name, Map);
    // A link such as /dev/serial/by-id/... names the kernel's device in the end.
    const fs::path kernelName = SameFileKey(info.Path).filename();
    if (kernelName.empty()) return info;
    if (const auto usb = UsbDeviceOf(fs::path(SysfsTtyDir) / kernelName)) {
        info.Manufacturer = Attribute(*usb, "manufacturer");
        info.Product = Attribute(*usb, "product");
        info.Serial = Attribute(*usb, "serial");
    }
    return info;
}
