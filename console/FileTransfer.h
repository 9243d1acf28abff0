// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files by XMODEM and YMODEM: sending (offered by File > Send file…) and
// File > Receive file…. While a transfer runs it takes the received bytes
// raw, and a progress dialog shows the bytes, the retries and a Cancel that
// sends CAN CAN.

#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <memory>

#include "console/comexample.h"
#include "transfer/TransferJob.h"

class QAction;
class QTimer;

enum TTransferProtocol : uint8_t { tpXmodem, tpXmodem1K, tpXmodemChecksum, tpYmodem };

class TFileTransfer : public TComponent, public TSessionWatcher {
public:
    explicit TFileTransfer(TForm3& Form);
    ~TFileTransfer() override;

    // Sends Paths (one for XMODEM) with Protocol; the receiver chooses checksum or CRC-16.
    void Send(TTransferProtocol Protocol, const QStringList& Paths);
    // XMODEM into the file at Target, YMODEM into the folder Target.
    void Receive(TTransferProtocol Protocol, const QString& Target);
    bool Running() const { return FJob != nullptr; }
    // What the last transfer came to, as the window said it.
    const QString& LastOutcome() const { return FLastOutcome; }
    QProgressDialog* Progress() const { return FProgress; }
    const TTransferJob* Job() const { return FJob.get(); }

    // Asks how Send file… sends; sends by XMODEM or YMODEM itself, and
    // returns true when the user chose Raw.
    bool OfferProtocols();

    void Connected() override;
    void Disconnected(bool DeviceLost) override;
    void ClosingPort() override;

private:
    void ChooseAndReceive();
    void Start(const QString& Title, TTransferJob::TWork Work);
    void ShowProgress();
    void Finish();

    TForm3& FForm;
    QAction* FReceiveAction;
    QTimer* FPoll;
    QPointer<QProgressDialog> FProgress;
    std::unique_ptr<TPortLink> FLink;
    std::unique_ptr<TTransferJob> FJob;
    QString FTitle;
    QString FDone;  // what success says
    // Run on the main thread when the transfer ended; Done: it completed.
    std::function<void(bool Done)> FAfter;
    int FSendChoice = 0;
    int FReceiveChoice = 0;
    QString FLastOutcome;
};

// Called once from FormCreate.
void AttachFileTransfer(TForm3& Form);
