// SPDX-License-Identifier: GPL-3.0-or-later
// Ostra Console: a serial-port console window.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>

#include "console/ProgramIcon.h"
#include "console/comexample.h"

namespace {

// --help and --version answer and end the program; anything else is refused.
void ParseCommandLine(const QApplication& App) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A serial-port console: pick a port, connect, send commands and read "
                                                    "what the device sends."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(App);
    if (parser.positionalArguments().isEmpty()) return;
    std::fprintf(stderr, "%s: unexpected argument '%s'\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(parser.positionalArguments().first()));
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostra-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OSTRA_VERSION));
    ParseCommandLine(app);
    QApplication::setWindowIcon(ProgramIcon());
    try {
        Application->Initialize();
        Application->SetMainFormOnTaskBar(true);
        Application->CreateForm(Form3);
        Application->Run();
    } catch (const std::exception& e) {
        // The window could not be built: a damaged form file is all that can do it.
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromUtf8(e.what()));
        return 1;
    }
    return 0;
}
