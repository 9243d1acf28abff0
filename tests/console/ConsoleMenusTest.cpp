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
    EXPECT_EQ(titles, (QStringList{"&File", "&Port"}));
    EXPECT_EQ(Form->GetClientWidth(), 622);
    EXPECT_EQ(Form->GetClientHeight(), 341);
    EXPECT_EQ(Form->Widget()->geometry().top(), bar.geometry().bottom() + 1);
    EXPECT_EQ(Form->Frame()->height(), 341 + bar.height());
}

TEST_F(ConsoleMenus, TakeNoKeyOfTheReceivedArea) {
    for (const QAction* menu : Form->MenuBar()->actions())
        for (const QAction* item : menu->menu()->actions()) {
            SCOPED_TRACE(item->text().toStdString());
            for (const QKeySequence& keys : item->shortcuts())
                EXPECT_FALSE(keys[0].keyboardModifiers() == Qt::ControlModifier) << keys.toString().toStdString();
        }
    // Ctrl+letter typed into the received area still builds the command.
    Form->Memo1->SetFocus();
    SetClipboardAsText(u"AT");
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(ToQString(Form->cmd->GetText()), QString("AT") + QChar(7));
}

}  // namespace
