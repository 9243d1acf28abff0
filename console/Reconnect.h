// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Port > Reconnect when the device returns: when the open device vanishes the
// window waits for it, its caption says so, and the port opens again with the
// same settings as soon as the device is back: under the same name, or on
// Linux as the same USB device (by its /dev/serial/by-id name) under another.
// The received text shows where the device went and came back, with the time.

#include <QString>
#include <string>

#include "console/comexample.h"

class QAction;
class QTimer;

class TReconnect : public TComponent, public TSessionWatcher {
public:
    // How often a waiting window looks for the device.
    static constexpr int PollMs = 250;

    explicit TReconnect(TForm3& Form);

    bool Waiting() const;
    QAction* Enabled() const { return FEnabled; }

    void Connected() override;
    void Disconnected(bool DeviceLost) override;
    void Closing() override { StopWaiting(); }

private:
    void StartWaiting();
    void StopWaiting();
    void TryReopen();
    void Mark(const std::string& Port, const char16_t* What);
    // The name the device is back under, or empty while it is away.
    std::string ReturnedPortName() const;

    TForm3& FForm;
    QAction* FEnabled;
    QTimer* FPoll;
    std::string FPortName;
    // The device's name in /dev/serial/by-id, when it has one.
    std::string FById;
    // The window's own attempt to open, which must not end the wait.
    bool FReopening = false;
};

// The name a lost device is back under, or empty while it is away: where
// the device had ById, the port that name leads to; else PortName when it is
// among the Present ports.
std::string ReturnedPortName(const std::string& ByIdDir, const std::string& ById, const std::string& PortName,
                             const TStringList& Present);

// Where the stable names of USB serial devices are: OSTRA_SERIAL_BY_ID when
// set (tests), else /dev/serial/by-id.
std::string SerialByIdDir();
// The name in ByIdDir whose link leads to the device of port Name, or empty.
std::string ByIdNameOfPort(const std::string& ByIdDir, const std::string& Name);
// The port that by-id entry ById leads to now, or empty when it is not there.
std::string PortOfByIdName(const std::string& ByIdDir, const std::string& ById);

// Called once from FormCreate.
void AttachReconnect(TForm3& Form);
