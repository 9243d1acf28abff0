// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/CaptureLog.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

#include "console/ConsoleMenus.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/TextView.h"

namespace {

// Before the lines the console put into the received text itself.
constexpr char16_t kConsoleLineMark[] = u"[Ostra Console] ";

QString FailureText(const QString& Message, const QString& Path) { return Message + QStringLiteral("\n") + Path; }

}  // namespace

TCaptureLog::TCaptureLog(TForm3& Form)
    : TComponent(&Form), FForm(Form) {
    SetName("CaptureLog");
    QMenu& file = ConsoleMenu(Form, QStringLiteral("&File"));
    QWidget* window = Form.Widget();
    FLog = &AddCheckable(file, QStringLiteral("&Log to file…"));
    // The check mark follows the log, not the click: a refused file leaves it off.
    QObject::connect(FLog, &QAction::triggered, window, [this] {
        FLog->setChecked(Logging());
        RunHandled([this] { Logging() ? Stop() : Choose(); });
    });
    FDated = &AddCheckable(file, QStringLiteral("Log with &date and time"));
    QObject::connect(FDated, &QAction::toggled, window, [this](bool Dated) { SetDated(Dated); });
    QAction* save = file.addAction(QStringLiteral("&Save received text…"));
    QObject::connect(save, &QAction::triggered, window, [this] { RunHandled([this] { ChooseSave(); }); });

    Form.OrvelSerialPort1->SetOnLogError([this](TObject*, UnicodeString File, AnsiString Message) {
        Failed(ToQString(File), QString::fromUtf8(Message));
    });
}

void TCaptureLog::Choose() {
    const QString path = QFileDialog::getSaveFileName(FForm.Frame(), QStringLiteral("Log to file"), {}, {}, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) Start(path);
}

void TCaptureLog::Start(const QString& Path) {
    const UnicodeString path = FromQString(Path);
    try {
        TOrvelSerialPort::CheckLogFile(path);
    } catch (const EOrvelSerialPortException& e) {
        throw EOrvelSerialPortException(FailureText(QString::fromUtf8(e.what()), Path).toStdString());
    }
    TOrvelSerialPort& port = *FForm.OrvelSerialPort1;
    port.SetLogFile(path);
    port.SetLogInput(true);
    FPath = Path;
    ShowState();
}

void TCaptureLog::Stop() {
    FForm.OrvelSerialPort1->SetLogInput(false);
    FPath.clear();
    ShowState();
}

void TCaptureLog::SetDated(bool Dated) {
    FForm.OrvelSerialPort1->SetLogDateTime(Dated);
    FDated->setChecked(Dated);
}

void TCaptureLog::Failed(const QString& File, const QString& Message) {
    if (!Logging()) return;  // a chunk in flight when the log stopped
    Stop();
    FLastFailure = QStringLiteral("Logging stopped. ") + FailureText(Message, File);
    // Not modal: the receive thread waits while this runs.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Log to file"), FLastFailure, QMessageBox::Ok,
                                FForm.Frame());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setModal(false);
    box->show();
}

void TCaptureLog::ShowState() {
    FLog->setChecked(Logging());
    const QString suffix = Logging() ? QStringLiteral(" — logging to ") + QFileInfo(FPath).fileName() : QString();
    FForm.SetCaptionSuffix(*this, FromQString(suffix));
}

void TCaptureLog::ChooseSave() const {
    const QString path = QFileDialog::getSaveFileName(FForm.Frame(), QStringLiteral("Save received text"));
    if (!path.isEmpty()) SaveReceived(path);
}

void TCaptureLog::SaveReceived(const QString& Path) const {
    QFile file(Path);
    const QByteArray text = ToQString(FForm.Memo1->View().Lines().TextMarkingNotes(kConsoleLineMark)).toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() || !file.flush())
        throw Exception(FailureText(QStringLiteral("The received text could not be saved: ") + file.errorString(), Path)
                            .toStdString());
}

void AttachCaptureLog(TForm3& Form) {
    new TCaptureLog(Form);
    QMenu& file = ConsoleMenu(Form, QStringLiteral("&File"));
    file.addSeparator();
    QAction* quit = file.addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, Form.Widget(), [&Form] { Form.Close(); });
}
