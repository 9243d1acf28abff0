// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "tests/support/SysfsFixture.h"

namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;

class PresentPorts : public ::testing::Test, public TSysfsFixture {};

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

struct TDescription {
    const char* Name;
    const char* Expected;  // after the fixture's base folder where it starts with '@'
};

TEST_F(PresentPorts, DescribesEachPortByItsPathAndForUsbByMakerModelAndSerial) {
    AddUsbDevice("ttyUSB0", "FTDI", "FT232R USB UART", "A1B2C3");
    AddUsbDevice("ttyUSB1", "Prolific", "USB-Serial Controller", "");
    AddUsbDevice("ttyUSB2", "", "", "0042");
    AddUsbDevice("ttyACM0", "", "Uno R3", "");
    AddUsbDevice("ttyUSB7", "Silicon Labs", "CP2102 USB to UART Bridge", "0001");
    AddDevice("ttyS0", 4);
    // A stable link in the style of /dev/serial/by-id to the kernel's node.
    const fs::path byId = Base / "by-id" / "usb-Silicon_Labs_CP2102-if00";
    fs::create_directories(byId.parent_path());
    fs::create_symlink(ExistingFile("dev/ttyUSB7"), byId);
    const TPortMapEntries map = ParsePortMap("Bench=" + byId.string() + ";DEMO=/dev/pts/9");

    const TDescription cases[] = {
        {"COM33", "/dev/ttyUSB0 \u2014 FTDI FT232R USB UART, serial A1B2C3"},
        {"ttyUSB1", "/dev/ttyUSB1 \u2014 Prolific USB-Serial Controller"},
        {"COM35", "/dev/ttyUSB2 \u2014 serial 0042"},
        {"COM65", "/dev/ttyACM0 \u2014 Uno R3"},
        {"COM1", "/dev/ttyS0"},
        {"Bench", "@/by-id/usb-Silicon_Labs_CP2102-if00 \u2014 Silicon Labs CP2102 USB to UART Bridge, serial 0001"},
        {"DEMO", "/dev/pts/9"},
        {"COM40", "/dev/ttyUSB7 \u2014 Silicon Labs CP2102 USB to UART Bridge, serial 0001"},
    };
    for (const TDescription& c : cases) {
        const std::string expected = c.Expected[0] == '@' ? Base.string() + (c.Expected + 1) : c.Expected;
        EXPECT_EQ(PortDescription(DescribeDevice(c.Name, TtyDir, map)), expected) << c.Name;
    }
}

TEST(PortInfo, APortOnTheNetworkIsDescribedByItsServer) {
    const TPortInfo rfc2217 = DescribePort("rfc2217://rack-3:4001");
    EXPECT_EQ(rfc2217.Name, "rfc2217://rack-3:4001");
    EXPECT_EQ(rfc2217.Path, "");
    ASSERT_TRUE(rfc2217.Address);
    EXPECT_EQ(PortDescription(rfc2217), "RFC 2217 server rack-3:4001");
    EXPECT_EQ(PortDescription(DescribePort("tcp://[::1]:23")), "raw TCP server [::1]:23");
}

}  // namespace
