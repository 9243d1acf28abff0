// SPDX-License-Identifier: GPL-3.0-or-later
// The three programs as a user starts them: --help and --version, anything
// else refused, ostra-ports' columns over a sysfs fixture, and the program's
// icon on the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "console/ProgramIcon.h"
#include "console/comexample.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Pty.h"
#include "tests/support/SysfsFixture.h"

namespace {

const std::string kSource = OSTRA_SOURCE_DIR;

struct TInvocation {
    const char* Program;
    const char* Arguments;
    int Status;
    const char* Output;  // how the output starts
};

TEST(Programs, AnswerHelpAndVersionAndRefuseAnythingElse) {
    const TInvocation cases[] = {
        {OSTRA_CONSOLE, "--version", 0, "ostra-console " OSTRA_VERSION "\n"},
        {OSTRA_CONSOLE, "--help", 0, "Usage: "},
        {OSTRA_CONSOLE, "COM5", 2, "ostra-console: unexpected argument 'COM5'"},
        {OSTRA_CONSOLE, "--bogus", 2, "ostra-console: Unknown option 'bogus'."},
        {OSTRA_PORTS_PROGRAM, "--version", 0, "ostra-ports " OSTRA_VERSION "\n"},
        {OSTRA_PORTS_PROGRAM, "--help", 0, "Usage: ostra-ports\n"},
        {OSTRA_PORTS_PROGRAM, "--version --help", 2, "ostra-ports: unexpected argument '--help'"},
        {OSTRA_DEMO_DEVICE, "--version", 0, "ostra-demo-device " OSTRA_VERSION "\n"},
        {OSTRA_DEMO_DEVICE, "--help", 0, "Usage: ostra-demo-device [--link PATH]\n"},
        {OSTRA_DEMO_DEVICE, "--link", 2, "ostra-demo-device: unexpected argument '--link'"},
        {OSTRA_DEMO_DEVICE, "COM5", 2, "ostra-demo-device: unexpected argument 'COM5'"},
    };
    for (const TInvocation& c : cases) {
        const std::string program = std::filesystem::path(c.Program).filename();
        // As over SSH or in a script: no display, and no platform chosen for Qt.
        const TCommandResult run =
            RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(c.Program) + " " + c.Arguments);
        EXPECT_EQ(run.Status, c.Status) << program << " " << c.Arguments << ": " << run.Output;
        EXPECT_NE(run.Output.find(c.Output), std::string::npos) << program << " " << c.Arguments << ": " << run.Output;
    }
}

// One line that says why, never Qt's abort.
TEST(Programs, TheConsoleWithoutADisplaySaysSoAndEndsWithStatusOne) {
    for (const char* display : {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "env -u QT_QPA_PLATFORM DISPLAY=:4242"}) {
        const TCommandResult run = RunCommand(std::string(display) + " " OSTRA_CONSOLE " -platform xcb");
        EXPECT_EQ(run.Status, 1) << display << ": " << run.Output;
        EXPECT_EQ(run.Output,
                  "ostra-console: cannot show the window: no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?)\n")
            << display;
    }
}

TEST(Programs, PortsListsNameDeviceModelAndSerialInColumns) {
    TSysfsFixture sysfs;
    sysfs.AddUsbDevice("ttyUSB0", "FTDI", "FT232R USB UART", "A1B2C3");
    sysfs.AddUsbDevice("ttyACM1", "", "Uno R3", "");
    sysfs.AddUsbDevice("ttyUSB2", "\x1b]0;owned\x07", "Evil\x1b[2J\xc2\x9b", "\x7f");
    sysfs.AddDevice("ttyS0", 4);
    const TPty demo;
    const std::string run = "OSTRA_SYSFS_TTY='" + sysfs.TtyDir.string() + "' OSTRA_PORTS='DEMO=" + demo.SlavePath() + "' ";
    EXPECT_EQ(RunCommand(run + OSTRA_PORTS_PROGRAM).Output,
              "PORT   DEVICE        MODEL                 SERIAL\n"
              "COM1   /dev/ttyS0\n"
              "COM33  /dev/ttyUSB0  FTDI FT232R USB UART  A1B2C3\n"
              "COM35  /dev/ttyUSB2  ?]0;owned? Evil?[2J?  ?\n"
              "COM66  /dev/ttyACM1  Uno R3\n"
              "DEMO   " + demo.SlavePath() + "\n");
    EXPECT_EQ(RunCommand("OSTRA_SYSFS_TTY=/nonexistent OSTRA_PORTS= " OSTRA_PORTS_PROGRAM).Output, "No serial ports found.\n");
}

std::string FileBytes(const std::filesystem::path& Path) {
    std::ifstream file(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(ProgramIcon, TheWindowShowsTheArtworkOfTheIconThemeAndTheWindowsIconAtEverySize) {
    QApplication::setWindowIcon(ProgramIcon());
    Application->Initialize();
    auto* form = new TForm3(nullptr);
    form->InitializeForm();
    const QIcon icon = form->Widget()->windowIcon();
    delete form;

    const std::string windowsIcon = FileBytes(kSource + "/resources/ostra-console.ico");
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const std::string png = kSource + "/resources/icons/ostra-console-" + std::to_string(size) + ".png";
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const auto premultiplied = [](const QImage& Image) { return Image.convertToFormat(QImage::Format_ARGB32_Premultiplied); };
        const QImage expected = premultiplied(QImage(QString::fromStdString(png)));
        ASSERT_EQ(expected.size(), QSize(size, size));
        EXPECT_TRUE(premultiplied(icon.pixmap(size).toImage()) == expected);
        if (size == 256) {
            EXPECT_NE(windowsIcon.find(FileBytes(png)), std::string::npos);
        }
    }
}

}  // namespace
