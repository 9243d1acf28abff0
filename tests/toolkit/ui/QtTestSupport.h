// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers of the Qt tests.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QWidget>
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

// What the window shows of Area (logical coordinates), in device pixels.
QImage ScreenShot(QWidget& Window, const QRect& Area);
