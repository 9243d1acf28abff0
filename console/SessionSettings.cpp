// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/SessionSettings.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QRegularExpression>
#include <cstdio>

#include "console/CaptureLog.h"
#include "console/ConsoleMenus.h"
#include "console/FormParts.h"
#include "console/QuickSend.h"
#include "console/ReceivedViews.h"
#include "console/TerminalMode.h"
#include "console/SendOptions.h"

namespace {

const QString kFormatKey = QStringLiteral("Format");
constexpr int kFormat = 1;
const QString kPortKey = QStringLiteral("Session/Port");
const QString kBaudKey = QStringLiteral("Session/BaudRate");
const QString kSendCRKey = QStringLiteral("Session/SendCarriageReturn");
const QString kPlaceKey = QStringLiteral("Window/Place");
const QString kClientSizeKey = QStringLiteral("Window/ClientSize");
const QString kHistoryKey = QStringLiteral("History/Commands");
const QString kTimestampsKey = QStringLiteral("View/Timestamps");
const QString kControlsKey = QStringLiteral("View/ShowControlCharacters");
const QString kControlLineEndsKey = QStringLiteral("View/ControlLineEnds");
const QString kHexKey = QStringLiteral("View/HexView");
const QString kTerminalCodesKey = QStringLiteral("View/TerminalCodes");
const QString kBellKey = QStringLiteral("View/Bell");
const QString kTerminalModeKey = QStringLiteral("Port/TerminalMode");
const QString kBackspaceSendsBSKey = QStringLiteral("Port/BackspaceSendsBS");
const QString kKeepLinesKey = QStringLiteral("View/KeepLines");
const QString kLogDatedKey = QStringLiteral("Log/WithDateAndTime");

constexpr qsizetype kHistoryLength = 256;

}  // namespace

TSessionSettings::TSessionSettings(TForm3& Form)
    : TComponent(&Form),
      FForm(Form),
      FStore(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ostra"), QStringLiteral("Ostra Console")) {
    if (Usable()) Load();
    QAction* forget = ConsoleMenu(Form, QStringLiteral("&Port")).addAction(QStringLiteral("Forget history"));
    QObject::connect(forget, &QAction::triggered, Form.Widget(), [this] { ForgetHistory(); });
    Form.AddSessionWatcher(this);
}

bool TSessionSettings::Usable() {
    if (FStore.status() != QSettings::NoError) {
        Warn(QStringLiteral("it cannot be read"));
        FWritable = false;
        return false;
    }
    if (FStore.allKeys().isEmpty() && QFileInfo(FStore.fileName()).size() == 0) return false;  // nothing stored yet
    bool number = false;
    if (FStore.value(kFormatKey).toInt(&number) != kFormat || !number) {
        Warn(QStringLiteral("it is not a settings file of this program"));
        FWritable = false;
        return false;
    }
    return true;
}

void TSessionSettings::Warn(const QString& Problem) const {
    std::fprintf(stderr, "ostra-console: ignoring the settings in %s: %s\n", qUtf8Printable(FStore.fileName()),
                 qUtf8Printable(Problem));
}

void TSessionSettings::Load() {
    ChoosePort(FStore.value(kPortKey).toString());
    ApplyBaudRate(FStore.value(kBaudKey).toString());
    const QVariant sendCR = FStore.value(kSendCRKey);
    if (sendCR.isValid()) FForm.ck_sendCR->SetChecked(sendCR.toBool());
    RestoreWindow(FStore.value(kPlaceKey).toPoint(), FStore.value(kClientSizeKey).toSize());
    LoadViewOptions();
    FormPart<TSendOptions>(FForm, "SendOptions").Load(FStore);
    FormPart<TQuickSend>(FForm, "QuickSend").Load(FStore);
    for (const QString& command : FStore.value(kHistoryKey).toStringList().mid(0, kHistoryLength))
        FForm.Addtolist(UnicodeToAnsi(FromQString(command)));
}

void TSessionSettings::RestoreWindow(const QPoint& Place, const QSize& ClientSize) {
    // Only a place on a screen that is there now.
    if (!ClientSize.isEmpty()) {
        FForm.SetClientWidth(ClientSize.width());
        FForm.SetClientHeight(ClientSize.height());
    }
    if (QGuiApplication::screenAt(Place)) {
        FForm.SetPosition(poDesigned);
        FForm.Frame()->move(Place);
    }
}

void TSessionSettings::ChoosePort(const QString& Name) {
    if (Name.isEmpty()) return;
    TStrings& ports = *FForm.cb_portlist->GetItems();
    const AnsiString name = UnicodeToAnsi(FromQString(Name));
    for (int i = 0; i < ports.Count(); ++i)
        if (ports.Get(i) == name) FForm.cb_portlist->SetItemIndex(i);
}

void TSessionSettings::ApplyBaudRate(const QString& Rate) {
    static const QRegularExpression digits(QStringLiteral("^[1-9][0-9]{0,8}$"));
    if (Rate.isEmpty()) return;
    if (!digits.match(Rate).hasMatch()) {
        Warn(QStringLiteral("'%1' is not a baud rate").arg(Rate));
        return;
    }
    FForm.cb_Baud->SetText(FromQString(Rate));
    if (const TNotifyEvent& change = FForm.cb_Baud->GetOnChange()) change(FForm.cb_Baud);
}

void TSessionSettings::LoadViewOptions() {
    TReceivedViews& views = FormPart<TReceivedViews>(FForm, "ReceivedViews");
    views.SetShowControls(FStore.value(kControlsKey, false).toBool());
    views.SetControlLineEnds(FStore.value(kControlLineEndsKey, false).toBool());
    views.SetTimestamps(FStore.value(kTimestampsKey, false).toBool());
    views.SetHexView(FStore.value(kHexKey, false).toBool());
    views.SetTerminalCodes(FStore.value(kTerminalCodesKey, true).toBool());
    views.SetBell(FStore.value(kBellKey, false).toBool());
    bool number = false;
    const qulonglong lines = FStore.value(kKeepLinesKey, 0).toULongLong(&number);
    if (number) views.SetScrollback(lines);
    FormPart<TCaptureLog>(FForm, "CaptureLog").SetDated(FStore.value(kLogDatedKey, false).toBool());
    TTerminalMode& terminal = FormPart<TTerminalMode>(FForm, "TerminalMode");
    terminal.SetOn(FStore.value(kTerminalModeKey, false).toBool());
    terminal.SetBackspaceSendsBS(FStore.value(kBackspaceSendsBSKey, false).toBool());
}

void TSessionSettings::SaveViewOptions() {
    const TReceivedViews& views = FormPart<TReceivedViews>(FForm, "ReceivedViews");
    FStore.setValue(kControlsKey, views.ShowControls());
    FStore.setValue(kControlLineEndsKey, views.ControlLineEnds());
    FStore.setValue(kTimestampsKey, views.Timestamps());
    FStore.setValue(kHexKey, views.HexView());
    FStore.setValue(kTerminalCodesKey, views.TerminalCodes());
    FStore.setValue(kBellKey, views.Bell());
    FStore.setValue(kKeepLinesKey, static_cast<qulonglong>(views.Scrollback()));
    FStore.setValue(kLogDatedKey, FormPart<TCaptureLog>(FForm, "CaptureLog").Dated());
    const TTerminalMode& terminal = FormPart<TTerminalMode>(FForm, "TerminalMode");
    FStore.setValue(kTerminalModeKey, terminal.On());
    FStore.setValue(kBackspaceSendsBSKey, terminal.BackspaceSendsBS());
}

void TSessionSettings::Save() {
    if (!FWritable) return;
    FStore.setValue(kFormatKey, kFormat);
    FStore.setValue(kPortKey, ToQString(FForm.cb_portlist->GetText()).trimmed());
    FStore.setValue(kBaudKey, ToQString(FForm.cb_Baud->GetText()).trimmed());
    FStore.setValue(kSendCRKey, FForm.ck_sendCR->GetChecked());
    FStore.setValue(kPlaceKey, FForm.Frame()->pos());
    FStore.setValue(kClientSizeKey, FForm.Widget()->size());
    SaveViewOptions();
    FormPart<TSendOptions>(FForm, "SendOptions").Save(FStore);
    FormPart<TQuickSend>(FForm, "QuickSend").Save(FStore);
    QStringList history;
    for (const AnsiString& command : FForm.History()) history.append(ToQString(AnsiToUnicode(command)));
    FStore.setValue(kHistoryKey, history);
    FStore.sync();
}

void TSessionSettings::ForgetHistory() {
    FForm.ClearHistory();
    if (!FWritable) return;
    FStore.remove(kHistoryKey);
    FStore.sync();
}

void AttachSessionSettings(TForm3& Form) { new TSessionSettings(Form); }
