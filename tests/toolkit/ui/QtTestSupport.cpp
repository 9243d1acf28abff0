// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/toolkit/ui/QtTestSupport.h"

#include <QDir>
#include <QScreen>
#include <QTest>

QImage ScreenShot(QWidget& Window, const QRect& Area) {
    QCoreApplication::processEvents();  // let pending paints reach the window first
    const QPixmap shot = Window.screen()->grabWindow(Window.winId(), Area.x(), Area.y(), Area.width(), Area.height());
    return shot.toImage().convertToFormat(QImage::Format_RGB32);
}

bool TTestWindow::ShowExposed() {
    show();
    return QTest::qWaitForWindowExposed(this, 10000);
}

TScratchFolder::TScratchFolder() {
    static int count = 0;
    FPath = QDir::temp().filePath(QStringLiteral("ostra-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(count++));
    QDir().mkpath(FPath);
}

TScratchFolder::~TScratchFolder() { QDir(FPath).removeRecursively(); }
