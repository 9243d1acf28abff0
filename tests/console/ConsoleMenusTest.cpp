// SPDX-License-Identifier: GPL-3.0-or-later
// The menu bar above the window's client area.

#include <QMenu>
#include <QMenuBar>

#include "tests/console/ConsoleTestSupport.h"
#include "toolkit/ui/Clipbrd.h"

namespace {

class ConsoleMenus : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowWindow();
    }
};

TEST_F(ConsoleMenus, SitAboveAClientAreaOfTheFormFilesSize) {
    QMenuBar& bar = *Form->MenuBar();
    QStringList titles;
    for (const QAction* menu : bar.actions()) titles << menu->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Port"}));
    EXPECT_EQ(Form->GetClientWidth(), 622);
    EXPECT_EQ(Form->GetClientHeight(), 341);
    EXPECT_EQ(Form->Widget()->geometry().top(), bar.geometry().bottom() + 1);
    EXPECT_EQ(Form->Frame()->height(), 341 + bar.height());
}

TEST_F(ConsoleMenus, TakeNoKeyOfTheReceivedArea) {
    // No item fires on a Ctrl+letter typed into the received area.
    QStringList fired;
    for (const QAction* menu : Form->MenuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            QObject::connect(item, &QAction::triggered, [&fired, item] { fired << item->text(); });
    Form->Memo1->SetFocus();
    for (const QAction* menu : Form->MenuBar()->actions())
        for (const QAction* item : menu->menu()->actions())
            for (const QKeySequence& keys : item->shortcuts())
                if (keys[0].keyboardModifiers() == Qt::ControlModifier)
                    QTest::keyClick(Form->Memo1->Widget(), keys[0].key(), Qt::ControlModifier);
    EXPECT_EQ(fired, QStringList{});
    EXPECT_TRUE(Form->Frame()->isVisible());

    // Ctrl+letter typed into the received area still builds the command.
    Form->cmd->SetText({});
    SetClipboardAsText(u"AT");
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_G, Qt::ControlModifier);
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ToQString(Form->cmd->GetText()), QString("AT") + QChar(7) + QChar(17));
}

TEST_F(ConsoleMenus, CtrlQQuitsFromEverywhereButTheReceivedArea) {
    Form->cmd->SetEnabled(true);
    Form->cmd->SetFocus();
    ASSERT_TRUE(Pump([&] { return Form->cmd->Widget()->hasFocus(); }));
    QTest::keyClick(Form->cmd->Widget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(Pump([&] { return !Form->Frame()->isVisible(); }));
}

}  // namespace
