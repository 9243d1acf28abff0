// SPDX-License-Identifier: GPL-3.0-or-later
// Ostra Console: a serial-port console window.
// Exit status: 0 when the window closed or --help/--version answered, 1 when
// the window could not be shown, 2 for a command line it does not take.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "console/ProgramIcon.h"
#include "console/comexample.h"

namespace {

void NameTheProgram() {
    QCoreApplication::setApplicationName(QStringLiteral("ostra-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OSTRA_VERSION));
}

// --help and --version answer and end the program; anything else is refused.
// No display is needed for that, so this runs before there is a window system.
void ParseCommandLine(int& argc, char** argv) {
    const QCoreApplication core(argc, argv);
    NameTheProgram();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A serial-port console: pick a port, connect, send commands and read "
                                                    "what the device sends."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    // Qt's own options, which the window system takes later.
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet"}) {
        QCommandLineOption option(QString::fromLatin1(name), {}, QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parsed && parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parsed && parser.isSet(QStringLiteral("version"))) parser.showVersion();
    const QString refused = !parsed ? parser.errorText()
                            : parser.positionalArguments().isEmpty()
                                ? QString()
                                : QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    if (refused.isEmpty()) return;
    std::fprintf(stderr, "ostra-console: %s\n", qPrintable(refused));
    std::exit(2);
}

// Qt's messages while it connects to the window system: kept until it is
// known whether it could, for a failure ends Qt with an abort after several.
std::vector<std::pair<QtMsgType, QString>> gStartupMessages;

void HoldStartupMessage(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
    if (Type != QtFatalMsg) {
        gStartupMessages.emplace_back(Type, Message);
        return;
    }
    std::fputs("ostra-console: cannot show the window: no display could be opened "
               "(is DISPLAY or WAYLAND_DISPLAY set?)\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

std::unique_ptr<QApplication> OpenWindowSystem(int& argc, char** argv) {
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartupMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, message] : gStartupMessages) qt_message_output(type, QMessageLogContext(), message);
    gStartupMessages.clear();
    NameTheProgram();
    return app;
}

}  // namespace

int main(int argc, char** argv) {
    ParseCommandLine(argc, argv);
    const std::unique_ptr<QApplication> app = OpenWindowSystem(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    try {
        Application->Initialize();
        Application->SetMainFormOnTaskBar(true);
        Application->CreateForm(Form3);
        Application->Run();
    } catch (const std::exception& e) {
        // The window could not be built: a damaged form file is all that can do it.
        QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), QString::fromUtf8(e.what()));
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 1;
    }
    return 0;
}
