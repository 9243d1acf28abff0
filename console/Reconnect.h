// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Port > Reconnect when the device returns: when the open device vanishes the
// window waits for it, its caption says so, and the port opens again with the
// same settings as soon as the device is back: under the same name, or on
// Linux as the same USB device (by its /dev/serial/by-id name) under another;
// a port on the network is back when its server answers. The received text
// shows where the device went and came back, with the time.

#include <QString>
#include <memory>
#include <string>

#include "console/comexample.h"
#include "serial/device/NetworkPorts.h"
#include "serial/device/PortInfo.h"

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
    std::string ReturnedPortName();
    bool ServerAnswers();

    TForm3& FForm;
    QAction* FEnabled;
    QTimer* FPoll;
    std::string FPortName;
    // The device's name in /dev/serial/by-id, when it has one.
    std::string FById;
    std::unique_ptr<TServerProbe> FServerProbe;
    // The window's own attempt to open, which must not end the wait.
    bool FReopening = false;
};

// The name a lost device is back under, or empty while it is away: where
// the device had ById, the port that name leads to; else PortName when it is
// among the Present ports.
std::string ReturnedPortName(const std::string& ByIdDir, const std::string& ById, const std::string& PortName,
                             const TStringList& Present);

// Called once from FormCreate.
void AttachReconnect(TForm3& Form);
