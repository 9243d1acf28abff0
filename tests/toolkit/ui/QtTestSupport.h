// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers of the Qt tests.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

// Processes events until Condition holds or 10 seconds have passed.
inline bool WaitFor(const std::function<bool()>& Condition) {
    const QDeadlineTimer deadline(10000);
    while (!Condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// A top-level window for controls to be placed in.
class TTestWindow : public QWidget {
public:
    explicit TTestWindow(int Width = 200, int Height = 100) { resize(Width, Height); }
    // Shows the window and waits until it is on screen.
    bool ShowExposed();
};

// Counts the paints of a widget.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget& Widget) { Widget.installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

// What the window shows of Area (logical coordinates), in device pixels.
QImage ScreenShot(QWidget& Window, const QRect& Area);

// A folder of the test's own in the system's temporary one, gone at the end
// (QTemporaryDir's random name crashes the static Qt under Wine).
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    const QString& Path() const { return FPath; }

private:
    QString FPath;
};

// A place where a scrollback file fails: a folder that cannot be made (a
// file stands where it would be), or, with FileStopsGrowing, one where the
// file stops growing past Bytes, as on a full disk (a limit on the size of
// files this process writes, lifted at the end).
class TFailingFolder {
public:
    // Whether files can be made to stop growing here.
    static bool CanStopFilesGrowing();

    TFailingFolder(bool FileStopsGrowing, uint64_t Bytes);
    ~TFailingFolder();
    TFailingFolder(const TFailingFolder&) = delete;
    TFailingFolder& operator=(const TFailingFolder&) = delete;
    const QString& Path() const { return FPath; }

private:
    TScratchFolder FScratch;
    QString FPath;
    bool FLimited = false;
    uint64_t FLimitBefore = 0;
    void (*FHandlerBefore)(int) = nullptr;
};
