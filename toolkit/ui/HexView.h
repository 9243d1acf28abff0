// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Received bytes as a hex dump, as every hex dump shows them: rows of 16 with
// the offset in the session, the bytes in hex and the printable ones as
// ASCII. Only the rows in view are laid out and painted, once a frame however
// often bytes arrive; the bytes are kept in chunks that are released from the
// front when a line limit drops the oldest lines, and that go to a scrollback
// file past a memory budget. It follows the end as bytes arrive, unless the
// user scrolled back.
// Its font shrinks so that a whole row fits its width.

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "toolkit/ui/FrameTimer.h"

class TSpilledChunks;

// The bytes of a session, the oldest dropped line by line past a limit.
// Past a memory budget the oldest chunks go to a scrollback file and are read
// back from it when needed; where the lines start is found by reading the
// bytes, so keeping them costs nothing a line.
class TByteHistory {
public:
    TByteHistory();
    ~TByteHistory();
    TByteHistory(const TByteHistory&) = delete;
    TByteHistory& operator=(const TByteHistory&) = delete;

    void Append(std::string_view Bytes);
    void Clear();
    // Keeps the bytes of at most Lines lines (CR, LF and CR LF end a line); 0 keeps all.
    void SetLineLimit(std::size_t Lines);
    // Bytes beyond about Bytes in memory go to a scrollback file in Folder
    // (empty: the user's cache folder); 0 keeps all of them in memory. Clear
    // removes the file.
    void SetScrollback(uint64_t Bytes, QString Folder = {});
    // Why the scrollback file could not take bytes, once it could not; empty till then.
    const QString& ScrollbackError() const { return FScrollbackError; }
    // Whether the oldest bytes went because the file failed and memory was full.
    bool DroppedOverBudget() const { return FDroppedOverBudget; }
    // Offsets in the session of the first byte kept and of the end.
    uint64_t First() const { return FFirst; }
    uint64_t End() const { return FEnd; }
    // The bytes kept between the two offsets; what the system lost of the file reads as zeros.
    std::string Bytes(uint64_t From, uint64_t To) const;
    uint64_t BytesInMemory() const { return FChunks.size() * kChunkBytes; }

private:
    static constexpr uint64_t kChunkBytes = uint64_t{1} << 16;
    void CountLineEnds(std::string_view Bytes);
    void KeepLineLimit();
    // Moves the oldest chunks to the file while more are in memory than the budget.
    void Spill();
    // While the file cannot take them: drops the lines beyond the budget.
    void DropOverBudget();
    // Moves the first byte kept to First, which starts a line or is past every line end.
    void DropBefore(uint64_t First, uint64_t LineEnds);
    // The bytes from At to the end of its chunk or of the history.
    std::string_view Span(uint64_t At) const;
    char ByteAt(uint64_t At) const { return Span(At).front(); }
    // Where the line after the one that holds From starts; End() when it has no end.
    uint64_t NextLineStart(uint64_t From) const;
    // Where the last Lines lines start; First() when there are no more.
    uint64_t StartOfLastLines(std::size_t Lines) const;

    std::deque<std::unique_ptr<char[]>> FChunks;
    uint64_t FChunkBase = 0;  // chunks before these are in the file or gone
    uint64_t FFirst = 0;
    uint64_t FEnd = 0;
    uint64_t FLineEnds = 0;   // kept, a CR LF pair counting once
    std::size_t FLineLimit = 0;
    bool FAfterCR = false;
    uint64_t FBudgetChunks;   // 0: no budget
    QString FScrollbackFolder;
    std::unique_ptr<TSpilledChunks> FSpilled;
    QString FScrollbackError;
    bool FDroppedOverBudget = false;
};

class THexView : public QAbstractScrollArea {
public:
    static constexpr uint64_t kRowBytes = 16;

    explicit THexView(QWidget* Parent = nullptr);

    const TByteHistory& History() const { return FHistory; }
    // Bytes added are shown once a frame, however often they come.
    void AppendBytes(std::string_view Bytes);
    bool ShowPending() const { return FShowTimer.Pending(); }
    void Clear();
    void SetLineLimit(std::size_t Lines);
    // See TByteHistory::SetScrollback; when the file cannot take the bytes,
    // the view says so and the oldest bytes go.
    void SetScrollback(uint64_t Bytes, QString Folder = {});
    // What the view tells of the scrollback file, shown above the rows.
    const QStringList& Notes() const { return FNotes; }
    bool FollowsEnd() const { return FFollow; }
    // Rows from the first kept byte's row; the first and last may be partly empty.
    uint64_t RowCount() const;
    uint64_t TopRow() const;
    // The text of the row that starts at Offset (a multiple of 16), Bytes
    // being the ones kept from Offset + Skip on.
    static QString RowText(uint64_t Offset, std::size_t Skip, std::string_view Bytes);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;

private:
    void MeasureFont();
    int VisibleRows() const;
    void UpdateScrollBars();
    void ShowNow();
    void TellTrouble();

    TByteHistory FHistory;
    uint64_t FShownFirstRow = 0;  // the first kept byte's row at the last frame
    QStringList FNotes;
    bool FFollow = true;
    bool FMovingScrollBars = false;
    QFont FPaintFont;
    int FRowHeight = 16;
    int FAscent = 12;
    TFrameTimer FShowTimer;
};
