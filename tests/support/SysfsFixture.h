// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for /sys in a temporary folder: class/tty/NAME entries linking
// to devices under devices/, as the kernel lays them out. Point
// OSTRA_SYSFS_TTY at TtyDir to make the engine read it.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

class TSysfsFixture {
public:
    const std::filesystem::path Base =
        std::filesystem::temp_directory_path() / ("ostra-sysfs-" + std::to_string(getpid()));
    const std::filesystem::path TtyDir = Base / "class" / "tty";

    TSysfsFixture() { std::filesystem::create_directories(TtyDir); }
    ~TSysfsFixture() { std::filesystem::remove_all(Base); }
    TSysfsFixture(const TSysfsFixture&) = delete;
    TSysfsFixture& operator=(const TSysfsFixture&) = delete;

    // A tty with a device behind it; UartType writes its type file.
    void AddDevice(const std::string& Name, std::optional<int> UartType = {}) {
        Link(Name, Base / "devices" / Name);
        if (UartType) std::ofstream(TtyDir / Name / "type") << *UartType << "\n";
    }
    // A tty on a USB adapter: its device sits in an interface of a USB device
    // that carries the ids and the strings the adapter reports (empty ones are
    // left out, as the kernel does).
    void AddUsbDevice(const std::string& Name, const std::string& Manufacturer, const std::string& Product,
                      const std::string& Serial) {
        const std::filesystem::path usb = Base / "devices" / "usb1" / ("1-" + Name);
        Link(Name, usb / "1-1:1.0" / Name);
        std::ofstream(usb / "idVendor") << "0403\n";
        const std::pair<const char*, const std::string&> strings[] = {
            {"manufacturer", Manufacturer}, {"product", Product}, {"serial", Serial}};
        for (const auto& [file, value] : strings)
            if (!value.empty()) std::ofstream(usb / file) << value << "\n";
    }
    // A tty without a device, like the virtual consoles.
    void AddVirtual(const std::string& Name) { std::filesystem::create_directories(TtyDir / Name); }

    // An empty file at Base/Name, standing in for a device node.
    std::filesystem::path ExistingFile(const std::string& Name) {
        const std::filesystem::path path = Base / Name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "";
        return path;
    }

private:
    void Link(const std::string& Name, const std::filesystem::path& Device) {
        std::filesystem::create_directories(Device);
        std::filesystem::create_directories(TtyDir / Name);
        std::filesystem::create_directory_symlink(Device, TtyDir / Name / "device");
    }
};
