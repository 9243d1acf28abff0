// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view that stands over the received area (the hex view, terminal mode).

#include <QEvent>
#include <QObject>
#include <QWidget>

// Keeps a widget on the place of another as the window resizes it.
class TSamePlace : public QObject {
public:
    TSamePlace(QWidget& Leader, QWidget& Follower) : QObject(&Follower), FFollower(Follower) {
        Leader.installEventFilter(this);
        Follower.setGeometry(Leader.geometry());
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Resize || Event->type() == QEvent::Move)
            FFollower.setGeometry(static_cast<QWidget*>(Watched)->geometry());
        return false;
    }

private:
    QWidget& FFollower;
};
