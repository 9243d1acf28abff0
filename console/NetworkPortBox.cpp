// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/NetworkPortBox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

#include "console/ConsoleMenus.h"
#include "console/FormParts.h"
#include "serial/device/NetworkAddress.h"
#include "serial/device/NetworkPorts.h"

namespace {

const QString kPortsKey = QStringLiteral("NetworkPorts/Names");
const QString kOutOfReach =
    QStringLiteral("Raw TCP: line settings and modem lines cannot reach the device; the server keeps its own.");

QString CurrentPortName(TForm3& Form) { return QString::fromStdString(Trim(UnicodeToAnsi(Form.cb_portlist->GetText()))); }

}  // namespace

TNetworkPortBox::TNetworkPortBox(TForm3& Form)
    : TComponent(&Form),
      FForm(Form),
      FStore(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ostra"), QStringLiteral("Ostra Console")) {
    SetName("NetworkPortBox");
    QAction* add = ConsoleMenu(Form, QStringLiteral("&Port")).addAction(QStringLiteral("Add network port…"));
    QObject::connect(add, &QAction::triggered, Form.Widget(), [this] { AskForPort(); });
    const TNotifyEvent getPorts = Form.b_GetPorts->GetOnClick();
    Form.b_GetPorts->SetOnClick([this, getPorts](TObject* Sender) {
        if (getPorts) getPorts(Sender);
        ListRemembered();
    });
    ListRemembered();
    // Ports tell from their own threads; the note is the window's.
    QPointer<QWidget> window = Form.Widget();
    SetNetworkNoticeHandler([this, window](const std::string& Port, const std::string& Text) {
        if (!window) return;
        QMetaObject::invokeMethod(
            window, [this, Port, Text] { ShowNotice(QString::fromStdString(Port), QString::fromStdString(Text)); },
            Qt::QueuedConnection);
    });
    Form.AddSessionWatcher(this);
}

TNetworkPortBox::~TNetworkPortBox() { SetNetworkNoticeHandler(nullptr); }

QStringList TNetworkPortBox::Remembered() const { return FStore.value(kPortsKey).toStringList(); }

QString TNetworkPortBox::AddPort(const QString& Name) {
    const std::optional<TNetworkAddress> address = ParseNetworkPortName(Name.trimmed().toStdString());
    if (!address)
        return QStringLiteral("\"%1\" is not a network port. Type rfc2217://HOST:PORT or tcp://HOST:PORT.").arg(Name);
    const QString name = QString::fromStdString(address->PortName());
    Remember(name);
    ListRemembered();
    FForm.cb_portlist->SetText(name.toStdU16String());
    return {};
}

void TNetworkPortBox::AskForPort() {
    bool ok = false;
    const QString name = QInputDialog::getText(
        FForm.Widget(), QStringLiteral("Add network port"),
        QStringLiteral("Address of the port on a device server (rfc2217://HOST:PORT or tcp://HOST:PORT):"),
        QLineEdit::Normal, QStringLiteral("rfc2217://"), &ok);
    if (!ok) return;
    const QString problem = AddPort(name);
    if (!problem.isEmpty()) QMessageBox::warning(FForm.Widget(), QStringLiteral("Add network port"), problem);
}

void TNetworkPortBox::Remember(const QString& Name) {
    QStringList names = Remembered();
    if (names.contains(Name)) return;
    names.append(Name);
    FStore.setValue(kPortsKey, names);
}

// After the local ports, each once.
void TNetworkPortBox::ListRemembered() {
    TStrings& items = *FForm.cb_portlist->GetItems();
    for (const QString& name : Remembered()) {
        const AnsiString item = name.toStdString();
        bool listed = false;
        for (int i = 0; i < items.Count() && !listed; ++i) listed = items[i] == item;
        if (!listed) items.Add(item);
    }
    // Network names are long: the open list shows them whole, wider than the box.
    auto* box = static_cast<QComboBox*>(FForm.cb_portlist->Widget());
    box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 2 * box->view()->frameWidth());
}

void TNetworkPortBox::Connected() {
    const QString name = CurrentPortName(FForm);
    if (!IsNetworkPortName(name.toStdString())) return ShowLineSettingsOutOfReach(false);
    Remember(name);
    ListRemembered();
    const auto address = ParseNetworkPortName(name.toStdString());
    ShowLineSettingsOutOfReach(address && address->Protocol == TNetworkProtocol::RawTcp);
}

void TNetworkPortBox::Disconnected(bool) { ShowLineSettingsOutOfReach(false); }

void TNetworkPortBox::ShowLineSettingsOutOfReach(bool OutOfReach) {
    for (const TDisabled& disabled : FDisabled) {
        disabled.Control->setEnabled(true);
        disabled.Control->setToolTip(disabled.ToolTip);
    }
    FDisabled.clear();
    if (!OutOfReach) return;
    QWidget* controls[] = {FForm.cb_Baud->Widget(), FormPart<TCheckBox>(FForm, "ck_DTR").Widget(),
                           FormPart<TCheckBox>(FForm, "ck_RTS").Widget(), FormPart<TButton>(FForm, "b_Break").Widget()};
    for (QWidget* control : controls) {
        if (!control->isEnabled()) continue;
        FDisabled.push_back({control, control->toolTip()});
        control->setEnabled(false);
        control->setToolTip(kOutOfReach);
    }
}

void TNetworkPortBox::ShowNotice(const QString& Port, const QString& Text) {
    const QString line = Port + QStringLiteral(": ") + Text;
    if (FNote) {
        FNote->setText(FNote->text() + QLatin1Char('\n') + line);
        return;
    }
    // Not modal: the window goes on while the note is open.
    FNote = new QMessageBox(QMessageBox::Information, QStringLiteral("Ports on the network"), line, QMessageBox::Ok,
                            FForm.Widget());
    FNote->setAttribute(Qt::WA_DeleteOnClose);
    FNote->setWindowModality(Qt::NonModal);
    FNote->show();
}

void AttachNetworkPortBox(TForm3& Form) { new TNetworkPortBox(Form); }
