// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fixed-pitch text area for a session that never ends: it keeps its text
// in TTextLines and lays out and paints only the rows in view, so appending,
// scrolling and painting cost what the new text or the visible rows cost.
// It follows the end as text is added, unless the user has scrolled back to
// read; scrolling to the end again (or Ctrl+End) resumes following. The user
// can select, copy, and edit at the caret; there is no undo, so nothing
// added from outside is ever taken back by Ctrl+Z.

#include <QAbstractScrollArea>
#include <QList>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "terminal/TextSink.h"
#include "toolkit/ui/FrameTimer.h"
#include "toolkit/ui/TextLines.h"

class TTextView : public QAbstractScrollArea, public TTextSink {
public:
    using Position = TTextLines::Position;

    explicit TTextView(QWidget* Parent = nullptr);

    const TTextLines& Lines() const { return FLines; }
    const TTextStyle& StyleAt(std::size_t Line, uint64_t Unit) const { return FStyles[FLines.StyleAt(Line, Unit)]; }
    std::u16string Text() const { return FLines.Text(); }
    Position Length() const { return FLines.Length(); }

    // The store the received-data pipeline writes to.
    std::size_t LineCount() const override { return FLines.LineCount(); }
    Position LineStart(std::size_t Line) const override { return FLines.LineStart(Line); }
    uint64_t LineLength(std::size_t Line) const override { return FLines.LineLength(Line); }
    std::u16string LineText(std::size_t Line) const override { return FLines.LineText(Line); }
    uint64_t LinesEnded() const override { return FLinesGone + FLines.LineCount() - 1; }
    void Append(std::u16string_view Text, const TTextStyle& Style) override;
    void Put(Position From, Position To, std::u16string_view Text, const TTextStyle& Style) override;
    void Flush() override;
    int ScreenRows() const override { return VisibleRows(); }
    int ScreenColumns() const override;
    // Adds Text at the end, leaving the caret and the selection where they are.
    void AppendText(std::u16string_view Text);
    // Adds Text as a line of the console's own, shown in grey italics apart
    // from what was received (see TTextLines::AppendNote).
    void AppendNote(std::u16string_view Text) override;
    void SetText(std::u16string_view Text);
    // Empties the text and follows the end again.
    void Clear();
    // Keeps at most Lines lines (0: all of them), dropping the oldest as text
    // arrives; the rows in view stay where they are unless they are dropped.
    void SetLineLimit(std::size_t Lines);
    std::size_t LineLimit() const { return FLineLimit; }
    // Text beyond about Units units in memory goes to a scrollback file in
    // Folder (empty: the user's cache folder); see TTextLines::SetScrollback.
    // When the file cannot take it, the view says so and the oldest text goes.
    void SetScrollback(uint64_t Units, std::u16string Folder = {});
    // Selects the next place where Needle stands after the selection (or the
    // previous one before it), wrapping round, and scrolls it into view.
    // False when the text holds no Needle.
    bool Find(std::u16string_view Needle, bool Forward);

    Position CaretPosition() const { return FCaret; }
    Position AnchorPosition() const { return FAnchor; }
    void SetSelection(Position Anchor, Position Caret);
    bool HasSelection() const { return FAnchor != FCaret; }
    std::u16string SelectedText() const;
    void SelectAll();
    void Copy() const;
    // Puts Text at the caret in place of the selection.
    void InsertText(std::u16string_view Text);

    void SetWrapping(bool Wrap);
    bool Wrapping() const { return FWrapping; }
    // Stops in pixels from the left edge of the text; they fall on whole cells.
    void SetTabStops(const QList<int>& Pixels);
    const QList<int>& TabStops() const { return FTabStopPixels; }
    void SetTabChangesFocus(bool Value) { FTabChangesFocus = Value; }
    bool TabChangesFocus() const { return FTabChangesFocus; }

    bool FollowsEnd() const { return FFollow; }
    // Text added from outside is shown once a frame, however often it comes:
    // true while some waits for the next frame (scroll bars and paint).
    bool ShowPending() const { return FShowTimer.Pending(); }
    // Shows the end and follows it from now on.
    void ScrollToEnd();
    void ScrollRows(int64_t Rows);
    void ScrollCells(int64_t Cells);
    void EnsureCaretVisible();
    uint64_t TopRow() const;
    // Rows that fit whole in the view.
    int VisibleRows() const;
    qreal CellWidth() const { return FCellWidth; }
    int RowHeight() const { return FRowHeight; }

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;

private:
    struct TPlace {
        uint64_t Row;
        uint64_t Column;
    };

    void MeasureFont();
    void UpdateColumns();
    void UpdateScrollBars();
    void SetTopRow(uint64_t Row);
    void PaintRow(QPainter& Painter, const TTextLines::TRow& Row, int Y) const;
    uint32_t StyleId(const TTextStyle& Style);
    TPlace PlaceOf(Position Where) const;
    Position PositionAt(const QPoint& Point) const;
    Position PositionAtPlace(uint64_t Row, uint64_t Column) const;
    void MoveCaret(Position Where, bool KeepAnchor);
    bool MoveByKey(const QKeyEvent& Event);
    bool EditByKey(const QKeyEvent& Event);
    Position StepBack(Position Where) const;
    Position StepForward(Position Where) const;
    void DeleteSelectionOr(Position From, Position To);
    void SelectWordAt(Position Where);
    void KeepLineLimit();
    // What goes beyond the line limit, or beyond memory when the file fails.
    std::size_t LinesToDrop();
    // Asks for the added text to be shown at the next frame.
    void ShowAppended();
    void ShowNow();
    // Scroll bars that must be exact before the view moves on its own.
    void ShowPendingNow();

    TTextLines FLines;
    Position FAnchor = 0;
    Position FCaret = 0;
    bool FFollow = true;
    bool FMovingScrollBars = false;
    bool FWrapping = true;
    bool FTabChangesFocus = false;
    bool FSelecting = false;
    std::size_t FLineLimit = 0;
    uint64_t FLinesGone = 0;  // lines dropped or cleared
    bool FToldScrollbackFailed = false;
    bool FToldDropping = false;
    // The styles the text uses, by the number the lines keep; 0 is the plain one.
    std::vector<TTextStyle> FStyles{TTextStyle{}};
    std::unordered_map<uint64_t, uint32_t> FStyleIds;
    QList<int> FTabStopPixels;
    qreal FCellWidth = 8;
    int FRowHeight = 16;
    int FAscent = 12;
    TFrameTimer FShowTimer;
};
