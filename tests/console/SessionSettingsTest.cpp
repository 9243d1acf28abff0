// SPDX-License-Identifier: GPL-3.0-or-later
// What the window remembers between runs, in a scratch settings folder that
// the test main gives each test.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "console/CaptureLog.h"
#include "console/ReceivedViews.h"
#include "console/SessionSettings.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"

namespace {

class SessionSettings : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowWindow();
    }

    // Closes the window as the user does and opens it again.
    void Restart() {
        Form->Close();
        ASSERT_TRUE(Pump([&] { return !Form->Frame()->isVisible(); }));
        delete Form;
        Form = nullptr;
        ShowWindow();
    }

    static QString StoreFile() {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, "Ostra", "Ostra Console").fileName();
    }

    QString ChosenPort() const { return ToQString(Form->cb_portlist->GetText()); }
    QString FirstPort() const { return QString::fromStdString(Form->cb_portlist->GetItems()->Get(0)); }

    QAction* MenuItem(const QString& Menu, const QString& Item) const {
        for (QAction* menu : Form->MenuBar()->actions())
            if (menu->text() == Menu)
                for (QAction* action : menu->menu()->actions())
                    if (action->text() == Item) return action;
        return nullptr;
    }

    TPty First;
    TPty Second;
    TPortMap Map{"COM5=" + First.SlavePath() + ";COM9=" + Second.SlavePath()};
};

TEST_F(SessionSettings, TheNextRunStartsWithThePortRateOptionsPlaceAndHistory) {
    ASSERT_EQ(ChosenPort(), FirstPort());
    ASSERT_NE(FirstPort(), "COM9");
    Form->cb_portlist->SetText(u"COM9");
    Form->cb_Baud->SetText(u"9600");
    Form->ck_sendCR->SetChecked(false);
    Form->SetClientWidth(700);
    Form->SetClientHeight(400);
    for (const char* command : {"one", "two", "three", "two"}) Form->Addtolist(command);
    const std::vector<AnsiString> history = Form->History();

    Restart();
    EXPECT_EQ(ChosenPort(), "COM9");
    EXPECT_EQ(ToQString(Form->cb_Baud->GetText()), "9600");
    EXPECT_EQ(Form->OrvelSerialPort1->GetBaudRate(), br009600);
    EXPECT_FALSE(Form->ck_sendCR->GetChecked());
    EXPECT_EQ(Form->GetClientWidth(), 700);
    EXPECT_EQ(Form->GetClientHeight(), 400);
    EXPECT_EQ(Form->Memo1->GetHeight(), 330);  // the resize rule followed
    EXPECT_EQ(Form->History(), history);
    EXPECT_TRUE(Errors.empty());

    // Recall works as if the commands had been typed in this run.
    Form->cmd->SetEnabled(true);
    QTest::keyClick(Form->cmd->Widget(), Qt::Key_Up);
    EXPECT_EQ(ToQString(Form->cmd->GetText()), "two");
}

TEST_F(SessionSettings, TheNextRunShowsReceivedDataAsTheLastOneDid) {
    auto& views = Part<TReceivedViews>("ReceivedViews");
    views.SetShowControls(true);
    views.SetControlLineEnds(true);
    views.SetTimestamps(true);
    views.SetHexView(true);
    views.SetScrollback(5000);
    Part<TCaptureLog>("CaptureLog").SetDated(true);

    Restart();
    auto& again = Part<TReceivedViews>("ReceivedViews");
    EXPECT_TRUE(again.ShowControls());
    EXPECT_TRUE(again.ControlLineEnds());
    EXPECT_TRUE(again.Timestamps());
    EXPECT_TRUE(again.HexView());
    EXPECT_EQ(again.Scrollback(), 5000u);
    EXPECT_TRUE(Form->OrvelSerialPort1->GetLogDateTime());
    EXPECT_TRUE(MenuItem("&View", "Show &control characters")->isChecked());

    // Switched off again, they stay off.
    again.SetHexView(false);
    again.SetScrollback(0);
    Restart();
    EXPECT_FALSE(Part<TReceivedViews>("ReceivedViews").HexView());
    EXPECT_EQ(Part<TReceivedViews>("ReceivedViews").Scrollback(), 0u);
}

TEST_F(SessionSettings, KeepsTheLast256Commands) {
    for (int i = 0; i < 300; ++i) Form->Addtolist("c" + std::to_string(i));
    Restart();
    const std::vector<AnsiString> history = Form->History();
    ASSERT_EQ(history.size(), 256u);
    EXPECT_EQ(history.front(), "c44");
    EXPECT_EQ(history.back(), "c299");
}

TEST_F(SessionSettings, ARememberedPortThatIsGoneLeavesTheFirstChosen) {
    Form->cb_portlist->SetText(u"COM77");
    Restart();
    EXPECT_EQ(ChosenPort(), FirstPort());
}

TEST_F(SessionSettings, ForgetHistoryClearsTheListNowAndForTheNextRun) {
    for (const char* command : {"one", "two"}) Form->Addtolist(command);
    Restart();
    ASSERT_EQ(Form->History().size(), 2u);
    QAction* forget = MenuItem("&Port", "Forget history");
    ASSERT_NE(forget, nullptr);
    forget->trigger();
    EXPECT_TRUE(Form->History().empty());
    EXPECT_FALSE(QSettings(StoreFile(), QSettings::IniFormat).contains("History/Commands"));
    Restart();
    EXPECT_TRUE(Form->History().empty());
}

struct TBadStore {
    const char* Name;
    QByteArray Content;
};

class UnusableSettings : public SessionSettings, public testing::WithParamInterface<TBadStore> {};

TEST_P(UnusableSettings, AreIgnoredWithAWarningAndLeftAsTheyAre) {
    delete Form;
    Form = nullptr;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(StoreFile()).path()));
    QFile file(StoreFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().Content);
    file.close();

    testing::internal::CaptureStderr();
    ShowWindow();
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("ignoring the settings in " + StoreFile().toStdString()), std::string::npos) << warning;
    EXPECT_EQ(ChosenPort(), FirstPort());
    EXPECT_EQ(ToQString(Form->cb_Baud->GetText()), "115200");
    EXPECT_TRUE(Form->ck_sendCR->GetChecked());
    EXPECT_EQ(Form->GetClientHeight(), 341);
    EXPECT_TRUE(Form->History().empty());

    Form->Addtolist("new");
    Form->Close();
    ASSERT_TRUE(Pump([&] { return !Form->Frame()->isVisible(); }));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), GetParam().Content);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableSettings,
    testing::Values(TBadStore{"Binary", QByteArray("\x00\x01\xff\xfe[\x00garbage\n=\n", 16)},
                    TBadStore{"OnlyComments", "; written by hand\n"},
                    TBadStore{"Foreign", "[General]\nvolume=11\n[Session]\nPort=COM9\n"},
                    TBadStore{"NewerFormat", "[General]\nFormat=2\n[Session]\nPort=COM9\n"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
