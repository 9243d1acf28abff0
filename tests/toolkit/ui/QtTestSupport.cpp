// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/toolkit/ui/QtTestSupport.h"

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <csignal>

#ifndef _WIN32
#include <sys/resource.h>
#endif

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

bool TFailingFolder::CanStopFilesGrowing() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

TFailingFolder::TFailingFolder(bool FileStopsGrowing, uint64_t Bytes) : FPath(FScratch.Path()) {
    if (!FileStopsGrowing) {
        FPath = QDir(FScratch.Path()).filePath(QStringLiteral("taken"));
        QFile taken(FPath);
        taken.open(QIODevice::WriteOnly);
        return;
    }
#ifndef _WIN32
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    FLimitBefore = limit.rlim_cur;
    // Writing past the limit fails instead of ending the process.
    FHandlerBefore = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = Bytes;
    FLimited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
#else
    (void)Bytes;
#endif
}

TFailingFolder::~TFailingFolder() {
#ifndef _WIN32
    if (!FLimited) return;
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = FLimitBefore;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, FHandlerBefore);
#endif
}
