// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console window on the offscreen platform, for the tests of the parts
// added to it.

#include <gtest/gtest.h>

#include <QAction>
#include <QDeadlineTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "console/FormParts.h"
#include "console/comexample.h"
#include "tests/console/ShownErrors.h"
#include "toolkit/core/Thread.h"
#include "toolkit/ui/ExceptionHandler.h"

// Runs the event loop and the receive thread's hand-offs until Condition
// holds or 10 seconds have passed.
inline bool Pump(const std::function<bool()>& Condition) {
    const QDeadlineTimer deadline(10000);
    while (!Condition()) {
        if (deadline.hasExpired()) return false;
        Application->ProcessMessages();
        CheckSynchronize(10);
    }
    return true;
}

// A shown window; the exceptions it would show are collected in Errors.
class TConsoleTest : public testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        RecordShownErrors(Errors);
    }

    void TearDown() override {
        delete Form;
        SetExceptionHandler(nullptr);
    }

    void ShowWindow() {
        Form = new TForm3(nullptr);
        Form->InitializeForm();
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form->Widget()));
    }

    // A shown window connected to COM5.
    void ShowConnectedWindow() {
        ShowWindow();
        Connect(u"COM5");
        ASSERT_TRUE(Form->Connected());
    }

    void Click(TControl& Control) { QTest::mouseClick(Control.Widget(), Qt::LeftButton); }

    void Connect(const char16_t* Port) {
        Form->cb_portlist->SetText(Port);
        Click(*Form->b_Connect);
    }

    // The menu bar's item Text in the menu Menu ("&View").
    QAction& Item(const QString& Menu, const QString& Text) const {
        for (const QAction* menu : Form->MenuBar()->actions())
            if (menu->text() == Menu)
                for (QAction* item : menu->menu()->actions())
                    if (item->text() == Text) return *item;
        throw Exception("no menu item " + Text.toStdString());
    }

    template <class T>
    T& Part(const char* Name) const {
        return FormPart<T>(*Form, Name);
    }

    TForm3* Form = nullptr;
    std::vector<std::string> Errors;
};
