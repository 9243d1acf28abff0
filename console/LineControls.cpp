// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/LineControls.h"

#include <QCheckBox>
#include <QTimer>

#include "console/FormParts.h"

TLineControls::TLineControls(TForm3& Form)
    : TComponent(&Form),
      FForm(Form),
      FPort(*Form.OrvelSerialPort1),
      FLeds{&FormPart<TLmUserLed>(Form, "CtsLed"), &FormPart<TLmUserLed>(Form, "DsrLed"),
            &FormPart<TLmUserLed>(Form, "RiLed"), &FormPart<TLmUserLed>(Form, "CdLed")},
      FDtr(FormPart<TCheckBox>(Form, "ck_DTR")),
      FRts(FormPart<TCheckBox>(Form, "ck_RTS")),
      FBreak(FormPart<TButton>(Form, "b_Break")) {
    FDtr.SetChecked(FPort.GetEnableDTROnOpen());
    FRts.SetChecked(FPort.GetEnableRTSOnOpen());
    EnableOutputLines();
    for (TCheckBox* box : {&FDtr, &FRts}) {
        QObject::connect(static_cast<QCheckBox*>(box->Widget()), &QCheckBox::clicked, box->Widget(),
                         [this, box](bool On) { SetOutputLine(*box, On); });
    }
    FBreak.SetOnClick([this](TObject*) { SendBreak(); });
    FPort.SetOnLineStatusChange([this](TObject*, TLineStatusSet Lines) { ShowLines(Lines); });
    // A new rate puts the lines back as the port opened them; the user's choice stays.
    const TNotifyEvent baudChange = Form.cb_Baud->GetOnChange();
    Form.cb_Baud->SetOnChange([this, baudChange](TObject* Sender) {
        if (baudChange) baudChange(Sender);
        ApplyOutputLines();
    });
    Form.AddSessionWatcher(this);
}

// The port outlives this part of the window.
TLineControls::~TLineControls() { FPort.SetOnLineStatusChange(nullptr); }

void TLineControls::Connected() {
    // The lines as they are now: the change event reports only changes.
    TLineStatusSet lines;
    if (FPort.GetCTS()) lines.Include(lsCTS);
    if (FPort.GetDSR()) lines.Include(lsDSR);
    if (FPort.GetRING()) lines.Include(lsRING);
    if (FPort.GetCD()) lines.Include(lsCD);
    ShowLines(lines);
    EnableOutputLines();
    // The port opened with the lines as last stored; the check boxes may have changed since.
    ApplyOutputLines();
    FBreak.SetEnabled(true);
}

void TLineControls::Disconnected(bool) {
    ShowLines({});
    FBreak.SetEnabled(false);
    // Only once the device is closed: the settings must not reach it any more.
    if (FPort.IsConnected() != spNone) return;
    FPort.SetEnableDTROnOpen(FDtr.GetChecked());
    FPort.SetEnableRTSOnOpen(FRts.GetChecked());
}

void TLineControls::ShowLines(TLineStatusSet Lines) {
    const TLineStatus order[] = {lsCTS, lsDSR, lsRING, lsCD};
    for (int i = 0; i < 4; ++i) FLeds[i]->SetActive(FForm.Connected() && Lines.Contains(order[i]));
}

void TLineControls::SetOutputLine(TCheckBox& Box, bool On) {
    const bool dtr = &Box == &FDtr;
    if (FPort.IsConnected() == spNone) {
        // Changing what the port opens with: no device to reapply it to.
        if (dtr)
            FPort.SetEnableDTROnOpen(On);
        else
            FPort.SetEnableRTSOnOpen(On);
        return;
    }
    // Straight to the line: reapplying the settings would drop unread input.
    if (dtr)
        FPort.SetDTR(On);
    else
        FPort.SetRTS(On);
}

void TLineControls::ApplyOutputLines() {
    if (FPort.IsConnected() == spNone) return;
    if (FDtr.GetEnabled()) FPort.SetDTR(FDtr.GetChecked());
    if (FRts.GetEnabled()) FPort.SetRTS(FRts.GetChecked());
}

void TLineControls::EnableOutputLines() {
    FDtr.SetEnabled(FPort.GetHwFlowControl() != hfDTRDSR);
    FRts.SetEnabled(FPort.GetHwFlowControl() != hfRTSCTS);
}

void TLineControls::SendBreak() {
    if (!FPort.SetBreak(true)) return;
    FBreak.SetEnabled(false);
    QTimer::singleShot(BreakMs, Qt::PreciseTimer, FBreak.Widget(), [this] {
        FPort.SetBreak(false);
        FBreak.SetEnabled(FForm.Connected());
    });
}

void AttachLineControls(TForm3& Form) { new TLineControls(Form); }
