// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting for a device to return: CPU share of the console window while it
// waits for its vanished port, against the same window with the port open and
// idle at the default Delay of 100. Runs the real window offscreen.
#include <QApplication>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "bench/BenchSupport.h"
#include "console/Reconnect.h"
#include "console/comexample.h"
#include "tests/support/Pty.h"

namespace {

constexpr int kWindowMs = 10000;

// Share of one core used while the window's event loop runs for a while.
double CpuShareOfTheWindow() {
    QEventLoop loop;
    QTimer::singleShot(kWindowMs, &loop, &QEventLoop::quit);
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = TClock::now();
    loop.exec();
    return (ProcessCpuSeconds() - cpuBefore) / SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QTemporaryDir settings;  // the user's own stay out of it
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    Application->Initialize();
    auto* form = new TForm3(nullptr);
    form->InitializeForm();
    form->Show();
    form->cb_portlist->SetText(u"COM5");
    form->b_ConnectClick(form);

    const double open = CpuShareOfTheWindow();
    far.CloseMaster();
    const auto* reconnect = dynamic_cast<TReconnect*>(form->FindComponent("Reconnect"));
    QEventLoop loop;
    while (!reconnect->Waiting()) loop.processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double waiting = CpuShareOfTheWindow();
    const bool stillWaiting = reconnect->Waiting();
    delete form;

    PrintFigure("window idle, port open at Delay 100 (baseline)", open * 100, "%cpu", 1.0);
    PrintFigure("window waiting for its device", waiting * 100, "%cpu", waiting / open,
                stillWaiting ? "" : "STOPPED WAITING");
    std::printf("target: no more than the open port: %s\n", waiting <= open ? "met" : "MISSED");
    return 0;
}
