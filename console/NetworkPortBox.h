// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ports on the network in the window: Port > "Add network port…", the names
// remembered and listed after the local ports, what the servers say shown in
// a note that does not stop the window, and a raw TCP port's line settings
// shown as out of reach.

#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <vector>

#include "console/comexample.h"


class QWidget;

class TNetworkPortBox : public TComponent, public TSessionWatcher {
public:
    explicit TNetworkPortBox(TForm3& Form);
    ~TNetworkPortBox() override;

    // Remembers Name and chooses it in the port box; why not, when it is not
    // a network port name.
    QString AddPort(const QString& Name);
    QStringList Remembered() const;
    // The note that shows what servers said, while it is open.
    QMessageBox* Note() const { return FNote; }

    void Connected() override;
    void Disconnected(bool DeviceLost) override;

private:
    void AskForPort();
    void ListRemembered();
    void Remember(const QString& Name);
    void ShowNotice(const QString& Port, const QString& Text);
    void ShowLineSettingsOutOfReach(bool OutOfReach);

    TForm3& FForm;
    QSettings FStore;
    QPointer<QMessageBox> FNote;
    // The controls a raw TCP port disabled, to give back as they were.
    struct TDisabled {
        QWidget* Control;
        QString ToolTip;
    };
    std::vector<TDisabled> FDisabled;
};

// Called once from FormCreate.
void AttachNetworkPortBox(TForm3& Form);
