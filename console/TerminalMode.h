// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Port > Terminal mode: for shells and full-screen programs, a terminal
// screen stands over the received area and takes the device's bytes; keys
// typed there go straight to the device. Lines that scroll off the screen go
// to the received area, with their colours, which keeps them, and the wheel
// and Shift+PgUp scroll back through them on the screen. The command
// box, Send and the history stay as they are. Port > Backspace sends BS
// sends BS instead of DEL. Both are off by default.

#include "console/comexample.h"
#include "terminal/TerminalScreen.h"

class QAction;
class TTerminalView;

class TTerminalMode : public TComponent {
public:
    explicit TTerminalMode(TForm3& Form);

    void SetOn(bool On);
    bool On() const { return FListener != 0; }
    void SetBackspaceSendsBS(bool On);
    bool BackspaceSendsBS() const;
    TTerminalView& View() const { return *FView; }

private:
    void ShowChecks();
    void KeepScrolledOff(const TTerminalScreen::TLine& Line);

    TForm3& FForm;
    TTerminalView* FView;
    QAction* FItem;
    QAction* FBackspaceItem;
    TListenerId FListener = 0;
};

// Called once from FormCreate.
void AttachTerminalMode(TForm3& Form);
