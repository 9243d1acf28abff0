// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the console remembers between runs, per user: the port, the baud
// rate, "Send Carriage Return", the window's geometry, the options of the
// received area's views and of the log, how commands go out, the quick-send
// buttons, and the last commands.

#include <QSettings>
#include <QString>

#include "console/comexample.h"

class TSessionSettings : public TComponent, public TSessionWatcher {
public:
    // Loads what is stored into the window, which has its ports and rates listed.
    explicit TSessionSettings(TForm3& Form);

    void Closing() override { Save(); }
    void Save();
    // Clears the command history, in the window and in the store.
    void ForgetHistory();

private:
    // False, with a warning on standard error, when the store is not ours or is damaged.
    bool Usable();
    void Load();
    void RestoreWindow(const QPoint& Place, const QSize& ClientSize);
    void ChoosePort(const QString& Name);
    void ApplyBaudRate(const QString& Rate);
    void LoadViewOptions();
    void SaveViewOptions();
    void Warn(const QString& Problem) const;

    TForm3& FForm;
    QSettings FStore;
    // A store that could not be read is left as it is.
    bool FWritable = true;
};

// Called once from FormCreate.
void AttachSessionSettings(TForm3& Form);
