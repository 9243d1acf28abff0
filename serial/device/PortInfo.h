// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What is known about a port, for a person to recognise it and for the
// window to find it again: one value that the window, ostra-ports and
// reconnecting read, made here from the system's sources (sysfs and
// /dev/serial/by-id on Linux) so that the window never reads those itself.

#include <optional>
#include <string>

#include "serial/device/NetworkAddress.h"

struct TPortInfo {
    std::string Name;
    std::string Path;  // the device the name resolves to (Linux)
    // Of a USB device, from its sysfs attributes; empty for other devices.
    std::string Manufacturer;
    std::string Product;
    std::string Serial;
    std::string ById;  // its name in the by-id folder, when it has one
    std::optional<TNetworkAddress> Address;  // of a port on the network
};

// "Manufacturer Product", either alone, or empty.
std::string DeviceModel(const TPortInfo& Info);
// "/dev/ttyUSB0 — FTDI FT232R USB UART, serial A1B2C3", the path alone, or
// for a port on the network its kind and server.
std::string PortDescription(const TPortInfo& Info);
// What the system says about port Name now.
TPortInfo DescribePort(const std::string& Name);

// Where the stable names of USB serial devices are: OSTRA_SERIAL_BY_ID when
// set (tests), else /dev/serial/by-id.
std::string SerialByIdDir();
// The name in ByIdDir whose link leads to the device of port Name, or empty.
std::string ByIdNameOfPort(const std::string& ByIdDir, const std::string& Name);
// The port that by-id entry ById leads to now, or empty when it is not there.
std::string PortOfByIdName(const std::string& ByIdDir, const std::string& ById);

