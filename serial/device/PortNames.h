// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Port names on POSIX. The engine speaks of COM1...COM254 and custom names; a
// name resolves to a device path through, in this order, the port map of the
// environment (OSTRA_PORTS), the fixed COM ranges of the kernel's serial
// devices, and the custom-name rule.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TPortMapEntry {
    std::string Name;
    std::string Path;
};
// In the order given; where a name is given twice, the first entry counts.
using TPortMapEntries = std::vector<TPortMapEntry>;

// Parses "NAME=PATH;NAME=PATH". Blanks around names and paths are dropped;
// entries without a name or a path are ignored.
TPortMapEntries ParsePortMap(std::string_view Text);
// The map in the environment variable OSTRA_PORTS; empty when it is unset.
TPortMapEntries EnvironmentPortMap();

// The device path of port Name: its map entry; else COM1-COM128 by the fixed
// ranges (COM1 = /dev/ttyS0, COM33 = /dev/ttyUSB0, COM65 = /dev/ttyACM0,
// COM97 = /dev/ttyAMA0, COM113 = /dev/rfcomm0); else Name itself when it
// starts with '/', or /dev/Name. An empty name gives an empty path.
std::string ResolvePortPath(const std::string& Name, const TPortMapEntries& Map);
std::string ResolvePortPath(const std::string& Name);  // with EnvironmentPortMap()

// 1...254 for exactly "COM1"..."COM254", else none.
std::optional<int> ComNumber(std::string_view Name);
// The COM number that the fixed ranges give a kernel device name ("ttyUSB0"
// gives 33), else none.
std::optional<int> ComNumberOfKernelName(std::string_view KernelName);
// The name under which the port list reports the kernel device KernelName:
// its COM name when the ranges give one that the map does not take for
// another device, else the kernel name itself (which resolves back to it).
std::string PortNameOfKernelDevice(const std::string& KernelName, const TPortMapEntries& Map);
