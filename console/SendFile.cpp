// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/SendFile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include "console/ConsoleMenus.h"
#include "console/FileTransfer.h"
#include "console/FormParts.h"
#include "console/ProgressDialog.h"
#include "toolkit/ui/ExceptionHandler.h"

namespace {

constexpr int kPollMs = 50;

}  // namespace

TSendFile::TSendFile(TForm3& Form)
    : TComponent(&Form),
      FForm(Form),
      FAction(ConsoleMenu(Form, QStringLiteral("&File")).addAction(QStringLiteral("Send file…"))),
      FPoll(new QTimer(Form.Widget())) {
    SetName("FileSender");
    FAction->setEnabled(false);
    QObject::connect(FAction, &QAction::triggered, Form.Widget(), [this] { RunHandled([this] { Choose(); }); });
    FPoll->setInterval(kPollMs);
    QObject::connect(FPoll, &QTimer::timeout, Form.Widget(), [this] { ShowProgress(); });
    Form.AddSessionWatcher(this);
}

// The job's thread uses the port: it ends before the port goes.
TSendFile::~TSendFile() { FJob.reset(); }

void TSendFile::Choose() {
    if (!FormPart<TFileTransfer>(FForm, "FileTransfer").OfferProtocols()) return;
    const QString path = QFileDialog::getOpenFileName(FForm.Frame(), QStringLiteral("Send file"));
    if (!path.isEmpty()) Send(path);
}

void TSendFile::Send(const QString& Path) {
    if (FJob || !FForm.Connected()) return;
    TOrvelSerialPort& port = *FForm.OrvelSerialPort1;
    const std::size_t block = TFileSendJob::BlockSizeFor(port.BaudRateToInt(port.GetBaudRate()));
    FJob = std::make_unique<TFileSendJob>(port, std::filesystem::path(Path.toStdU16String()), block);
    FFileName = QFileInfo(Path).fileName();
    FAction->setEnabled(false);

    FProgress = NewProgressDialog(FForm.Frame(), QStringLiteral("Send file"), [this] {
        if (FJob) FJob->Cancel();
    });
    FJob->Start();
    FProgress->setLabelText(QStringLiteral("Sending ") + FFileName);
    FProgress->show();
    FPoll->start();
}

QString TSendFile::Describe() const {
    return QStringLiteral("%1 of %2 bytes of %3").arg(CountText(FJob->Sent()), CountText(FJob->Size()), FFileName);
}

void TSendFile::ShowProgress() {
    if (!FJob) return;
    if (FJob->Outcome() != TFileSendJob::soRunning) return Finish();
    if (!FProgress) return;
    const uint64_t size = std::max<uint64_t>(FJob->Size(), 1);
    FProgress->setValue(static_cast<int>(FJob->Sent() * kProgressSteps / size));
    FProgress->setLabelText(QStringLiteral("Sending ") + Describe());
}

void TSendFile::Finish() {
    FPoll->stop();
    FJob->Wait();
    switch (FJob->Outcome()) {
        case TFileSendJob::soDone: FLastOutcome = QStringLiteral("Sent all ") + Describe() + u'.'; break;
        case TFileSendJob::soCancelled: FLastOutcome = QStringLiteral("Cancelled after ") + Describe() + u'.'; break;
        default:
            FLastOutcome = QStringLiteral("Stopped after %1: %2").arg(Describe(), QString::fromStdString(FJob->Failure()));
            break;
    }
    FJob.reset();
    delete FProgress;
    FAction->setEnabled(FForm.Connected());
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Send file"), FLastOutcome, QMessageBox::Ok,
                                FForm.Frame());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->open();
}

void TSendFile::Connected() { FAction->setEnabled(!FJob); }

// A device that went away ends the send by itself, which says why.
void TSendFile::Disconnected(bool) { FAction->setEnabled(false); }

// Before the port closes, so the send ends as cancelled and not as failed.
void TSendFile::ClosingPort() {
    if (FJob) FJob->Cancel();
}

void AttachSendFile(TForm3& Form) { new TSendFile(Form); }
