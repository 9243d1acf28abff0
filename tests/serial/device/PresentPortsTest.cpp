// The list of present ports, read from a sysfs-like fixture directory.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "serial/device/CommBackend.h"
#include "serial/device/PresentPorts.h"
#include "tests/support/Pty.h"

namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;

// A stand-in for /sys: class/tty/NAME entries linking to devices/NAME.
class PresentPorts : public ::testing::Test {
protected:
    const fs::path Base = fs::temp_directory_path() / ("ostra-sysfs-" + std::to_string(getpid()));
    const fs::path TtyDir = Base / "class" / "tty";

    void SetUp() override { fs::create_directories(TtyDir); }
    void TearDown() override { fs::remove_all(Base); }

    // A tty with a device behind it; UartType writes its type file.
    void AddDevice(const std::string& Name, std::optional<int> UartType = {}) {
        fs::create_directories(Base / "devices" / Name);
        fs::create_directories(TtyDir / Name);
        fs::create_directory_symlink(Base / "devices" / Name, TtyDir / Name / "device");
        if (UartType) std::ofstream(TtyDir / Name / "type") << *UartType << "\n";
    }
    // A tty without a device, like the virtual consoles.
    void AddVirtual(const std::string& Name) { fs::create_directories(TtyDir / Name); }

    fs::path ExistingFile(const std::string& Name) {
        const fs::path path = Base / Name;
        std::ofstream(path) << "";
        return path;
    }
};

TEST_F(PresentPorts, ListsDevicesUnderComNamesInNumberOrderThenKernelNames) {
    AddDevice("ttyS0", 4);
    AddDevice("ttyS1", 0);  // no UART behind it
    AddDevice("ttyS2", 4);
    AddDevice("ttyS10", 4);
    AddDevice("ttyUSB0");
    AddDevice("ttyACM3");
    AddDevice("ttyAMA0", 1);
    AddDevice("rfcomm0");
    AddDevice("ttyXR0");
    AddVirtual("tty0");
    AddVirtual("console");
    EXPECT_EQ(ListPresentPorts(TtyDir, {}),
              (TNames{"COM1", "COM3", "COM11", "COM33", "COM68", "COM97", "COM113", "ttyXR0"}));
}

TEST_F(PresentPorts, AddsMapEntriesWhosePathExists) {
    AddDevice("ttyS0", 4);
    AddDevice("ptmx");
    const fs::path linkToPtmx = Base / "by-id-link";
    fs::create_symlink("/dev/ptmx", linkToPtmx);
    const TPortMapEntries map = ParsePortMap("COM5=" + ExistingFile("five").string() + ";Bench=" +
                                             linkToPtmx.string() + ";COM6=" + (Base / "missing").string() +
                                             ";COM1=" + ExistingFile("one").string());
    // COM1 now names the map's device, so ttyS0 keeps its kernel name; ptmx
    // is reached through the map's link and is listed under that name alone.
    EXPECT_EQ(ListPresentPorts(TtyDir, map), (TNames{"COM1", "COM5", "Bench", "ttyS0"}));
}

TEST_F(PresentPorts, PseudoTerminalsComeAfterTheHardware) {
    AddDevice("ttyS0", 4);
    AddDevice("ttyXR0");
    const TPty first, second;
    const TPortMapEntries map = ParsePortMap("COM2=" + first.SlavePath() + ";DEMO=" + second.SlavePath() +
                                             ";Bench=" + ExistingFile("bench").string());
    EXPECT_EQ(ListPresentPorts(TtyDir, map), (TNames{"COM1", "Bench", "ttyXR0", "COM2", "DEMO"}));
}

TEST_F(PresentPorts, FirstMapEntryOfANameDecidesWhetherItIsListed) {
    const TPortMapEntries map =
        ParsePortMap("COM5=" + (Base / "missing").string() + ";COM5=" + ExistingFile("five").string());
    EXPECT_EQ(ListPresentPorts(TtyDir, map), TNames{});
}

TEST_F(PresentPorts, MissingDirectoryGivesOnlyTheMapEntries) {
    EXPECT_EQ(ListPresentPorts((Base / "absent").string(), {}), TNames{});
    const TPortMapEntries map = ParsePortMap("COM9=" + ExistingFile("nine").string());
    EXPECT_EQ(ListPresentPorts((Base / "absent").string(), map), TNames{"COM9"});
}

TEST_F(PresentPorts, BackendReadsTheDirectoryAndMapOfTheEnvironment) {
    AddDevice("ttyUSB1");
    setenv("OSTRA_SYSFS_TTY", TtyDir.c_str(), 1);
    setenv("OSTRA_PORTS", ("COM7=" + ExistingFile("seven").string()).c_str(), 1);
    const TNames names = PlatformCommBackend().PresentPortNames();
    unsetenv("OSTRA_SYSFS_TTY");
    unsetenv("OSTRA_PORTS");
    EXPECT_EQ(names, (TNames{"COM7", "COM34"}));
}

}  // namespace
