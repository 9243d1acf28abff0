// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shows what changed at most once a frame (60 a second), however often it
// changes: the first request of a frame starts the wait, the others join it.

#include <QTimer>
#include <functional>
#include <utility>

class TFrameTimer {
public:
    static constexpr int kFrameMs = 17;

    explicit TFrameTimer(std::function<void()> Show) : FShow(std::move(Show)) {
        FTimer.setSingleShot(true);
        FTimer.setInterval(kFrameMs);
        QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this] { FShow(); });
    }
    TFrameTimer(const TFrameTimer&) = delete;
    TFrameTimer& operator=(const TFrameTimer&) = delete;

    void Request() {
        if (!FTimer.isActive()) FTimer.start();
    }
    // True while a request waits for its frame.
    bool Pending() const { return FTimer.isActive(); }
    // Shows at once what waits, for what must be exact before it goes on.
    void ShowPendingNow() {
        if (!FTimer.isActive()) return;
        FTimer.stop();
        FShow();
    }
    // What waits is shown now by other means.
    void Cancel() { FTimer.stop(); }

private:
    std::function<void()> FShow;
    QTimer FTimer;
};
