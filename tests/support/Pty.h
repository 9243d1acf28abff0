// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal as the far end of a serial port, mapped to a COM name
// through OSTRA_PORTS.

#include <chrono>
#include <functional>
#include <string>

#include "tests/support/Process.h"

// Opens a pty pair; the slave is reachable under the COM names given to
// MapPorts. The master side stays with the test.
class TPty {
public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    int Master() const { return FMaster; }
    const std::string& SlavePath() const { return FSlavePath; }
    // Writes all of Data to the master (what the port will receive).
    void Send(const std::string& Data) const;
    // Reads from the master until Count bytes arrived or the deadline passed.
    std::string Receive(std::size_t Count, std::chrono::milliseconds Deadline = std::chrono::seconds(10)) const;
    // Closes the master: the device behind the port vanishes.
    void CloseMaster();

private:
    int FMaster = -1;
    std::string FSlavePath;
};

// Sets OSTRA_PORTS to Map ("COM5=/dev/pts/3;COM6=…") for the lifetime of the
// object, restoring the previous value after.
class TPortMap {
public:
    explicit TPortMap(const std::string& Map);
    ~TPortMap();

private:
    std::string FOld;
    bool FHadOld;
};
