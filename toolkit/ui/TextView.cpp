// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/TextView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "toolkit/core/SysUtils.h"
#include "toolkit/ui/QtStrings.h"
#include "toolkit/ui/StylePainting.h"

namespace {

// The console's own lines: italic, in the palette's placeholder colour.
const TTextStyle kNoteStyle = [] {
    TTextStyle style;
    style.Attributes = TTextStyle::atItalic;
    return style;
}();

// Room between the frame and the text, as text editors leave it.
constexpr int kMargin = 4;
constexpr char16_t kTab = u'\t';
// What a control character shows as: it takes its cell and stays visible.
constexpr char16_t kControlPicture = 0x25A1;

bool IsControl(char16_t Unit) { return Unit < 0x20 || (Unit >= 0x7F && Unit < 0xA0); }
// Letters every fixed-pitch font draws at one cell's advance, so a run of them can be drawn at once.
bool DrawsInRuns(char16_t Unit) { return (Unit >= 0x20 && Unit < 0x7F) || (Unit >= 0xA0 && Unit < 0x0300); }
bool IsWordUnit(char16_t Unit) { return QChar(Unit).isLetterOrNumber() || Unit == u'_'; }

}  // namespace

TTextView::TTextView(QWidget* Parent) : QAbstractScrollArea(Parent), FShowTimer([this] { ShowNow(); }) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    QObject::connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int Value) {
        // Only the user moves the view away from the end or back to it.
        if (!FMovingScrollBars) FFollow = Value >= verticalScrollBar()->maximum();
    });
    MeasureFont();
}

// ---- text --------------------------------------------------------------------

void TTextView::AppendText(std::u16string_view Text) {
    if (Text.empty()) return;
    FLines.SetStyle(0);
    FLines.Append(Text);
    ShowAppended();
}

void TTextView::AppendNote(std::u16string_view Text) {
    FLines.AppendNote(Text);
    ShowAppended();
}

void TTextView::ShowAppended() {
    KeepLineLimit();
    FShowTimer.Request();
}

void TTextView::ShowNow() {
    FShowTimer.Cancel();
    UpdateScrollBars();
    viewport()->update();
}

void TTextView::ShowPendingNow() { FShowTimer.ShowPendingNow(); }

// The pipeline's changes are shown once it is done with a block (Flush).
void TTextView::Append(std::u16string_view Text, const TTextStyle& Style) {
    FLines.SetStyle(StyleId(Style));
    FLines.Append(Text);
    KeepLineLimit();
}

void TTextView::Put(Position From, Position To, std::u16string_view Text, const TTextStyle& Style) {
    FLines.Put(From, To, Text, StyleId(Style));
    KeepLineLimit();
}

void TTextView::Flush() {
    FShowTimer.Request();
}

uint32_t TTextView::StyleId(const TTextStyle& Style) {
    if (Style.IsDefault()) return 0;
    const uint64_t key = uint64_t(uint32_t(Style.Foreground) & 0x1FFFFFF) << 33 |
                         uint64_t(uint32_t(Style.Background) & 0x1FFFFFF) << 8 | Style.Attributes;
    const auto [found, added] = FStyleIds.try_emplace(key, static_cast<uint32_t>(FStyles.size()));
    if (added) FStyles.push_back(Style);
    return found->second;
}

int TTextView::ScreenColumns() const {
    return static_cast<int>(std::max<qreal>(1, std::floor((viewport()->width() - 2 * kMargin) / FCellWidth)));
}

void TTextView::SetLineLimit(std::size_t Lines) {
    FLineLimit = Lines;
    KeepLineLimit();
    UpdateScrollBars();
    viewport()->update();
}

void TTextView::SetScrollback(uint64_t Units, std::u16string Folder) {
    FLines.SetScrollback(Units, std::move(Folder));
    KeepLineLimit();
}

// Each trouble with the file is told once, as a note of the console's own.
std::size_t TTextView::LinesToDrop() {
    if (!FLines.ScrollbackError().empty() && !FToldScrollbackFailed) {
        FToldScrollbackFailed = true;
        FLines.AppendNote(u"\u2014 The scrollback file cannot be written (" + FLines.ScrollbackError() +
                          u"); the oldest text will go when memory is full \u2014");
    }
    std::size_t lines = FLines.LinesOverBudget();
    if (lines > 0 && !FToldDropping) {
        FToldDropping = true;
        FLines.AppendNote(u"\u2014 The memory set aside for text is full: the oldest text is being dropped \u2014");
    }
    if (FLineLimit != 0 && FLines.LineCount() > FLineLimit) lines = std::max(lines, FLines.LineCount() - FLineLimit);
    return lines;
}

void TTextView::KeepLineLimit() {
    const std::size_t dropped = LinesToDrop();
    if (dropped == 0) return;
    const Position units = FLines.LineStart(dropped);
    const uint64_t rows = FLines.FirstRowOf(dropped);
    const uint64_t top = TopRow();
    FLines.DropFrontLines(dropped);
    FLinesGone += dropped;
    FAnchor = FAnchor > units ? FAnchor - units : 0;
    FCaret = FCaret > units ? FCaret - units : 0;
    if (FFollow) return;
    // What the user reads stays put; the rows above it are gone.
    UpdateScrollBars();
    FMovingScrollBars = true;
    SetTopRow(top > rows ? top - rows : 0);
    FMovingScrollBars = false;
}

bool TTextView::Find(std::u16string_view Needle, bool Forward) {
    const Position from = Forward ? std::max(FAnchor, FCaret) : std::min(FAnchor, FCaret);
    auto found = FLines.Find(Needle, from, Forward);
    if (!found) found = FLines.Find(Needle, Forward ? 0 : Length(), Forward);
    if (!found) return false;
    FAnchor = *found;
    MoveCaret(*found + Needle.size(), true);
    return true;
}

void TTextView::SetText(std::u16string_view Text) {
    Clear();
    AppendText(Text);
}

void TTextView::Clear() {
    FLinesGone += FLines.LineCount() - 1;
    FLines.Clear();
    FToldScrollbackFailed = FToldDropping = false;
    FAnchor = FCaret = 0;
    FFollow = true;
    UpdateScrollBars();
    viewport()->update();
}

void TTextView::SetSelection(Position Anchor, Position Caret) {
    FAnchor = std::min(Anchor, Length());
    FCaret = std::min(Caret, Length());
    // The caret that follows received text moves with every block: its paint
    // waits for the frame the text is shown in.
    if (!FShowTimer.Pending()) viewport()->update();
}

std::u16string TTextView::SelectedText() const {
    return FLines.Text(std::min(FAnchor, FCaret), std::max(FAnchor, FCaret));
}

void TTextView::SelectAll() { SetSelection(0, Length()); }

void TTextView::Copy() const {
    if (HasSelection()) QApplication::clipboard()->setText(ToQString(SelectedText()));
}

void TTextView::InsertText(std::u16string_view Text) {
    const Position from = std::min(FAnchor, FCaret);
    const Position to = std::max(FAnchor, FCaret);
    const Position before = Length();
    FLines.Replace(from, to, Text);
    FAnchor = FCaret = from + (Length() + (to - from) - before);
    UpdateScrollBars();
    EnsureCaretVisible();
    viewport()->update();
}

void TTextView::DeleteSelectionOr(Position From, Position To) {
    if (!HasSelection()) SetSelection(From, To);
    InsertText({});
}

// ---- layout ------------------------------------------------------------------

void TTextView::MeasureFont() {
    const QFontMetricsF metrics(font());
    FCellWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    FRowHeight = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    FAscent = static_cast<int>(std::round(metrics.ascent()));
    SetTabStops(FTabStopPixels);
    UpdateColumns();
}

void TTextView::SetTabStops(const QList<int>& Pixels) {
    FTabStopPixels = Pixels;
    std::vector<uint64_t> cells;
    // A tab reaches the first cell at or right of its stop.
    for (const int pixels : Pixels) cells.push_back(static_cast<uint64_t>(std::ceil(pixels / FCellWidth - 1e-6)));
    FLines.SetTabStops(std::move(cells));
    UpdateScrollBars();
    viewport()->update();
}

void TTextView::SetWrapping(bool Wrap) {
    FWrapping = Wrap;
    UpdateColumns();
}

void TTextView::UpdateColumns() {
    const auto width = static_cast<qreal>(viewport()->width() - 2 * kMargin);
    const uint64_t columns = FWrapping ? static_cast<uint64_t>(std::max<qreal>(1, std::floor(width / FCellWidth))) : 0;
    if (columns == FLines.Columns()) return;
    // The line at the top stays at the top.
    const uint64_t top = TopRow();
    const std::size_t line = FLines.LineOfRow(top);
    const uint64_t cell = (top - FLines.FirstRowOf(line)) * FLines.Columns();
    FLines.SetColumns(columns);
    UpdateScrollBars();
    if (!FFollow) {
        FMovingScrollBars = true;
        SetTopRow(FLines.FirstRowOf(line) + (columns ? cell / columns : 0));
        FMovingScrollBars = false;
    }
    viewport()->update();
}

int TTextView::VisibleRows() const { return std::max(1, (viewport()->height() - kMargin) / FRowHeight); }

uint64_t TTextView::TopRow() const { return static_cast<uint64_t>(std::max(0, verticalScrollBar()->value())); }

void TTextView::UpdateScrollBars() {
    FMovingScrollBars = true;
    const int rows = VisibleRows();
    const uint64_t lastTop = FLines.RowCount() > static_cast<uint64_t>(rows) ? FLines.RowCount() - rows : 0;
    QScrollBar& vertical = *verticalScrollBar();
    vertical.setRange(0, static_cast<int>(std::min<uint64_t>(lastTop, INT32_MAX)));
    vertical.setPageStep(rows);
    if (FFollow) vertical.setValue(vertical.maximum());
    QScrollBar& horizontal = *horizontalScrollBar();
    const auto columns = static_cast<uint64_t>(std::max<qreal>(1, (viewport()->width() - 2 * kMargin) / FCellWidth));
    const uint64_t widest = FWrapping ? 0 : FLines.WidestLine() + 1;
    horizontal.setRange(0, static_cast<int>(std::min<uint64_t>(widest > columns ? widest - columns : 0, INT32_MAX)));
    horizontal.setPageStep(static_cast<int>(columns));
    FMovingScrollBars = false;
}

void TTextView::SetTopRow(uint64_t Row) {
    verticalScrollBar()->setValue(static_cast<int>(std::min<uint64_t>(Row, INT32_MAX)));
}

void TTextView::ScrollToEnd() {
    FFollow = true;
    UpdateScrollBars();
    viewport()->update();
}

void TTextView::ScrollRows(int64_t Rows) {
    ShowPendingNow();
    QScrollBar& vertical = *verticalScrollBar();
    vertical.setValue(static_cast<int>(std::clamp<int64_t>(vertical.value() + Rows, 0, vertical.maximum())));
}

void TTextView::ScrollCells(int64_t Cells) {
    ShowPendingNow();
    QScrollBar& horizontal = *horizontalScrollBar();
    horizontal.setValue(static_cast<int>(std::clamp<int64_t>(horizontal.value() + Cells, 0, horizontal.maximum())));
}

void TTextView::EnsureCaretVisible() {
    ShowPendingNow();
    const TPlace caret = PlaceOf(FCaret);
    const uint64_t top = TopRow();
    const auto rows = static_cast<uint64_t>(VisibleRows());
    if (caret.Row < top) SetTopRow(caret.Row);
    else if (caret.Row >= top + rows) SetTopRow(caret.Row - rows + 1);
    if (FWrapping) return;
    QScrollBar& horizontal = *horizontalScrollBar();
    const auto columns = static_cast<uint64_t>(horizontal.pageStep());
    const auto left = static_cast<uint64_t>(horizontal.value());
    if (caret.Column < left) horizontal.setValue(static_cast<int>(caret.Column));
    else if (caret.Column >= left + columns) horizontal.setValue(static_cast<int>(caret.Column - columns + 1));
}

// ---- places and positions ----------------------------------------------------

TTextView::TPlace TTextView::PlaceOf(Position Where) const {
    const std::size_t line = FLines.LineAt(Where);
    const uint64_t cell = FLines.CellOf(line, Where - FLines.LineStart(line));
    const uint64_t columns = FLines.Columns();
    const uint64_t inLine = columns ? std::min(cell / columns, FLines.RowsOf(line) - 1) : 0;
    return {FLines.FirstRowOf(line) + inLine, cell - inLine * columns};
}

TTextView::Position TTextView::PositionAtPlace(uint64_t Row, uint64_t Column) const {
    if (Row >= FLines.RowCount()) return Length();
    const std::size_t line = FLines.LineOfRow(Row);
    const uint64_t inLine = Row - FLines.FirstRowOf(line);
    const uint64_t columns = FLines.Columns();
    uint64_t cell = inLine * columns + Column;
    // Past the end of a wrapped row the caret stays on that row.
    if (columns && inLine + 1 < FLines.RowsOf(line)) cell = std::min(cell, (inLine + 1) * columns - 1);
    return FLines.LineStart(line) + FLines.UnitAt(line, cell);
}

TTextView::Position TTextView::PositionAt(const QPoint& Point) const {
    const auto row = static_cast<int64_t>(TopRow()) + static_cast<int64_t>(std::floor(double(Point.y() - kMargin) / FRowHeight));
    if (row < 0) return 0;
    const double cells = std::round((Point.x() - kMargin) / FCellWidth);
    const auto column = static_cast<uint64_t>(std::max(0.0, cells) + horizontalScrollBar()->value());
    return PositionAtPlace(static_cast<uint64_t>(row), column);
}

TTextView::Position TTextView::StepBack(Position Where) const {
    if (Where == 0) return 0;
    const std::size_t line = FLines.LineAt(Where);
    const uint64_t unit = Where - FLines.LineStart(line);
    if (unit == 0) return Where - 1;
    const bool pair = unit >= 2 && IsLowSurrogate(FLines.At(line, unit - 1)) && IsHighSurrogate(FLines.At(line, unit - 2));
    return Where - (pair ? 2 : 1);
}

TTextView::Position TTextView::StepForward(Position Where) const {
    if (Where >= Length()) return Length();
    const std::size_t line = FLines.LineAt(Where);
    const uint64_t unit = Where - FLines.LineStart(line);
    if (unit == FLines.LineLength(line)) return Where + 1;
    const bool pair = unit + 1 < FLines.LineLength(line) && IsHighSurrogate(FLines.At(line, unit)) &&
                      IsLowSurrogate(FLines.At(line, unit + 1));
    return Where + (pair ? 2 : 1);
}

void TTextView::SelectWordAt(Position Where) {
    const std::size_t line = FLines.LineAt(Where);
    const Position start = FLines.LineStart(line);
    uint64_t first = Where - start;
    uint64_t last = first;
    while (first > 0 && IsWordUnit(FLines.At(line, first - 1))) --first;
    while (last < FLines.LineLength(line) && IsWordUnit(FLines.At(line, last))) ++last;
    SetSelection(start + first, start + last);
}

// ---- painting ----------------------------------------------------------------

void TTextView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    QFont font = this->font();
    font.setKerning(false);
    painter.setFont(font);
    const int rows = viewport()->height() / FRowHeight + 1;
    int y = kMargin;
    for (const TTextLines::TRow& row : FLines.Rows(TopRow(), static_cast<uint64_t>(rows))) {
        PaintRow(painter, row, y);
        y += FRowHeight;
    }
    if (!hasFocus()) return;
    const TPlace caret = PlaceOf(FCaret);
    if (caret.Row < TopRow() || caret.Row > TopRow() + static_cast<uint64_t>(rows)) return;
    const double caretX = kMargin + (static_cast<double>(caret.Column) - horizontalScrollBar()->value()) * FCellWidth;
    const double caretY = kMargin + static_cast<double>(caret.Row - TopRow()) * FRowHeight;
    painter.fillRect(QRectF(caretX, caretY, 1, FRowHeight), palette().text());
}

void TTextView::PaintRow(QPainter& Painter, const TTextLines::TRow& Row, int Y) const {
    const Position from = std::min(FAnchor, FCaret);
    const Position to = std::max(FAnchor, FCaret);
    const Position rowStart = FLines.LineStart(Row.Line) + Row.FirstUnit;
    const double left = kMargin - horizontalScrollBar()->value() * FCellWidth;
    const auto x = [&](uint64_t Cell) { return left + static_cast<double>(Cell - Row.FirstCell) * FCellWidth; };
    const auto selected = [&](std::size_t Index) { return from <= rowStart + Index && rowStart + Index < to; };
    // The console's own lines stand apart from received text.
    const bool note = FLines.IsNote(Row.Line);
    const auto styleOf = [&](std::size_t Index) { return Row.Styles.empty() ? 0 : Row.Styles[Index]; };
    const auto draw = [&](std::size_t First, uint64_t EndCell, const QString& Text) {
        const double start = x(Row.Cells[First]);
        QColor background;
        ApplyTextStyle(Painter, note ? kNoteStyle : FStyles[styleOf(First)], palette(), selected(First), background);
        if (note && !selected(First)) Painter.setPen(palette().color(QPalette::PlaceholderText));
        if (background.isValid()) Painter.fillRect(QRectF(start, Y, x(EndCell) - start, FRowHeight), background);
        if (!Text.isEmpty()) Painter.drawText(QPointF(start, Y + FAscent), Text);
    };
    const auto sameRun = [&](std::size_t A, std::size_t B) { return selected(A) == selected(B) && styleOf(A) == styleOf(B); };
    const std::size_t count = Row.Units.size();
    const auto cellAfter = [&](std::size_t Index) { return Index < count ? Row.Cells[Index] : Row.EndCell; };
    std::size_t i = 0;
    while (i < count) {
        const char16_t unit = Row.Units[i];
        std::size_t next = i + 1;
        QString text;
        if (DrawsInRuns(unit)) {
            while (next < count && DrawsInRuns(Row.Units[next]) && sameRun(next, i)) ++next;
            text = ToQString(std::u16string_view(Row.Units).substr(i, next - i));
        } else if (IsHighSurrogate(unit) && next < count && IsLowSurrogate(Row.Units[next])) {
            text = ToQString(std::u16string_view(Row.Units).substr(i, 2));
            ++next;
        } else if (unit != kTab) {
            text = QChar(IsControl(unit) ? kControlPicture : unit);
        }
        draw(i, cellAfter(next), text);
        i = next;
    }
    // A selected line end shows as one marked cell after the line's last row.
    const Position lineEnd = FLines.LineStart(Row.Line) + FLines.LineLength(Row.Line);
    if (Row.FirstUnit + count == FLines.LineLength(Row.Line) && from <= lineEnd && lineEnd < to &&
        Row.Line + 1 < FLines.LineCount()) {
        const uint64_t end = FLines.LineCells(Row.Line);
        Painter.fillRect(QRectF(x(end), Y, FCellWidth, FRowHeight), palette().highlight());
    }
}

// ---- events ------------------------------------------------------------------

bool TTextView::event(QEvent* Event) {
    if (Event->type() == QEvent::ShortcutOverride) {
        // The keys the text area types or edits with are its own, not shortcuts of the window.
        auto& key = static_cast<QKeyEvent&>(*Event);
        const Qt::KeyboardModifiers modifiers = key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        const bool ctrlLetter = modifiers == Qt::ControlModifier && key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z;
        const bool typed = modifiers == Qt::NoModifier && !key.text().isEmpty();
        if (ctrlLetter || typed) {
            Event->accept();
            return true;
        }
    }
    if (Event->type() == QEvent::KeyPress && !FTabChangesFocus) {
        auto& key = static_cast<QKeyEvent&>(*Event);
        if ((key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
            !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(&key);
            return true;
        }
    }
    return QAbstractScrollArea::event(Event);
}

void TTextView::resizeEvent(QResizeEvent* Event) {
    QAbstractScrollArea::resizeEvent(Event);
    UpdateColumns();
    UpdateScrollBars();
}

void TTextView::changeEvent(QEvent* Event) {
    QAbstractScrollArea::changeEvent(Event);
    if (Event->type() == QEvent::FontChange) MeasureFont();
}

void TTextView::scrollContentsBy(int, int) { viewport()->update(); }

void TTextView::focusInEvent(QFocusEvent* Event) {
    QAbstractScrollArea::focusInEvent(Event);
    viewport()->update();
}

void TTextView::focusOutEvent(QFocusEvent* Event) {
    QAbstractScrollArea::focusOutEvent(Event);
    viewport()->update();
}

void TTextView::MoveCaret(Position Where, bool KeepAnchor) {
    FCaret = Where;
    if (!KeepAnchor) FAnchor = Where;
    EnsureCaretVisible();
    viewport()->update();
}

bool TTextView::MoveByKey(const QKeyEvent& Event) {
    const bool shift = Event.modifiers() & Qt::ShiftModifier;
    const bool ctrl = Event.modifiers() & Qt::ControlModifier;
    const TPlace caret = PlaceOf(FCaret);
    const auto rows = static_cast<uint64_t>(VisibleRows());
    const uint64_t lastRow = FLines.RowCount() - 1;
    // Left or Right without Shift first drops a selection at its edge.
    const bool collapse = HasSelection() && !shift;
    switch (Event.key()) {
        case Qt::Key_Left:
            MoveCaret(collapse ? std::min(FAnchor, FCaret) : StepBack(FCaret), shift);
            return true;
        case Qt::Key_Right:
            MoveCaret(collapse ? std::max(FAnchor, FCaret) : StepForward(FCaret), shift);
            return true;
        case Qt::Key_Up:
            MoveCaret(caret.Row == 0 ? 0 : PositionAtPlace(caret.Row - 1, caret.Column), shift);
            return true;
        case Qt::Key_Down:
            MoveCaret(caret.Row >= lastRow ? Length() : PositionAtPlace(caret.Row + 1, caret.Column), shift);
            return true;
        case Qt::Key_PageUp:
            ScrollRows(-static_cast<int64_t>(rows));
            MoveCaret(PositionAtPlace(caret.Row > rows ? caret.Row - rows : 0, caret.Column), shift);
            return true;
        case Qt::Key_PageDown:
            ScrollRows(static_cast<int64_t>(rows));
            MoveCaret(caret.Row + rows > lastRow ? Length() : PositionAtPlace(caret.Row + rows, caret.Column), shift);
            return true;
        case Qt::Key_Home:
            MoveCaret(ctrl ? 0 : PositionAtPlace(caret.Row, 0), shift);
            return true;
        case Qt::Key_End:
            MoveCaret(ctrl ? Length() : PositionAtPlace(caret.Row, UINT32_MAX), shift);
            if (ctrl) ScrollToEnd();
            return true;
        default:
            return false;
    }
}

bool TTextView::EditByKey(const QKeyEvent& Event) {
    if (Event.matches(QKeySequence::Copy)) Copy();
    else if (Event.matches(QKeySequence::Cut)) {
        Copy();
        if (HasSelection()) InsertText({});
    } else if (Event.matches(QKeySequence::Paste)) InsertText(FromQString(QApplication::clipboard()->text()));
    else if (Event.matches(QKeySequence::SelectAll)) SelectAll();
    else if (Event.matches(QKeySequence::Undo) || Event.matches(QKeySequence::Redo)) {
        // Nothing to undo: text that arrived is never taken back.
    } else if (Event.key() == Qt::Key_Backspace) DeleteSelectionOr(StepBack(FCaret), FCaret);
    else if (Event.key() == Qt::Key_Delete) DeleteSelectionOr(FCaret, StepForward(FCaret));
    else if (Event.key() == Qt::Key_Return || Event.key() == Qt::Key_Enter) InsertText(u"\n");
    else if (Event.key() == Qt::Key_Tab && !FTabChangesFocus) InsertText(u"\t");
    else {
        std::u16string typed;
        for (const QChar c : Event.text())
            if (!IsControl(c.unicode())) typed += c.unicode();
        if (typed.empty()) return false;
        InsertText(typed);
    }
    return true;
}

void TTextView::keyPressEvent(QKeyEvent* Event) {
    if (MoveByKey(*Event) || EditByKey(*Event)) Event->accept();
    else QAbstractScrollArea::keyPressEvent(Event);
}

void TTextView::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton) return;
    FSelecting = true;
    MoveCaret(PositionAt(Event->position().toPoint()), Event->modifiers() & Qt::ShiftModifier);
}

void TTextView::mouseMoveEvent(QMouseEvent* Event) {
    if (!FSelecting || !(Event->buttons() & Qt::LeftButton)) return;
    const QPoint point = Event->position().toPoint();
    // Dragging past the top or bottom edge scrolls on.
    if (point.y() < 0) ScrollRows(-1);
    else if (point.y() >= viewport()->height()) ScrollRows(1);
    MoveCaret(PositionAt(point), true);
}

void TTextView::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton) return;
    FSelecting = false;
    QClipboard& clipboard = *QApplication::clipboard();
    if (HasSelection() && clipboard.supportsSelection()) clipboard.setText(ToQString(SelectedText()), QClipboard::Selection);
}

void TTextView::mouseDoubleClickEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) SelectWordAt(PositionAt(Event->position().toPoint()));
}

void TTextView::contextMenuEvent(QContextMenuEvent* Event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, [this] { Copy(); });
    copy->setEnabled(HasSelection());
    menu.addAction(QStringLiteral("Select &All"), this, [this] { SelectAll(); });
    menu.exec(Event->globalPos());
}
