// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The received area in terminal mode: a TTerminalScreen the size of the
// area, painted cell by cell, with keys going straight to the device as
// xterm sends them. The wheel and Shift+PgUp/PgDn scroll back through the
// lines that scrolled off; a key sent to the device returns to the screen.
// The mouse selects; Ctrl+Shift+C copies the selection, or the text shown
// when there is none, and Ctrl+Shift+V pastes. A serial line carries no window size, so a label in the corner
// says what to tell the device ("stty rows R cols C").

#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "terminal/TerminalScreen.h"
#include "toolkit/ui/FrameTimer.h"

class QLabel;

class TTerminalView : public QWidget {
public:
    explicit TTerminalView(QWidget* Parent = nullptr);

    using TFed = std::function<void()>;
    // Where the lines scrolled off the screen are kept, oldest first.
    struct THistory {
        std::function<std::size_t()> Count;
        std::function<TTerminalScreen::TLine(std::size_t Line)> Line;
    };

    TTerminalScreen& Screen() { return FScreen; }
    // Draws Bytes from the device, in order, a slice per turn of the event
    // loop so that a flood does not hold it up; the painting follows once per
    // frame. Past kMaxWaiting bytes not yet drawn, Write draws until they
    // are that few again: the device's data then waits at the port, as it
    // would for a terminal that is behind.
    void Write(std::string_view Bytes);
    // Draws whatever is still waiting.
    void Drain();
    std::size_t Waiting() const { return FWaiting.size() - FWaitingFrom; }
    // Called after the screen drew a slice.
    void SetFed(TFed Fed) { FFed = std::move(Fed); }
    // Backspace sends BS rather than DEL.
    void SetBackspaceSendsBS(bool On) { FBackspaceSendsBS = On; }
    bool BackspaceSendsBS() const { return FBackspaceSendsBS; }
    void SetHistory(THistory History) { FHistory = std::move(History); }
    // Rows of the history shown above the screen; 0 is the live screen.
    std::size_t ScrolledBack() const;
    // Back by Rows, or forward by -Rows.
    void ScrollBack(long Rows);
    // The rows shown, blank cells at their ends left out.
    std::u16string ShownText() const;
    TTerminalScreen::TLine ShownLine(int Row) const;
    // Where the cell at Row and Column is painted.
    QRectF CellRect(int Row, int Column) const;
    // The selected text, its rows' trailing blanks left out.
    std::u16string SelectedText() const;
    QString SizeText() const;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    bool focusNextPrevChild(bool Next) override;

private:
    void MeasureFont();
    void FitScreen();
    bool SendKey(const QKeyEvent& Event);
    std::size_t HistoryCount() const { return FHistory.Count ? FHistory.Count() : 0; }
    // Cells count in reading order over the rows shown.
    int CellAt(const QPointF& Point) const;
    bool Selected(int Row, int Column) const;
    void ClearSelection();
    void FeedSlices();
    void Feed(std::size_t Count);

    static constexpr std::size_t kMaxWaiting = 128 * 1024;

    TTerminalScreen FScreen{24, 80};
    QLabel* FSizeLabel;
    TFrameTimer FFrame{[this] { update(); }};
    QTimer FFeed;
    std::string FWaiting;
    std::size_t FWaitingFrom = 0;
    TFed FFed;
    THistory FHistory;
    // Scrolled back by FBack rows when the history held FCountAtScroll lines:
    // lines scrolled off since then leave the rows shown where they are.
    std::size_t FBack = 0;
    std::size_t FCountAtScroll = 0;
    // The selection: from one cell up to the other, whichever comes first.
    int FAnchor = 0;
    int FEnd = 0;
    qreal FCellWidth = 8;
    int FRowHeight = 16;
    int FAscent = 12;
    bool FBackspaceSendsBS = false;
};
