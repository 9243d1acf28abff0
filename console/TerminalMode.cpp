// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/TerminalMode.h"

#include <QAction>
#include <QMenu>

#include "console/ConsoleMenus.h"
#include "console/SamePlace.h"
#include "toolkit/ui/TerminalView.h"
#include "toolkit/ui/TextView.h"

namespace {

// A line of the received area with its colours, for scrolling back.
TTerminalScreen::TLine KeptLine(const TTextView& Area, std::size_t Line) {
    TTerminalScreen::TLine line{Area.Lines().LineText(Line), {}};
    line.Styles.reserve(line.Text.size());
    for (uint64_t unit = 0; unit < line.Text.size(); ++unit) line.Styles.push_back(Area.StyleAt(Line, unit));
    return line;
}

}  // namespace

TTerminalMode::TTerminalMode(TForm3& Form) : TComponent(&Form), FForm(Form) {
    SetName("TerminalMode");
    QMenu& port = ConsoleMenu(Form, QStringLiteral("&Port"));
    QWidget* window = Form.Widget();
    FItem = port.addAction(QStringLiteral("Terminal mode"));
    FItem->setCheckable(true);
    QObject::connect(FItem, &QAction::toggled, window, [this](bool On) { SetOn(On); });
    FBackspaceItem = port.addAction(QStringLiteral("Backspace sends BS"));
    FBackspaceItem->setCheckable(true);
    QObject::connect(FBackspaceItem, &QAction::toggled, window, [this](bool On) { SetBackspaceSendsBS(On); });

    QWidget& memo = *Form.Memo1->Widget();
    FView = new TTerminalView(memo.parentWidget());
    FView->setFont(memo.font());
    FView->hide();
    new TSamePlace(memo, *FView);
    FView->Screen().SetOutput([&Form](std::string_view Bytes) {
        if (Form.Connected()) Form.OrvelSerialPort1->SendString(AnsiString(Bytes));
    });
    FView->Screen().SetScrolledOff([this](const TTerminalScreen::TLine& Line) { KeepScrolledOff(Line); });
    FView->SetFed([&Form] { Form.Memo1->View().Flush(); });
    FView->SetHistory({[&Form] { return Form.Memo1->View().Lines().LineCount() - 1; },
                       [&Form](std::size_t Line) { return KeptLine(Form.Memo1->View(), Line); }});
    ShowChecks();
}

void TTerminalMode::SetOn(bool On) {
    if (On == this->On()) return ShowChecks();
    TReceivedPipeline& received = FForm.Received();
    if (On) {
        FListener = received.AddBytesListener(TReceivedPipeline::kRankTerminalScreen,
                                              [this](std::string_view Bytes) { FView->Write(Bytes); });
        FView->show();
        FView->raise();
        FView->setFocus();
    } else {
        // What came while it was on is the screen's, and so are the lines it scrolls off.
        FView->Drain();
        received.Remove(FListener);
        FListener = 0;
        FView->hide();
        FForm.Memo1->Widget()->setFocus();
    }
    received.SetTextShown(!On);
    ShowChecks();
}

void TTerminalMode::SetBackspaceSendsBS(bool On) {
    FView->SetBackspaceSendsBS(On);
    ShowChecks();
}

bool TTerminalMode::BackspaceSendsBS() const { return FView->BackspaceSendsBS(); }

// Runs of one style go to the received area as they are.
void TTerminalMode::KeepScrolledOff(const TTerminalScreen::TLine& Line) {
    TTextView& area = FForm.Memo1->View();
    for (std::size_t start = 0, end = 0; start < Line.Text.size(); start = end) {
        for (end = start + 1; end < Line.Text.size() && Line.Styles[end] == Line.Styles[start];) ++end;
        area.Append(std::u16string_view(Line.Text).substr(start, end - start), Line.Styles[start]);
    }
    area.Append(u"\n", TTextStyle{});
}

void TTerminalMode::ShowChecks() {
    const QSignalBlocker item(FItem), backspace(FBackspaceItem);
    FItem->setChecked(On());
    FBackspaceItem->setChecked(BackspaceSendsBS());
}

void AttachTerminalMode(TForm3& Form) { new TTerminalMode(Form); }
