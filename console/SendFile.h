// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File > Send file…: the file's bytes go out unchanged, block by block on a
// thread of their own, while a progress dialog shows the bytes sent and can
// cancel between blocks.

#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <memory>

#include "console/FileSendJob.h"
#include "console/comexample.h"

class QAction;

class QTimer;

class TSendFile : public TComponent, public TSessionWatcher {
public:
    explicit TSendFile(TForm3& Form);
    ~TSendFile() override;

    // Starts sending the file at Path; a file that cannot be opened is
    // refused at once with the reason.
    void Send(const QString& Path);
    bool Sending() const { return FJob != nullptr; }
    // What the last send came to, as the window said it.
    const QString& LastOutcome() const { return FLastOutcome; }
    QProgressDialog* Progress() const { return FProgress; }

    void Connected() override;
    void Disconnected(bool DeviceLost) override;
    void ClosingPort() override;

private:
    void Choose();
    void ShowProgress();
    void Finish();
    QString Describe() const;

    TForm3& FForm;
    QAction* FAction;
    QTimer* FPoll;
    QPointer<QProgressDialog> FProgress;
    std::unique_ptr<TFileSendJob> FJob;
    QString FFileName;
    QString FLastOutcome;
};

// Called once from FormCreate.
void AttachSendFile(TForm3& Form);
