// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial ports present on a Linux machine.

#include <optional>
#include <string>
#include <vector>

#include "serial/device/PortInfo.h"
#include "serial/device/PortNames.h"

// The entries of SysfsTtyDir that have a device link, except those whose type
// file reads 0 (legacy ports with no UART behind them), plus the map entries
// whose path exists. A device is named by PortNameOfKernelDevice unless a
// listed map entry points at it, which then names it alone. Sorted: hardware
// before pseudo-terminals (stand-ins such as the demo device), and within
// each, COM names by number, then the other names in byte order. A missing
// directory gives only the map entries.
std::vector<std::string> ListPresentPorts(const std::string& SysfsTtyDir, const TPortMapEntries& Map);

// N for the slave side /dev/pts/N of a Unix 98 pseudo-terminal at Path (a
// stand-in such as the demo device, not hardware); none for anything else.
std::optional<unsigned> PseudoTerminalIndex(const std::string& Path);

// OSTRA_SYSFS_TTY when set (tests point it at a fixture), else /sys/class/tty.
std::string SysfsTtyDir();

// The device path of port Name and, for a USB device, its identity from
// sysfs: what the system says about a local port.
TPortInfo DescribeDevice(const std::string& Name, const std::string& SysfsTtyDir, const TPortMapEntries& Map);
