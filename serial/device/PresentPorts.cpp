#include "serial/device/PresentPorts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

bool ListedBefore(const std::string& A, const std::string& B) {
    const auto key = [](const std::string& Name) {
        const auto com = ComNumber(Name);
        return std::tuple<bool, int, const std::string&>(!com.has_value(), com.value_or(0), Name);
    };
    return key(A) < key(B);
}

}  // namespace

std::vector<std::string> ListPresentPorts(const std::string& SysfsTtyDir, const TPortMapEntries& Map) {
    std::vector<std::string> names;
    std::vector<fs::path> mappedDevices;
    for (auto entry = Map.begin(); entry != Map.end(); ++entry) {
        const auto sameName = [&](const TPortMapEntry& e) { return e.Name == entry->Name; };
        if (std::any_of(Map.begin(), entry, sameName) || !Exists(entry->Path, true)) continue;
        names.push_back(entry->Name);
        mappedDevices.push_back(SameFileKey(entry->Path));
    }
    for (const std::string& kernelName : KernelDevices(SysfsTtyDir)) {
        const fs::path device = SameFileKey("/dev/" + kernelName);
        if (std::find(mappedDevices.begin(), mappedDevices.end(), device) != mappedDevices.end()) continue;
        names.push_back(PortNameOfKernelDevice(kernelName, Map));
    }
    std::sort(names.begin(), names.end(), ListedBefore);
    return names;
}

std::string SysfsTtyDir() {
    const char* dir = std::getenv("OSTRA_SYSFS_TTY");
    return dir ? dir : "/sys/class/tty";
}
