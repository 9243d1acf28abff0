// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/TerminalView.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>

#include "toolkit/core/SysUtils.h"
#include "toolkit/ui/StylePainting.h"

namespace {

constexpr int kMargin = 2;
// Bytes drawn at a time, and the time a turn of the event loop spends drawing them.
constexpr std::size_t kSlice = 4096;
constexpr qint64 kTurnNanoseconds = 12'000'000;

struct TKeyOfQt {
    int Qt;
    int Key;
};

constexpr TKeyOfQt kKeys[] = {
    {Qt::Key_Return, TTerminalScreen::kyEnter},   {Qt::Key_Enter, TTerminalScreen::kyEnter},
    {Qt::Key_Tab, TTerminalScreen::kyTab},         {Qt::Key_Backtab, TTerminalScreen::kyTab},
    {Qt::Key_Escape, TTerminalScreen::kyEscape},   {Qt::Key_Up, TTerminalScreen::kyUp},
    {Qt::Key_Down, TTerminalScreen::kyDown},       {Qt::Key_Left, TTerminalScreen::kyLeft},
    {Qt::Key_Right, TTerminalScreen::kyRight},     {Qt::Key_Insert, TTerminalScreen::kyInsert},
    {Qt::Key_Delete, TTerminalScreen::kyDelete},   {Qt::Key_Home, TTerminalScreen::kyHome},
    {Qt::Key_End, TTerminalScreen::kyEnd},         {Qt::Key_PageUp, TTerminalScreen::kyPageUp},
    {Qt::Key_PageDown, TTerminalScreen::kyPageDown}, {Qt::Key_Backspace, TTerminalScreen::kyBackspace},
};

uint8_t ModifiersOf(const QKeyEvent& Event) {
    uint8_t modifiers = 0;
    if (Event.modifiers() & Qt::ShiftModifier) modifiers |= TTerminalScreen::mdShift;
    if (Event.modifiers() & Qt::AltModifier) modifiers |= TTerminalScreen::mdAlt;
    if (Event.modifiers() & Qt::ControlModifier) modifiers |= TTerminalScreen::mdControl;
    return modifiers;
}

// Where the cell at Column starts in Text: one cell a unit, but for surrogate pairs.
std::size_t UnitOfColumn(const std::u16string& Text, int Column) {
    std::size_t unit = 0;
    for (int column = 0; column < Column && unit < Text.size(); ++column) {
        const bool pair = IsHighSurrogate(Text[unit]) && unit + 1 < Text.size();
        unit += pair ? 2 : 1;
    }
    return unit;
}

bool IsCopy(const QKeyEvent& Event) {
    return Event.key() == Qt::Key_C && Event.modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
}
bool IsPaste(const QKeyEvent& Event) {
    return Event.key() == Qt::Key_V && Event.modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
}

}  // namespace

TTerminalView::TTerminalView(QWidget* Parent) : QWidget(Parent), FSizeLabel(new QLabel(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::IBeamCursor);
    FSizeLabel->setAutoFillBackground(true);
    FSizeLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    FFeed.setSingleShot(true);
    FFeed.setInterval(0);
    QObject::connect(&FFeed, &QTimer::timeout, this, [this] { FeedSlices(); });
    MeasureFont();
}

void TTerminalView::Write(std::string_view Bytes) {
    FWaiting.append(Bytes);
    if (Waiting() > kMaxWaiting) Feed(Waiting() - kMaxWaiting);
    if (Waiting() > 0 && !FFeed.isActive()) FFeed.start();
}

void TTerminalView::Drain() {
    FFeed.stop();
    Feed(Waiting());
}

void TTerminalView::FeedSlices() {
    QElapsedTimer turn;
    turn.start();
    while (Waiting() > 0 && turn.nsecsElapsed() < kTurnNanoseconds) Feed(std::min(kSlice, Waiting()));
    if (Waiting() > 0) FFeed.start();
}

// However fast the bytes come, the screen is painted at most once a frame.
void TTerminalView::Feed(std::size_t Count) {
    if (Count == 0) return;
    FScreen.Write(std::string_view(FWaiting).substr(FWaitingFrom, Count));
    FWaitingFrom += Count;
    // What was drawn is let go of once it is a good part of the buffer.
    if (FWaitingFrom == FWaiting.size()) {
        FWaiting.clear();
        FWaitingFrom = 0;
    } else if (FWaitingFrom > kMaxWaiting) {
        FWaiting.erase(0, FWaitingFrom);
        FWaitingFrom = 0;
    }
    if (FScreen.TakeChanged()) FFrame.Request();
    if (FFed) FFed();
}

// ---- scrolling back --------------------------------------------------------------

std::size_t TTerminalView::ScrolledBack() const {
    if (FBack == 0) return 0;
    const std::size_t count = HistoryCount();
    return std::min(FBack + (count - std::min(FCountAtScroll, count)), count);
}

void TTerminalView::ScrollBack(long Rows) {
    const auto back = static_cast<long>(ScrolledBack()) + Rows;
    if (Rows != 0) ClearSelection();
    FCountAtScroll = HistoryCount();
    FBack = static_cast<std::size_t>(std::clamp(back, 0L, static_cast<long>(FCountAtScroll)));
    update();
}

TTerminalScreen::TLine TTerminalView::ShownLine(int Row) const {
    const auto back = static_cast<int>(std::min<std::size_t>(ScrolledBack(), INT_MAX));
    if (Row >= back) return FScreen.Line(Row - back);
    return FHistory.Line(HistoryCount() - static_cast<std::size_t>(back - Row));
}

void TTerminalView::wheelEvent(QWheelEvent* Event) {
    // Three rows a notch, as text views scroll.
    ScrollBack(Event->angleDelta().y() * 3 / 120);
    Event->accept();
}

// ---- selecting -------------------------------------------------------------------

QRectF TTerminalView::CellRect(int Row, int Column) const {
    return {kMargin + Column * FCellWidth, static_cast<qreal>(kMargin + Row * FRowHeight), FCellWidth,
            static_cast<qreal>(FRowHeight)};
}

int TTerminalView::CellAt(const QPointF& Point) const {
    const int row = std::clamp(static_cast<int>((Point.y() - kMargin) / FRowHeight), 0, FScreen.Rows() - 1);
    // A cell's right half selects up to the cell after it.
    const int column = std::clamp(static_cast<int>(std::lround((Point.x() - kMargin) / FCellWidth)), 0, FScreen.Columns());
    return row * (FScreen.Columns() + 1) + column;
}

bool TTerminalView::Selected(int Row, int Column) const {
    const int cell = Row * (FScreen.Columns() + 1) + Column;
    return std::min(FAnchor, FEnd) <= cell && cell < std::max(FAnchor, FEnd);
}

void TTerminalView::ClearSelection() {
    if (FAnchor != FEnd) update();
    FAnchor = FEnd = 0;
}

void TTerminalView::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton) return QWidget::mousePressEvent(Event);
    ClearSelection();
    FAnchor = FEnd = CellAt(Event->position());
    setFocus();
}

void TTerminalView::mouseMoveEvent(QMouseEvent* Event) {
    if (!(Event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(Event);
    FEnd = CellAt(Event->position());
    update();
}

std::u16string TTerminalView::SelectedText() const {
    const int width = FScreen.Columns() + 1;
    const int first = std::min(FAnchor, FEnd);
    const int last = std::max(FAnchor, FEnd);
    std::u16string text;
    for (int row = first / width; row <= last / width && first != last; ++row) {
        const std::u16string line = ShownLine(row).Text;
        const std::size_t from = row == first / width ? UnitOfColumn(line, first % width) : 0;
        const std::size_t to = row == last / width ? UnitOfColumn(line, last % width) : line.size();
        std::u16string part = line.substr(from, to - from);
        part.erase(part.find_last_not_of(u' ') + 1);
        text += (row == first / width ? u"" : u"\n") + part;
    }
    return text;
}

std::u16string TTerminalView::ShownText() const {
    std::u16string text;
    for (int row = 0; row < FScreen.Rows(); ++row) {
        std::u16string line = ShownLine(row).Text;
        line.erase(line.find_last_not_of(u' ') + 1);
        text += line + u"\n";
    }
    return text;
}

QString TTerminalView::SizeText() const {
    return QStringLiteral("stty rows %1 cols %2").arg(FScreen.Rows()).arg(FScreen.Columns());
}

// ---- size and font ----------------------------------------------------------------

void TTerminalView::MeasureFont() {
    const QFontMetricsF metrics(font());
    FCellWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    FRowHeight = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    FAscent = static_cast<int>(std::round(metrics.ascent()));
    FitScreen();
}

void TTerminalView::FitScreen() {
    const int columns = std::max(1, static_cast<int>((width() - 2 * kMargin) / FCellWidth));
    const int rows = std::max(1, (height() - 2 * kMargin) / FRowHeight);
    if (rows != FScreen.Rows() || columns != FScreen.Columns()) FScreen.Resize(rows, columns);
    FSizeLabel->setText(SizeText());
    FSizeLabel->adjustSize();
    FSizeLabel->move(width() - FSizeLabel->width() - kMargin, kMargin);
    update();
}

void TTerminalView::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    FitScreen();
}

void TTerminalView::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::FontChange) MeasureFont();
}

// ---- painting --------------------------------------------------------------------

void TTerminalView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    QFont font = this->font();
    font.setKerning(false);
    painter.setFont(font);
    for (int row = 0; row < FScreen.Rows(); ++row) {
        const TTerminalScreen::TLine line = ShownLine(row);
        const int y = kMargin + row * FRowHeight;
        // One cell per unit, but for the second half of a surrogate pair.
        int column = 0;
        for (std::size_t i = 0; i < line.Text.size();) {
            std::size_t next = i + 1;
            if (IsHighSurrogate(line.Text[i]) && next < line.Text.size()) ++next;
            const QRectF cell = CellRect(row, column);
            QColor background;
            ApplyTextStyle(painter, line.Styles[i], palette(), Selected(row, column), background);
            if (background.isValid()) painter.fillRect(cell, background);
            if (line.Text[i] != u' ')
                painter.drawText(QPointF(cell.left(), y + FAscent),
                                 QString::fromUtf16(line.Text.data() + i, static_cast<qsizetype>(next - i)));
            i = next;
            ++column;
        }
    }
    if (!FScreen.CursorVisible() || !hasFocus() || ScrolledBack() > 0) return;
    const QRectF cursor = CellRect(FScreen.CursorRow(), FScreen.CursorColumn());
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(cursor, Qt::white);
}

// ---- keys --------------------------------------------------------------------------

bool TTerminalView::event(QEvent* Event) {
    // Every key is the device's, also those the window would take as shortcuts.
    if (Event->type() == QEvent::ShortcutOverride) {
        Event->accept();
        return true;
    }
    return QWidget::event(Event);
}

bool TTerminalView::focusNextPrevChild(bool) { return false; }

void TTerminalView::keyPressEvent(QKeyEvent* Event) {
    const bool shift = Event->modifiers() == Qt::ShiftModifier;
    if (IsCopy(*Event)) {
        const std::u16string text = FAnchor != FEnd ? SelectedText() : ShownText();
        QApplication::clipboard()->setText(QString::fromStdU16String(text));
    } else if (shift && (Event->key() == Qt::Key_PageUp || Event->key() == Qt::Key_PageDown)) {
        // Half a page, as xterm scrolls.
        const long half = std::max(1, FScreen.Rows() / 2);
        ScrollBack(Event->key() == Qt::Key_PageUp ? half : -half);
    } else if (IsPaste(*Event)) {
        FScreen.Paste(QApplication::clipboard()->text().toStdU16String());
        ScrollBack(-static_cast<long>(ScrolledBack()));
    } else if (SendKey(*Event)) {
        ScrollBack(-static_cast<long>(ScrolledBack()));
        ClearSelection();
    } else {
        return QWidget::keyPressEvent(Event);
    }
    Event->accept();
}

bool TTerminalView::SendKey(const QKeyEvent& Event) {
    const uint8_t modifiers = ModifiersOf(Event);
    if (Event.key() == Qt::Key_Backspace && FBackspaceSendsBS) {
        FScreen.Character(0x08, 0);
        return true;
    }
    for (const TKeyOfQt& key : kKeys) {
        if (key.Qt != Event.key()) continue;
        // Shift+Tab as xterm sends it.
        FScreen.Key(key.Key, Event.key() == Qt::Key_Backtab ? modifiers | TTerminalScreen::mdShift : modifiers);
        return true;
    }
    if (Event.key() >= Qt::Key_F1 && Event.key() <= Qt::Key_F12) {
        FScreen.Key(TTerminalScreen::kyFunction1 + (Event.key() - Qt::Key_F1), modifiers);
        return true;
    }
    // Ctrl+letter as the letter with Ctrl, which the screen turns into its C0 code; Alt as an ESC before.
    if ((modifiers & TTerminalScreen::mdControl) && Event.key() >= Qt::Key_A && Event.key() <= Qt::Key_Z) {
        FScreen.Character(static_cast<char32_t>('a' + (Event.key() - Qt::Key_A)), modifiers & ~TTerminalScreen::mdShift);
        return true;
    }
    const QString text = Event.text();
    if (text.isEmpty() || text.front().unicode() < 0x20) return false;
    for (const uint c : text.toUcs4()) FScreen.Character(c, modifiers & TTerminalScreen::mdAlt);
    return true;
}
