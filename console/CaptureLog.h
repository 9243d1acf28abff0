// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File > Log to file…: every received byte goes to a file through the port's
// own input log, exactly as it came; File > Save received text… writes what
// the received area shows. While logging, the caption names the file.

#include <QString>

#include "console/comexample.h"

class QAction;

class TCaptureLog : public TComponent {
public:
    explicit TCaptureLog(TForm3& Form);

    // Logs to the file at Path from now on; a file that cannot be opened is
    // refused at once with the log's message and the path.
    void Start(const QString& Path);
    // Stops logging; the file is closed after every chunk, so it is complete.
    void Stop();
    bool Logging() const { return !FPath.isEmpty(); }
    void SetDated(bool Dated);
    bool Dated() const { return FForm.OrvelSerialPort1->GetLogDateTime(); }
    // Writes the received area's text to Path as UTF-8, the lines of the
    // console's own marked "[Ostra Console] "; raises when it cannot.
    void SaveReceived(const QString& Path) const;
    // What the window said when a log stopped by itself.
    const QString& LastFailure() const { return FLastFailure; }

private:
    void Choose();
    void ChooseSave() const;
    // A write failed after logging began: logging stops and the window says so.
    void Failed(const QString& File, const QString& Message);
    void ShowState();

    TForm3& FForm;
    QAction* FLog;
    QAction* FDated;
    QString FPath;
    QString FLastFailure;
};

// Called once from FormCreate; also adds File > Quit (Ctrl+Q), which the
// received area leaves to its own Ctrl+Q.
void AttachCaptureLog(TForm3& Form);
