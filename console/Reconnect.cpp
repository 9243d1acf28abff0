// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/Reconnect.h"

#include <QAction>
#include <QMenu>
#include <QTime>
#include <QTimer>

#include "console/ConsoleMenus.h"
#include "serial/device/NetworkAddress.h"
#include "toolkit/ui/QtStrings.h"

TReconnect::TReconnect(TForm3& Form)
    : TComponent(&Form),
      FForm(Form),
      FEnabled(ConsoleMenu(Form, QStringLiteral("&Port")).addAction(QStringLiteral("Reconnect when the device returns"))),
      FPoll(new QTimer(Form.Widget())) {
    SetName("Reconnect");
    FEnabled->setCheckable(true);
    FEnabled->setChecked(true);
    QObject::connect(FEnabled, &QAction::toggled, Form.Widget(), [this](bool On) {
        if (!On) StopWaiting();
    });
    FPoll->setInterval(PollMs);
    QObject::connect(FPoll, &QTimer::timeout, Form.Widget(), [this] { TryReopen(); });

    // The user's own choice of what to open ends the wait.
    const TNotifyEvent connectClick = Form.b_Connect->GetOnClick();
    Form.b_Connect->SetOnClick([this, connectClick](TObject* Sender) {
        StopWaiting();
        if (connectClick) connectClick(Sender);
    });
    const TNotifyEvent portChange = Form.cb_portlist->GetOnChange();
    Form.cb_portlist->SetOnChange([this, portChange](TObject* Sender) {
        if (UnicodeToAnsi(FForm.cb_portlist->GetText()) != FPortName) StopWaiting();
        if (portChange) portChange(Sender);
    });
    Form.AddSessionWatcher(this);
}

bool TReconnect::Waiting() const { return FPoll->isActive(); }

void TReconnect::Connected() {
    StopWaiting();
    FPortName = Trim(UnicodeToAnsi(FForm.cb_portlist->GetText()));
    FById = DescribePort(FPortName).ById;
}

void TReconnect::Disconnected(bool DeviceLost) {
    if (FReopening) return;
    if (DeviceLost) Mark(FPortName, u"lost");
    if (DeviceLost && FEnabled->isChecked())
        StartWaiting();
    else
        StopWaiting();
}

void TReconnect::StartWaiting() {
    if (FPortName.empty()) return;
    FForm.SetCaptionSuffix(*this, u" \u2014 waiting for " + AnsiToUnicode(FPortName));
    FPoll->start();
}

void TReconnect::StopWaiting() {
    FServerProbe.reset();
    if (!FPoll->isActive()) return;
    FPoll->stop();
    FForm.SetCaptionSuffix(*this, {});
}

void TReconnect::TryReopen() {
    const std::string name = ReturnedPortName();
    if (name.empty()) return;
    FReopening = true;
    FForm.cb_portlist->SetText(AnsiToUnicode(name));
    // Not open yet (a device appears before it may be opened): the next round tries again.
    const std::exception_ptr failure = FForm.OpenPort(name);
    FReopening = false;
    if (failure || !FForm.Connected()) return;
    StopWaiting();
    Mark(name, u"back");
}

// A line of the console's own in the received text, where the gap is: no
// received data, so neither the log nor the hex view has it.
void TReconnect::Mark(const std::string& Port, const char16_t* What) {
    const UnicodeString time = FromQString(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    FForm.Received().AddOwnLine(u"\u2014 " + AnsiToUnicode(Port) + u" " + What + u" " + time + u" \u2014");
}

std::string TReconnect::ReturnedPortName() {
    if (IsNetworkPortName(FPortName)) return ServerAnswers() ? FPortName : std::string();
    TStringList present;
    if (FById.empty()) FForm.OrvelSerialPort1->GetExistingCommPortNames(&present);
    return ::ReturnedPortName(SerialByIdDir(), FById, FPortName, present);
}

// A device known by its by-id name is that name alone: another device may
// get the kernel name it had.
std::string ReturnedPortName(const std::string& ByIdDir, const std::string& ById, const std::string& PortName,
                             const TStringList& Present) {
    if (!ById.empty()) return PortOfByIdName(ByIdDir, ById);
    for (int i = 0; i < Present.Count(); ++i)
        if (Present[i] == PortName) return PortName;
    return {};
}

// A port on the network is back when its server takes a connection again;
// each round looks once, on a thread of its own.
bool TReconnect::ServerAnswers() {
    if (!FServerProbe) {
        FServerProbe = std::make_unique<TServerProbe>(FPortName);
        return false;
    }
    if (!FServerProbe->Finished()) return false;
    const bool answered = FServerProbe->Answered();
    FServerProbe.reset();
    return answered;
}

void AttachReconnect(TForm3& Form) { new TReconnect(Form); }
