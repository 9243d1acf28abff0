// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/toolkit/ui/QtTestSupport.h"

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
