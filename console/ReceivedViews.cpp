// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ReceivedViews.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAction>
#include <QEvent>
#include <QDateTime>
#include <QInputDialog>
#include <QMenu>

#include "console/ConsoleMenus.h"
#include "console/SamePlace.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/HexView.h"
#include "toolkit/ui/TextView.h"

namespace {

constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';
constexpr char16_t kTab = u'\t';

bool IsLineEnd(char16_t Unit) { return Unit == kCR || Unit == kLF; }

UnicodeString NameOf(char16_t Unit) {
    return AnsiToUnicode(TOrvelSerialPort::ReplaceControlChars(AnsiString(1, static_cast<char>(Unit))));
}


}  // namespace

// ---- control characters by name ----------------------------------------------

UnicodeString TControlNames::Shown(const UnicodeString& Text) {
    UnicodeString shown;
    shown.reserve(Text.size());
    for (const char16_t unit : Text) {
        if (FHeldCR) {
            FHeldCR = false;
            if (unit == kLF) {
                shown += NameOf(kLF) + u"\r\n";
                continue;
            }
            shown += kCR;
        }
        if (unit >= 0x20 || unit == kTab || (IsLineEnd(unit) && !LineEnds)) {
            shown += unit;
        } else if (unit == kCR) {
            shown += NameOf(kCR);
            FHeldCR = true;
        } else {
            shown += NameOf(unit);
            if (unit == kLF) shown += kLF;
        }
    }
    return shown;
}

UnicodeString TControlNames::Flush() {
    if (!FHeldCR) return {};
    FHeldCR = false;
    return UnicodeString(1, kCR);
}

// ---- time stamps ---------------------------------------------------------------

UnicodeString TLineStamper::StampOf(TClock::time_point Time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Time.time_since_epoch()).count();
    return FromQString(QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz ")));
}

UnicodeString TLineStamper::Stamped(const UnicodeString& Text, TClock::time_point Arrival, bool LineOpen,
                                    bool Paused) {
    UnicodeString stamped;
    stamped.reserve(Text.size() + 16);
    bool open = LineOpen;
    // A device that never ends its lines still gets a stamp after each pause.
    if (Paused && open && !Text.empty() && !IsLineEnd(Text.front())) {
        stamped += kLF;
        open = false;
    }
    for (const char16_t unit : Text) {
        const bool pairsWithCR = FAfterCR && unit == kLF;
        FAfterCR = false;
        if (pairsWithCR) {
            stamped += unit;
            continue;
        }
        if (IsLineEnd(unit)) {
            open = false;
            FAfterCR = unit == kCR;
        } else if (!open) {
            stamped += StampOf(Arrival);
            open = true;
        }
        stamped += unit;
    }
    return stamped;
}

// ---- the menu and the received area -------------------------------------------

TReceivedViews::TReceivedViews(TForm3& Form) : TComponent(&Form), FForm(Form) {
    SetName("ReceivedViews");
    QMenu& view = ConsoleMenu(Form, QStringLiteral("&View"));
    QWidget* window = Form.Widget();
    FTerminalCodesItem = &AddCheckable(view, QStringLiteral("Terminal codes"));
    QObject::connect(FTerminalCodesItem, &QAction::toggled, window, [this](bool On) { SetTerminalCodes(On); });
    FBellItem = &AddCheckable(view, QStringLiteral("&Bell"));
    QObject::connect(FBellItem, &QAction::toggled, window, [this](bool On) { SetBell(On); });
    FTimestampsItem = &AddCheckable(view, QStringLiteral("&Timestamps"));
    QObject::connect(FTimestampsItem, &QAction::toggled, window, [this](bool On) { SetTimestamps(On); });
    FControlsItem = &AddCheckable(view, QStringLiteral("Show &control characters"));
    QObject::connect(FControlsItem, &QAction::toggled, window, [this](bool On) { SetShowControls(On); });
    FLineEndsItem = &AddCheckable(view, QStringLiteral("CR and &LF too"));
    QObject::connect(FLineEndsItem, &QAction::toggled, window, [this](bool On) { SetControlLineEnds(On); });
    FHexItem = &AddCheckable(view, QStringLiteral("&Hex view"));
    QObject::connect(FHexItem, &QAction::toggled, window, [this](bool On) { SetHexView(On); });
    view.addSeparator();
    FScrollbackItem = &AddCheckable(view, QStringLiteral("&Keep the last N lines…"));
    QObject::connect(FScrollbackItem, &QAction::triggered, window, [this] { AskScrollback(); });
    view.addSeparator();
    // F3 and Ctrl+Shift+F leave every key of the received area's own to it.
    QAction* find = view.addAction(QStringLiteral("&Find…"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    QObject::connect(find, &QAction::triggered, window, [this] { AskFind(); });
    QAction* next = view.addAction(QStringLiteral("Find &next"));
    next->setShortcut(QKeySequence(Qt::Key_F3));
    QObject::connect(next, &QAction::triggered, window, [this] { FindAgain(true); });
    QAction* previous = view.addAction(QStringLiteral("Find &previous"));
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    QObject::connect(previous, &QAction::triggered, window, [this] { FindAgain(false); });

    QWidget& memo = *Form.Memo1->Widget();
    FHex = new THexView(memo.parentWidget());
    FHex->setFont(memo.font());
    FHex->hide();
    // A click on the hex view gives the received area the keys, as before.
    FHex->setFocusPolicy(Qt::ClickFocus);
    FHex->setFocusProxy(&memo);
    new TSamePlace(memo, *FHex);
    if (auto* clear = qobject_cast<QAbstractButton*>(Form.b_clear->Widget()))
        QObject::connect(clear, &QAbstractButton::clicked, FHex, [this] { FHex->Clear(); });
    ShowChecks();

    TReceivedPipeline& received = Form.Received();
    received.AddBytesListener(TReceivedPipeline::kRankHexView, [this](std::string_view Bytes) { FHex->AppendBytes(Bytes); });
    received.AddTextStage(TReceivedPipeline::kRankControlNames, [this](UnicodeString& Text) { NameControls(Text); });
    received.AddTextStage(TReceivedPipeline::kRankTimestamps, [this](UnicodeString& Text) { StampLines(Text); });
    // Shells ask where the cursor is and wait for the answer.
    received.Interpreter().SetReply([&Form](const std::string& Bytes) {
        if (Form.Connected()) Form.OrvelSerialPort1->SendString(Bytes);
    });
}

void TReceivedViews::NameControls(UnicodeString& Text) {
    const auto arrival = TLineStamper::TClock::now();
    FPaused = arrival - FArrival > TLineStamper::kPause;
    FArrival = arrival;
    if (FShowControls) Text = (FPaused ? FNames.Flush() : UnicodeString()) + FNames.Shown(Text);
}

void TReceivedViews::StampLines(UnicodeString& Text) {
    if (FTimestamps) Text = FStamper.Stamped(Text, FArrival, LineOpen(), FPaused);
}

bool TReceivedViews::LineOpen() const {
    const TTextLines& lines = FForm.Memo1->View().Lines();
    return lines.LineLength(lines.LineCount() - 1) > 0;
}

void TReceivedViews::SetTerminalCodes(bool On) {
    FTerminalCodes = On;
    ChooseInterpretation();
    ShowChecks();
}

void TReceivedViews::ChooseInterpretation() {
    FForm.Received().SetTerminalCodes(FTerminalCodes && !FShowControls);
}

void TReceivedViews::SetBell(bool On) {
    FBell = On;
    FForm.Received().Interpreter().SetBell(On ? TCodeInterpreter::TBell([] { QApplication::beep(); }) : nullptr);
    ShowChecks();
}

void TReceivedViews::SetTimestamps(bool On) {
    FTimestamps = On;
    ShowChecks();
}

void TReceivedViews::SetShowControls(bool On) {
    // A CR held back to see whether an LF follows still ends its line.
    if (!On) FForm.Memo1->AppendText(FNames.Flush());
    FShowControls = On;
    ChooseInterpretation();
    ShowChecks();
}

void TReceivedViews::SetControlLineEnds(bool On) {
    FForm.Memo1->AppendText(FNames.Flush());
    FNames.LineEnds = On;
    ShowChecks();
}

void TReceivedViews::SetHexView(bool On) {
    FHex->setVisible(On);
    if (On) FHex->raise();
    ShowChecks();
}

bool TReceivedViews::HexView() const { return FHex->isVisibleTo(FHex->parentWidget()); }

void TReceivedViews::SetScrollback(uint64_t Lines) {
    FScrollback = Lines;
    FForm.Memo1->View().SetLineLimit(Lines);
    FHex->SetLineLimit(Lines);
    ShowChecks();
}

void TReceivedViews::ShowChecks() {
    const QSignalBlocker codes(FTerminalCodesItem), bell(FBellItem), timestamps(FTimestampsItem),
        controls(FControlsItem), lineEnds(FLineEndsItem), hex(FHexItem);
    FTerminalCodesItem->setChecked(FTerminalCodes);
    FBellItem->setChecked(FBell);
    FHexItem->setChecked(HexView());
    FTimestampsItem->setChecked(FTimestamps);
    FControlsItem->setChecked(FShowControls);
    FLineEndsItem->setChecked(FNames.LineEnds);
    FLineEndsItem->setEnabled(FShowControls);
    FScrollbackItem->setChecked(FScrollback > 0);
    FScrollbackItem->setText(FScrollback ? QStringLiteral("&Keep the last %1 lines…").arg(FScrollback)
                                         : QStringLiteral("&Keep the last N lines…"));
}

void TReceivedViews::AskScrollback() {
    bool ok = false;
    const int lines = QInputDialog::getInt(FForm.Frame(), QStringLiteral("Keep the last N lines"),
                                           QStringLiteral("Lines to keep (0 keeps every line):"),
                                           static_cast<int>(std::min<uint64_t>(FScrollback, INT32_MAX)), 0, INT32_MAX,
                                           1000, &ok);
    if (ok) SetScrollback(static_cast<uint64_t>(lines));
    ShowChecks();
}

void TReceivedViews::AskFind() {
    bool ok = false;
    const QString text = QInputDialog::getText(FForm.Frame(), QStringLiteral("Find"), QStringLiteral("Find:"),
                                               QLineEdit::Normal, FFindText, &ok);
    if (ok && !text.isEmpty()) Find(text, true);
}

void TReceivedViews::FindAgain(bool Forward) {
    if (FFindText.isEmpty()) return AskFind();
    Find(FFindText, Forward);
}

bool TReceivedViews::Find(const QString& Text, bool Forward) {
    FFindText = Text;
    return FForm.Memo1->View().Find(FromQString(Text), Forward);
}

void AttachReceivedViews(TForm3& Form) { new TReceivedViews(Form); }
