// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/PortInfo.h"

#include <cstdlib>
#include <filesystem>

#ifndef _WIN32
#include "serial/device/PortNames.h"
#include "serial/device/PresentPorts.h"
#endif

namespace fs = std::filesystem;

std::string DeviceModel(const TPortInfo& Info) {
    if (Info.Manufacturer.empty() || Info.Product.empty()) return Info.Manufacturer + Info.Product;
    return Info.Manufacturer + " " + Info.Product;
}

std::string PortDescription(const TPortInfo& Info) {
    if (Info.Address)
        return (Info.Address->Protocol == TNetworkProtocol::Rfc2217 ? "RFC 2217 server " : "raw TCP server ") +
               Info.Address->HostAndPort();
    std::string text = Info.Path;
    const std::string model = DeviceModel(Info);
    if (!model.empty()) text += " \u2014 " + model;
    if (!Info.Serial.empty()) text += (model.empty() ? " \u2014 serial " : ", serial ") + Info.Serial;
    return text;
}

TPortInfo DescribePort(const std::string& Name) {
    TPortInfo info;
    info.Name = Name;
    if (IsNetworkPortName(Name)) {
        info.Address = ParseNetworkPortName(Name);
        return info;
    }
#ifdef _WIN32
    return info;
#else
    info = DescribeDevice(Name, SysfsTtyDir(), EnvironmentPortMap());
    info.ById = ByIdNameOfPort(SerialByIdDir(), Name);
    return info;
#endif
}

std::string SerialByIdDir() {
    const char* dir = std::getenv("OSTRA_SERIAL_BY_ID");
    return dir ? dir : "/dev/serial/by-id";
}

#ifdef _WIN32

// Windows keeps a device's COM name itself.
std::string ByIdNameOfPort(const std::string&, const std::string&) { return {}; }
std::string PortOfByIdName(const std::string&, const std::string&) { return {}; }

#else

namespace {

fs::path DeviceOf(const fs::path& Path) {
    std::error_code ec;
    const fs::path device = fs::weakly_canonical(Path, ec);
    return ec ? Path : device;
}

// Where a by-id link leads, relative links (as udev makes them) included.
fs::path LinkedDevice(const fs::path& Link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(Link, ec);
    if (ec) return DeviceOf(Link);
    return DeviceOf((target.is_absolute() ? target : Link.parent_path() / target).lexically_normal());
}

// The port name of Device: the port map's name for it, else its COM name by
// the kernel's numbering, else its kernel name.
std::string PortOfDevice(const fs::path& Device) {
    for (const TPortMapEntry& entry : EnvironmentPortMap())
        if (DeviceOf(entry.Path) == Device) return entry.Name;
    const std::string kernelName = Device.filename().string();
    const std::optional<int> number = ComNumberOfKernelName(kernelName);
    return number ? "COM" + std::to_string(*number) : kernelName;
}

}  // namespace

std::string ByIdNameOfPort(const std::string& ByIdDir, const std::string& Name) {
    const fs::path device = DeviceOf(ResolvePortPath(Name));
    std::error_code ec;
    for (fs::directory_iterator it(ByIdDir, ec), end; !ec && it != end; it.increment(ec))
        if (LinkedDevice(it->path()) == device) return it->path().filename().string();
    return {};
}

std::string PortOfByIdName(const std::string& ByIdDir, const std::string& ById) {
    const fs::path link = fs::path(ByIdDir) / ById;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(link, ec))) return {};
    return PortOfDevice(LinkedDevice(link));
}

#endif

