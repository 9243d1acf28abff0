// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Received bytes as a hex dump, as every hex dump shows them: rows of 16 with
// the offset in the session, the bytes in hex and the printable ones as
// ASCII. Only the rows in view are laid out and painted; the bytes are kept in
// chunks that are released from the front when a line limit drops the oldest
// lines. It follows the end as bytes arrive, unless the user scrolled back.
// Its font shrinks so that a whole row fits its width.

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

// The bytes of a session, the oldest dropped line by line past a limit.
class TByteHistory {
public:
    void Append(std::string_view Bytes);
    void Clear();
    // Keeps the bytes of at most Lines lines (CR, LF and CR LF end a line); 0 keeps all.
    void SetLineLimit(std::size_t Lines);
    // Offsets in the session of the first byte kept and of the end.
    uint64_t First() const { return FFirst; }
    uint64_t End() const { return FEnd; }
    // The bytes kept between the two offsets.
    std::string Bytes(uint64_t From, uint64_t To) const;

private:
    static constexpr uint64_t kChunkBytes = uint64_t{1} << 16;
    void KeepLineLimit();

    std::deque<std::unique_ptr<char[]>> FChunks;
    uint64_t FChunkBase = 0;           // chunks released from the front
    uint64_t FFirst = 0;
    uint64_t FEnd = 0;
    std::deque<uint64_t> FLineStarts;  // where each line after the first kept one starts
    std::size_t FLineLimit = 0;
    bool FAfterCR = false;
};

class THexView : public QAbstractScrollArea {
public:
    static constexpr uint64_t kRowBytes = 16;

    explicit THexView(QWidget* Parent = nullptr);

    const TByteHistory& History() const { return FHistory; }
    void AppendBytes(std::string_view Bytes);
    void Clear();
    void SetLineLimit(std::size_t Lines);
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
    // Keeps the rows in view where they are after the first kept row moved by Rows.
    void KeepRows(uint64_t DroppedRows);

    TByteHistory FHistory;
    bool FFollow = true;
    bool FMovingScrollBars = false;
    QFont FPaintFont;
    int FRowHeight = 16;
    int FAscent = 12;
};
