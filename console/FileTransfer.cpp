// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/FileTransfer.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "console/ConsoleMenus.h"
#include "console/ProgressDialog.h"
#include "toolkit/ui/ExceptionHandler.h"

namespace {

constexpr int kPollMs = 100;

struct TChoice {
    const char* Name;
    TTransferProtocol Protocol;
};
// Send file… offers Raw before these.
const TChoice kSendChoices[] = {{"XMODEM (128-byte blocks)", tpXmodem},
                                {"XMODEM-1K (1024-byte blocks)", tpXmodem1K},
                                {"YMODEM (a batch of files, with name and size)", tpYmodem}};
const TChoice kReceiveChoices[] = {{"XMODEM with CRC-16", tpXmodem},
                                   {"XMODEM with checksum", tpXmodemChecksum},
                                   {"YMODEM (a batch of files)", tpYmodem}};
const QString kRaw = QStringLiteral("Raw (the file's bytes as they are)");

std::filesystem::path PathOf(const QString& Path) { return std::filesystem::path(Path.toStdU16String()); }

template <std::size_t N>
QStringList Names(const TChoice (&Choices)[N]) {
    QStringList names;
    for (const TChoice& choice : Choices) names << QString::fromUtf8(choice.Name);
    return names;
}

// The index of the item chosen, -1 when the user declined.
int AskChoice(QWidget* Parent, const QString& Title, const QStringList& Items, int Current) {
    bool ok = false;
    const QString item = QInputDialog::getItem(Parent, Title, QStringLiteral("Protocol:"), Items, Current, false, &ok);
    return ok ? static_cast<int>(Items.indexOf(item)) : -1;
}

}  // namespace

TFileTransfer::TFileTransfer(TForm3& Form)
    : TComponent(&Form),
      FForm(Form),
      FReceiveAction(ConsoleMenu(Form, QStringLiteral("&File")).addAction(QStringLiteral("Receive file…"))),
      FPoll(new QTimer(Form.Widget())) {
    SetName("FileTransfer");
    FReceiveAction->setEnabled(false);
    QObject::connect(FReceiveAction, &QAction::triggered, Form.Widget(),
                     [this] { RunHandled([this] { ChooseAndReceive(); }); });
    FPoll->setInterval(kPollMs);
    QObject::connect(FPoll, &QTimer::timeout, Form.Widget(), [this] { ShowProgress(); });
    Form.AddSessionWatcher(this);
}

// The job's thread uses the port and the link: it ends before they go. The
// window is gone by now and has stopped its reception already.
TFileTransfer::~TFileTransfer() { FJob.reset(); }

bool TFileTransfer::OfferProtocols() {
    const int choice = AskChoice(FForm.Frame(), QStringLiteral("Send file"), QStringList{kRaw} + Names(kSendChoices),
                                 FSendChoice);
    if (choice < 0) return false;
    FSendChoice = choice;
    if (choice == 0) return true;
    const TTransferProtocol protocol = kSendChoices[choice - 1].Protocol;
    const QStringList paths =
        protocol == tpYmodem ? QFileDialog::getOpenFileNames(FForm.Frame(), QStringLiteral("Send files by YMODEM"))
                             : QStringList{QFileDialog::getOpenFileName(FForm.Frame(), QStringLiteral("Send file"))};
    if (!paths.isEmpty() && !paths.front().isEmpty()) Send(protocol, paths);
    return false;
}

void TFileTransfer::ChooseAndReceive() {
    const int choice = AskChoice(FForm.Frame(), QStringLiteral("Receive file"), Names(kReceiveChoices), FReceiveChoice);
    if (choice < 0) return;
    FReceiveChoice = choice;
    const TTransferProtocol protocol = kReceiveChoices[choice].Protocol;
    const QString target = protocol == tpYmodem
                               ? QFileDialog::getExistingDirectory(FForm.Frame(), QStringLiteral("Receive files into"))
                               : QFileDialog::getSaveFileName(FForm.Frame(), QStringLiteral("Receive file as"));
    if (!target.isEmpty()) Receive(protocol, target);
}

void TFileTransfer::Send(TTransferProtocol Protocol, const QStringList& Paths) {
    if (FJob || !FForm.Connected() || Paths.isEmpty()) return;
    std::vector<std::filesystem::path> files;
    for (const QString& path : Paths) files.push_back(PathOf(path));
    TModemOptions options;
    options.OneK = Protocol == tpXmodem1K;
    FDone = QStringLiteral("Sent %1.").arg(Paths.size() == 1 ? QFileInfo(Paths.front()).fileName()
                                                               : QStringLiteral("%1 files").arg(Paths.size()));
    FAfter = nullptr;
    if (Protocol == tpYmodem) {
        Start(QStringLiteral("Send file"), [this, files, options](TTransferState& State) {
            YmodemSend(*FLink, files, options, State);
        });
        return;
    }
    // Opened here, so a file that cannot be read is refused before anything goes out.
    auto file = std::make_shared<std::ifstream>(files.front(), std::ios::binary | std::ios::ate);
    if (!*file) throw Exception("Cannot open " + Paths.front().toStdString() + ": " + std::strerror(errno));
    const auto size = static_cast<uint64_t>(file->tellg());
    file->seekg(0);
    const std::string name = QFileInfo(Paths.front()).fileName().toStdString();
    Start(QStringLiteral("Send file"), [this, file, size, name, options](TTransferState& State) {
        State.SetFileName(name);
        XmodemSend(*FLink, *file, size, options, State);
    });
}

void TFileTransfer::Receive(TTransferProtocol Protocol, const QString& Target) {
    if (FJob || !FForm.Connected()) return;
    TModemOptions options;
    options.Crc = Protocol != tpXmodemChecksum;
    if (Protocol == tpYmodem) {
        FDone = QStringLiteral("Received the files into %1.").arg(Target);
        FAfter = nullptr;
        const std::filesystem::path folder = PathOf(Target);
        Start(QStringLiteral("Receive file"), [this, folder, options](TTransferState& State) {
            YmodemReceive(*FLink, folder, options, State);
        });
        return;
    }
    // Into a file beside the target, which takes its place once it is complete:
    // a transfer that fails leaves what was there before.
    const std::filesystem::path target = PathOf(Target);
    std::filesystem::path partial = target;
    partial += ".part";
    auto file = std::make_shared<std::ofstream>(partial, std::ios::binary | std::ios::trunc);
    if (!*file) throw Exception("Cannot write " + Target.toStdString() + ".part: " + std::strerror(errno));
    FDone = QStringLiteral("Received %1 (XMODEM pads its last block with SUB characters).").arg(Target);
    FAfter = [file, partial, target](bool Done) {
        file->close();
        std::error_code error;
        if (Done)
            std::filesystem::rename(partial, target, error);
        else
            std::filesystem::remove(partial, error);
    };
    const std::string name = QFileInfo(Target).fileName().toStdString();
    Start(QStringLiteral("Receive file"), [this, file, name, options](TTransferState& State) {
        State.SetFileName(name);
        XmodemReceive(*FLink, *file, options, State);
        file->flush();
        if (!*file) throw ETransferFailed(tfFile, "the file could not be written");
    });
}

void TFileTransfer::Start(const QString& Title, TTransferJob::TWork Work) {
    FTitle = Title;
    FLink = std::make_unique<TPortLink>(*FForm.OrvelSerialPort1);
    FForm.Received().SetTaker([this](std::string_view Bytes) { FLink->Feed(AnsiString(Bytes)); });
    FJob = std::make_unique<TTransferJob>(std::move(Work));
    FReceiveAction->setEnabled(false);

    FProgress = NewProgressDialog(FForm.Frame(), Title, [this] {
        if (FJob) FJob->Cancel();
    });
    FProgress->setLabelText(QStringLiteral("Waiting for the far end…"));
    FProgress->show();
    FPoll->start();
}

void TFileTransfer::ShowProgress() {
    if (!FJob) return;
    if (FJob->Outcome() != TTransferJob::toRunning) return Finish();
    if (!FProgress) return;
    const TTransferState& state = FJob->State();
    const uint64_t size = state.Size;
    const uint64_t bytes = state.Bytes;
    FProgress->setValue(size ? static_cast<int>(std::min(bytes, size) * kProgressSteps / size) : 0);
    const QString name = QString::fromStdString(state.FileName());
    const QString amount = size ? QStringLiteral("%1 of %2 bytes").arg(CountText(bytes), CountText(size))
                                : QStringLiteral("%1 bytes").arg(CountText(bytes));
    FProgress->setLabelText(QStringLiteral("%1: %2, %3 retries").arg(name.isEmpty() ? QStringLiteral("Waiting") : name,
                                                                     amount, CountText(state.Retries)));
}

void TFileTransfer::Finish() {
    FPoll->stop();
    FJob->Wait();
    FForm.Received().SetTaker(nullptr);
    const bool done = FJob->Outcome() == TTransferJob::toDone;
    FLastOutcome = done ? FDone : QStringLiteral("Stopped: %1.").arg(QString::fromStdString(FJob->Failure()));
    if (FAfter) FAfter(done);
    FAfter = nullptr;
    FJob.reset();
    FLink.reset();
    delete FProgress;
    FReceiveAction->setEnabled(FForm.Connected());
    auto* box = new QMessageBox(done ? QMessageBox::Information : QMessageBox::Warning, FTitle, FLastOutcome,
                                QMessageBox::Ok, FForm.Frame());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TFileTransfer::Connected() { FReceiveAction->setEnabled(!FJob); }

void TFileTransfer::Disconnected(bool) {
    FReceiveAction->setEnabled(false);
    if (FJob) FJob->Cancel();
}

// Before the port closes, so the transfer ends as cancelled and not as failed.
void TFileTransfer::ClosingPort() {
    if (FJob) FJob->Cancel();
}

void AttachFileTransfer(TForm3& Form) { new TFileTransfer(Form); }
