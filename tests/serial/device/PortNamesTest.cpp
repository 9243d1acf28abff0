// SPDX-License-Identifier: GPL-3.0-or-later
// Port names on POSIX: the port map, the fixed COM ranges and custom names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "serial/device/PortNames.h"

namespace {

struct TResolveCase {
    std::string Name;
    std::string Path;
};

class ResolvePortPathTest : public ::testing::TestWithParam<TResolveCase> {
protected:
    const TPortMapEntries Map = ParsePortMap(
        " COM5 = /dev/pts/7 ;COM200=/dev/serial/by-id/usb-x;;=nameless;COM7=;no-equals;"
        "COM5=/dev/second;Lab Bench=/tmp/bench;COM1=/dev/pts/9");
};

TEST_P(ResolvePortPathTest, ResolvesToDevicePath) {
    EXPECT_EQ(ResolvePortPath(GetParam().Name, Map), GetParam().Path);
}

INSTANTIATE_TEST_SUITE_P(
    MapEntries, ResolvePortPathTest,
    ::testing::Values(TResolveCase{"COM5", "/dev/pts/7"},  // blanks dropped, the first entry counts
                      TResolveCase{"COM1", "/dev/pts/9"},  // the map wins over the fixed ranges
                      TResolveCase{"COM200", "/dev/serial/by-id/usb-x"}, TResolveCase{"Lab Bench", "/tmp/bench"},
                      TResolveCase{"COM7", "/dev/ttyS6"}));  // an entry without a path is ignored

INSTANTIATE_TEST_SUITE_P(
    RangeBoundaries, ResolvePortPathTest,
    ::testing::Values(TResolveCase{"COM2", "/dev/ttyS1"}, TResolveCase{"COM32", "/dev/ttyS31"},
                      TResolveCase{"COM33", "/dev/ttyUSB0"}, TResolveCase{"COM64", "/dev/ttyUSB31"},
                      TResolveCase{"COM65", "/dev/ttyACM0"}, TResolveCase{"COM96", "/dev/ttyACM31"},
                      TResolveCase{"COM97", "/dev/ttyAMA0"}, TResolveCase{"COM112", "/dev/ttyAMA15"},
                      TResolveCase{"COM113", "/dev/rfcomm0"}, TResolveCase{"COM128", "/dev/rfcomm15"},
                      TResolveCase{"COM129", "/dev/COM129"}, TResolveCase{"COM254", "/dev/COM254"}));

INSTANTIATE_TEST_SUITE_P(
    CustomNames, ResolvePortPathTest,
    ::testing::Values(TResolveCase{"ttyXR0", "/dev/ttyXR0"}, TResolveCase{"pts/4", "/dev/pts/4"},
                      TResolveCase{"/dev/pts/3", "/dev/pts/3"}, TResolveCase{"COM0", "/dev/COM0"},
                      TResolveCase{"COM08", "/dev/COM08"}, TResolveCase{"com3", "/dev/com3"},
                      TResolveCase{"COM255", "/dev/COM255"}, TResolveCase{"", ""}));

TEST(PortNames, EveryRangedComNumberRoundTripsThroughItsKernelName) {
    for (int com = 1; com <= 128; ++com) {
        const std::string path = ResolvePortPath("COM" + std::to_string(com), {});
        ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
        EXPECT_EQ(ComNumberOfKernelName(path.substr(5)), com) << path;
    }
}

TEST(PortNames, KernelNamesOutsideTheRangesHaveNoComNumber) {
    for (const char* name : {"ttyS32", "ttyUSB32", "ttyACM32", "ttyAMA16", "rfcomm16", "ttyS01", "ttySAC0", "ttyS",
                             "tty0", "ttyXR0", "ttyUSB-1"})
        EXPECT_FALSE(ComNumberOfKernelName(name).has_value()) << name;
}

TEST(PortNames, KernelDeviceIsReportedUnderANameThatResolvesBackToIt) {
    const TPortMapEntries map = ParsePortMap("COM1=/dev/pts/9");
    EXPECT_EQ(PortNameOfKernelDevice("ttyS1", map), "COM2");
    EXPECT_EQ(PortNameOfKernelDevice("ttyS0", map), "ttyS0");  // COM1 is taken by the map
    EXPECT_EQ(PortNameOfKernelDevice("ttyXR0", map), "ttyXR0");
    for (const char* kernelName : {"ttyS1", "ttyS0", "ttyXR0"})
        EXPECT_EQ(ResolvePortPath(PortNameOfKernelDevice(kernelName, map), map), std::string("/dev/") + kernelName);
}

TEST(PortNames, EnvironmentMapIsReadAtEachResolution) {
    setenv("OSTRA_PORTS", "COM3=/dev/pts/11", 1);
    EXPECT_EQ(ResolvePortPath("COM3"), "/dev/pts/11");
    unsetenv("OSTRA_PORTS");
    EXPECT_EQ(ResolvePortPath("COM3"), "/dev/ttyS2");
}

}  // namespace
