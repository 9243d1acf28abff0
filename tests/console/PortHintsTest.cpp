// SPDX-License-Identifier: GPL-3.0-or-later
// What the window tells about ports: tooltips from a sysfs fixture, the
// demo device chosen only without hardware, and the hints after a failed
// connect, each from a real file, process or program folder.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <QTextDocumentFragment>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/PortHints.h"
#include "console/comexample.h"
#include "tests/console/ShownErrors.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Pty.h"
#include "tests/support/SysfsFixture.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the lifetime of the object.
class TEnvironment {
public:
    TEnvironment(const char* Name, const std::string& Value) : FName(Name) { setenv(Name, Value.c_str(), 1); }
    ~TEnvironment() { unsetenv(FName); }

private:
    const char* FName;
};

// What a tooltip shows of Text.
QString ShownText(const QString& Text) {
    return Qt::mightBeRichText(Text) ? QTextDocumentFragment::fromHtml(Text).toPlainText() : Text;
}

// The window over a sysfs fixture, with the demo device's stand-in (a pty) as DEMO.
class PortWindow : public ::testing::Test, public TSysfsFixture {
protected:
    void TearDown() override {
        delete Form;
        SetExceptionHandler(nullptr);
    }

    void OpenWindow() {
        Application->Initialize();
        RecordShownErrors(Errors);
        Form = new TForm3(nullptr);
        Form->InitializeForm();
    }

    std::vector<std::pair<QString, QString>> Items() const {
        const QComboBox& box = Form->cb_portlist->Box();
        std::vector<std::pair<QString, QString>> items;
        for (int i = 0; i < box.count(); ++i) items.emplace_back(box.itemText(i), ShownText(box.itemData(i, Qt::ToolTipRole).toString()));
        return items;
    }

    TEnvironment Sysfs{"OSTRA_SYSFS_TTY", TtyDir.string()};
    TPty Demo;
    TPortMap Map{"DEMO=" + Demo.SlavePath()};
    TForm3* Form = nullptr;
    std::vector<std::string> Errors;
};

TEST_F(PortWindow, EveryListedPortHasATooltipAlsoAfterASearch) {
    AddUsbDevice("ttyUSB0", "FTDI", "FT232R USB UART", "A1B2C3");
    AddUsbDevice("ttyUSB1", "Evil & Co", "<img src=x> <b>Evil</b>", "1");
    AddDevice("ttyS0", 4);
    OpenWindow();
    const std::vector<std::pair<QString, QString>> expected{
        {"COM1", "/dev/ttyS0"},
        {"COM33", QString::fromUtf8("/dev/ttyUSB0 \u2014 FTDI FT232R USB UART, serial A1B2C3")},
        {"COM34", QString::fromUtf8("/dev/ttyUSB1 \u2014 Evil & Co <img src=x> <b>Evil</b>, serial 1")},
        {"DEMO", QString::fromStdString(Demo.SlavePath())},
    };
    EXPECT_EQ(Items(), expected);
    EXPECT_EQ(Form->cb_portlist->GetText(), u"COM1");
    QTest::mouseClick(Form->b_GetPorts->Widget(), Qt::LeftButton);
    EXPECT_EQ(Items(), expected);
}

TEST_F(PortWindow, TheDemoDeviceIsChosenWhenNoHardwareIsPresent) {
    AddVirtual("tty0");
    AddDevice("ttyS1", 0);  // registered, but no UART behind it
    OpenWindow();
    ASSERT_EQ(Form->cb_portlist->GetItems()->Count(), 1);
    EXPECT_EQ(Form->cb_portlist->GetText(), u"DEMO");
}

TEST_F(PortWindow, ABusyPortNamesTheProcessesThatHoldIt) {
    OpenWindow();
    const std::string port = Demo.SlavePath();
    TChildProcess holder("/usr/bin/flock", {"--exclusive", "--nonblock", port, "sleep", "60"});
    const std::string busy = std::strerror(EBUSY);
    ASSERT_TRUE(WaitUntil([&] { return PortFailureHint(busy, port, SystemHintSources()).find("sleep") != std::string::npos; }));

    Form->cb_portlist->SetText(u"DEMO");
    QTest::mouseClick(Form->b_Connect->Widget(), Qt::LeftButton);
    ASSERT_EQ(Errors.size(), 1u);
    const std::string expected = busy + "\n" + port + " is in use by flock (PID " + std::to_string(holder.Pid()) + "), sleep (PID ";
    EXPECT_NE(Errors[0].find(expected), std::string::npos) << Errors[0];
    EXPECT_FALSE(Form->Connected());
}

// ---- the hints themselves ------------------------------------------------------

class PortFailureHints : public ::testing::Test, public TSysfsFixture {
protected:
    THintSources Sources;
    const fs::path Device = ExistingFile("dev/ttyUSB0");
};

TEST_F(PortFailureHints, PermissionDeniedNamesTheGroupToJoinWhereJoiningHelps) {
    const std::string denied = std::string("Cannot connect to COM33 . ") + std::strerror(EACCES);
    // A group other than root that may read and write: dialout, when we may give it.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(Device.c_str(), 0, 20), 0);
    }
    struct stat status {};
    ASSERT_EQ(stat(Device.c_str(), &status), 0);
    const std::string group = getgrgid(status.st_gid) ? getgrgid(status.st_gid)->gr_name : "";
    ASSERT_FALSE(group.empty());

    ASSERT_EQ(chmod(Device.c_str(), 0660), 0);
    const std::string hint = PortFailureHint(denied, Device, Sources);
    EXPECT_TRUE(hint.starts_with(Device.string() + " belongs to the group " + group + ". Join it with \"sudo usermod -aG " +
                                 group + " "))
        << hint;
    EXPECT_TRUE(hint.ends_with("\", then log out and in again.")) << hint;

    ASSERT_EQ(chmod(Device.c_str(), 0600), 0);
    EXPECT_EQ(PortFailureHint(denied, Device, Sources), "");
    EXPECT_EQ(PortFailureHint(denied, (Base / "absent").string(), Sources), "");
}

TEST_F(PortFailureHints, BusyNamesEveryProcessThatHasTheDeviceOpen) {
    const std::string busy = std::string("Cannot connect to COM33 . ") + std::strerror(EBUSY);
    EXPECT_EQ(PortFailureHint(busy, Device, Sources), "");
    TChildProcess holder("/bin/sh", {"-c", "exec sleep 60 < '" + Device.string() + "'"});
    const std::string expected = Device.string() + " is in use by sleep (PID " + std::to_string(holder.Pid()) + ").";
    EXPECT_TRUE(WaitUntil([&] { return PortFailureHint(busy, Device, Sources) == expected; }))
        << PortFailureHint(busy, Device, Sources);
    // Another device is held by nobody.
    EXPECT_EQ(PortFailureHint(busy, ExistingFile("dev/ttyUSB1"), Sources), "");
}

TEST_F(PortFailureHints, TheFarEndOfAPseudoTerminalIsTheDeviceNotAHolder) {
    const std::string busy = std::strerror(EBUSY);
    const TPty pty;  // this process holds the master, as the demo device does
    const int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);  // and the slave, as it does too
    ASSERT_GE(slave, 0);
    EXPECT_EQ(PortFailureHint(busy, pty.SlavePath(), Sources), "");
    {
        TChildProcess holder("/bin/sh", {"-c", "exec sleep 60 < " + pty.SlavePath()});
        const std::string expected = pty.SlavePath() + " is in use by sleep (PID " + std::to_string(holder.Pid()) + ").";
        EXPECT_TRUE(WaitUntil([&] { return PortFailureHint(busy, pty.SlavePath(), Sources) == expected; }))
            << PortFailureHint(busy, pty.SlavePath(), Sources);
    }
    close(slave);
}

TEST_F(PortFailureHints, AVanishedPortPointsAtBrlttyOnlyWhereItIsInstalled) {
    const std::string gone = std::string("Cannot connect to COM33 . ") + std::strerror(ENOENT);
    const fs::path sbin = Base / "sbin";
    Sources.ProgramDirs = {(Base / "bin").string(), sbin.string()};
    EXPECT_EQ(PortFailureHint(gone, Device, Sources), "");
    const fs::path brltty = ExistingFile("sbin/brltty");
    EXPECT_EQ(PortFailureHint(gone, Device, Sources), "");  // present but not a program
    fs::permissions(brltty, fs::perms::owner_all);
    EXPECT_NE(PortFailureHint(gone, Device, Sources).find("brltty is installed"), std::string::npos);
    EXPECT_EQ(PortFailureHint(std::string("Cannot connect to COM33 . ") + std::strerror(EIO), Device, Sources), "");
}

}  // namespace
