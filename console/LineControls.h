// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem lines of the open port: an LED for each line the device drives
// (CTS, DSR, RI, CD), check boxes for the two the console drives (DTR, RTS)
// and a button that sends a break.

#include "console/comexample.h"

class TLineControls : public TComponent, public TSessionWatcher {
public:
    static constexpr int BreakMs = 250;

    explicit TLineControls(TForm3& Form);
    ~TLineControls() override;

    void Connected() override;
    void Disconnected(bool DeviceLost) override;

private:
    void ShowLines(TLineStatusSet Lines);
    void SetOutputLine(TCheckBox& Box, bool On);
    // Puts DTR and RTS back as the check boxes show them.
    void ApplyOutputLines();
    // A line that a handshake drives is not the user's to set.
    void EnableOutputLines();
    void SendBreak();

    TForm3& FForm;
    TOrvelSerialPort& FPort;
    TLmUserLed* FLeds[4];
    TCheckBox& FDtr;
    TCheckBox& FRts;
    TButton& FBreak;
};

// Called once from FormCreate.
void AttachLineControls(TForm3& Form);
