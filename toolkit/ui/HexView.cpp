// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/HexView.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "toolkit/ui/SpilledChunks.h"

namespace {

constexpr int kMargin = 4;

// Bytes kept in memory before the oldest go to the scrollback file.
constexpr uint64_t kDefaultBudgetBytes = uint64_t{32} << 20;

bool Printable(unsigned char Byte) { return Byte >= 0x20 && Byte < 0x7F; }
bool IsLineEnd(char Byte) { return Byte == '\r' || Byte == '\n'; }

}  // namespace

// ---- the bytes kept -----------------------------------------------------------

TByteHistory::TByteHistory() : FBudgetChunks(kDefaultBudgetBytes / kChunkBytes) {}

TByteHistory::~TByteHistory() = default;

void TByteHistory::Append(std::string_view Bytes) {
    if (Bytes.empty()) return;
    // The LF of a CR LF pair belongs to the line the CR ended, which the
    // line limit may have dropped already.
    const bool lineFeedOfDroppedLine = FAfterCR && Bytes.front() == '\n' && FFirst == FEnd;
    CountLineEnds(Bytes);
    while (!Bytes.empty()) {
        if (FEnd / kChunkBytes == FChunkBase + FChunks.size()) {
            FChunks.push_back(std::make_unique_for_overwrite<char[]>(kChunkBytes));
            Spill();
        }
        const std::size_t count = std::min<std::size_t>(Bytes.size(), kChunkBytes - FEnd % kChunkBytes);
        std::copy_n(Bytes.data(), count, FChunks.back().get() + FEnd % kChunkBytes);
        FEnd += count;
        Bytes.remove_prefix(count);
    }
    if (lineFeedOfDroppedLine) ++FFirst;
    DropOverBudget();
    KeepLineLimit();
}

void TByteHistory::CountLineEnds(std::string_view Bytes) {
    for (const char byte : Bytes) {
        if (byte == '\r' || (byte == '\n' && !FAfterCR)) ++FLineEnds;
        FAfterCR = byte == '\r';
    }
}

void TByteHistory::Clear() {
    FChunks.clear();
    FSpilled.reset();
    FScrollbackError.clear();
    FDroppedOverBudget = false;
    FFirst = FEnd;
    FChunkBase = FEnd / kChunkBytes;
    FLineEnds = 0;
    FAfterCR = false;
}

void TByteHistory::SetLineLimit(std::size_t Lines) {
    FLineLimit = Lines;
    KeepLineLimit();
}

// Dropping a few lines reads them from the front; dropping more than are kept
// reads the kept ones from the back.
void TByteHistory::KeepLineLimit() {
    if (FLineLimit == 0 || FLineEnds < FLineLimit) return;
    const uint64_t excess = FLineEnds + 1 - FLineLimit;
    if (excess > FLineLimit) {
        DropBefore(StartOfLastLines(FLineLimit), FLineLimit - 1);
        return;
    }
    uint64_t first = FFirst;
    for (uint64_t line = 0; line < excess; ++line) first = NextLineStart(first);
    DropBefore(first, FLineLimit - 1);
}

void TByteHistory::DropBefore(uint64_t First, uint64_t LineEnds) {
    FFirst = First;
    FLineEnds = LineEnds;
    const uint64_t chunk = FFirst / kChunkBytes;
    if (FSpilled) FSpilled->DropBefore(std::min(chunk, FChunkBase));
    for (; FChunkBase < chunk && !FChunks.empty(); ++FChunkBase) FChunks.pop_front();
}

void TByteHistory::SetScrollback(uint64_t Bytes, QString Folder) {
    FBudgetChunks = Bytes == 0 ? 0 : std::max<uint64_t>(1, Bytes / kChunkBytes);
    FScrollbackFolder = std::move(Folder);
    Spill();
    DropOverBudget();
}

// The last chunk takes the appends, so it always stays.
void TByteHistory::Spill() {
    if (FBudgetChunks == 0 || !FScrollbackError.isEmpty()) return;
    while (FChunks.size() > FBudgetChunks) {
        if (!FSpilled) FSpilled = std::make_unique<TSpilledChunks>(FScrollbackFolder);
        if (!FSpilled->Add(FChunkBase, {FChunks.front().get(), kChunkBytes})) {
            FScrollbackError = FSpilled->Error();
            return;
        }
        FChunks.pop_front();
        ++FChunkBase;
    }
}

// Whole lines go, as the line limit drops them; a line longer than memory
// goes in part.
void TByteHistory::DropOverBudget() {
    if (FScrollbackError.isEmpty() || FChunks.size() <= FBudgetChunks) return;
    FDroppedOverBudget = true;
    const uint64_t keep = (FChunkBase + FChunks.size() - FBudgetChunks) * kChunkBytes;
    uint64_t first = FFirst, lineEnds = FLineEnds;
    for (; first < keep && lineEnds > 0; --lineEnds) first = NextLineStart(first);
    DropBefore(std::max(first, keep), lineEnds);
}

std::string_view TByteHistory::Span(uint64_t At) const {
    static const std::string kLost(kChunkBytes, '\0');
    const uint64_t chunk = At / kChunkBytes;
    std::string_view bytes = chunk >= FChunkBase ? std::string_view(FChunks[chunk - FChunkBase].get(), kChunkBytes)
                                                  : FSpilled->Read(chunk);
    if (bytes.empty()) bytes = kLost;
    return bytes.substr(At % kChunkBytes, std::min(kChunkBytes, FEnd - chunk * kChunkBytes) - At % kChunkBytes);
}

uint64_t TByteHistory::NextLineStart(uint64_t From) const {
    for (uint64_t at = From; at < FEnd;) {
        const std::string_view span = Span(at);
        const auto found = std::find_if(span.begin(), span.end(), IsLineEnd);
        at += static_cast<uint64_t>(found - span.begin());
        if (found != span.end()) return at + (*found == '\r' && at + 1 < FEnd && ByteAt(at + 1) == '\n' ? 2 : 1);
    }
    return FEnd;
}

uint64_t TByteHistory::StartOfLastLines(std::size_t Lines) const {
    std::size_t ends = 0;
    for (uint64_t at = FEnd; at > FFirst;) {
        const uint64_t from = std::max(FFirst, (at - 1) / kChunkBytes * kChunkBytes);
        const std::string_view span = Span(from).substr(0, at - from);
        const auto found = std::find_if(span.rbegin(), span.rend(), IsLineEnd);
        if (found == span.rend()) {
            at = from;
            continue;
        }
        const uint64_t end = from + static_cast<uint64_t>(span.rend() - found);
        if (++ends == Lines) return end;
        at = end - 1;
        // The CR before an LF ends the same line.
        if (*found == '\n' && at > FFirst && ByteAt(at - 1) == '\r') --at;
    }
    return FFirst;
}

std::string TByteHistory::Bytes(uint64_t From, uint64_t To) const {
    From = std::max(From, FFirst);
    To = std::min(To, FEnd);
    std::string bytes;
    while (From < To) {
        const std::string_view span = Span(From).substr(0, To - From);
        bytes += span;
        From += span.size();
    }
    return bytes;
}

// ---- the view -------------------------------------------------------------------

THexView::THexView(QWidget* Parent) : QAbstractScrollArea(Parent), FShowTimer([this] { ShowNow(); }) {
    setFocusPolicy(Qt::NoFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QObject::connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int Value) {
        if (!FMovingScrollBars) FFollow = Value >= verticalScrollBar()->maximum();
    });
    MeasureFont();
}

QString THexView::RowText(uint64_t Offset, std::size_t Skip, std::string_view Bytes) {
    QString hex, ascii;
    for (std::size_t i = 0; i < kRowBytes; ++i) {
        if (i == kRowBytes / 2) hex += u' ';
        const bool kept = i >= Skip && i - Skip < Bytes.size();
        const auto byte = kept ? static_cast<unsigned char>(Bytes[i - Skip]) : 0;
        hex += kept ? QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0')) : QStringLiteral("   ");
        ascii += !kept ? u' ' : Printable(byte) ? QChar(byte) : u'.';
    }
    return QStringLiteral("%1  %2 |%3|").arg(Offset, 8, 16, QLatin1Char('0')).arg(hex, ascii);
}

void THexView::AppendBytes(std::string_view Bytes) {
    FHistory.Append(Bytes);
    FShowTimer.Request();
}

void THexView::Clear() {
    FHistory.Clear();
    FNotes.clear();
    setToolTip({});
    FFollow = true;
    ShowNow();
}

void THexView::SetLineLimit(std::size_t Lines) {
    FHistory.SetLineLimit(Lines);
    ShowNow();
}

void THexView::SetScrollback(uint64_t Bytes, QString Folder) {
    FHistory.SetScrollback(Bytes, std::move(Folder));
    ShowNow();
}

// The rows in view stay where they are while the rows above them go.
void THexView::ShowNow() {
    FShowTimer.Cancel();
    TellTrouble();
    const uint64_t top = TopRow();
    const uint64_t firstRow = FHistory.First() / kRowBytes;
    const uint64_t droppedRows = firstRow - FShownFirstRow;
    FShownFirstRow = firstRow;
    UpdateScrollBars();
    if (!FFollow) {
        FMovingScrollBars = true;
        verticalScrollBar()->setValue(static_cast<int>(std::min<uint64_t>(top > droppedRows ? top - droppedRows : 0, INT32_MAX)));
        FMovingScrollBars = false;
    }
    viewport()->update();
}

// Each trouble with the scrollback file is told once, above the rows.
void THexView::TellTrouble() {
    const qsizetype told = FNotes.size();
    if (!FHistory.ScrollbackError().isEmpty() && FNotes.isEmpty()) {
        FNotes << QStringLiteral("\u2014 The scrollback file cannot be written (%1); the oldest bytes will go when memory is full \u2014")
                      .arg(FHistory.ScrollbackError());
    }
    if (FHistory.DroppedOverBudget() && FNotes.size() == 1)
        FNotes << QStringLiteral("\u2014 The memory set aside for bytes is full: the oldest bytes are being dropped \u2014");
    // A note wider than the view is read whole here.
    if (FNotes.size() != told) setToolTip(FNotes.join(u'\n'));
}

uint64_t THexView::RowCount() const {
    if (FHistory.End() == FHistory.First()) return 0;
    return (FHistory.End() - 1) / kRowBytes - FHistory.First() / kRowBytes + 1;
}

uint64_t THexView::TopRow() const { return static_cast<uint64_t>(std::max(0, verticalScrollBar()->value())); }

int THexView::VisibleRows() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / FRowHeight - static_cast<int>(FNotes.size()));
}

void THexView::UpdateScrollBars() {
    FMovingScrollBars = true;
    const auto rows = static_cast<uint64_t>(VisibleRows());
    QScrollBar& vertical = *verticalScrollBar();
    vertical.setRange(0, static_cast<int>(std::min<uint64_t>(RowCount() > rows ? RowCount() - rows : 0, INT32_MAX)));
    vertical.setPageStep(static_cast<int>(rows));
    if (FFollow) vertical.setValue(vertical.maximum());
    FMovingScrollBars = false;
}

void THexView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    int y = kMargin + FAscent;
    if (!FNotes.isEmpty()) {
        QFont italic = FPaintFont;
        italic.setItalic(true);
        painter.setFont(italic);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        for (const QString& note : FNotes) {
            painter.drawText(QPoint(kMargin, y), note);
            y += FRowHeight;
        }
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(FPaintFont);
    // Rows are counted from the first one shown at the last frame; bytes gone since show as blanks.
    for (uint64_t offset = (FShownFirstRow + TopRow()) * kRowBytes; offset < FHistory.End() && y - FAscent < viewport()->height();
         offset += kRowBytes, y += FRowHeight) {
        const uint64_t from = std::clamp(FHistory.First(), offset, offset + kRowBytes);
        painter.drawText(QPoint(kMargin, y), RowText(offset, from - offset, FHistory.Bytes(from, offset + kRowBytes)));
    }
}

void THexView::resizeEvent(QResizeEvent* Event) {
    QAbstractScrollArea::resizeEvent(Event);
    MeasureFont();
}

void THexView::changeEvent(QEvent* Event) {
    QAbstractScrollArea::changeEvent(Event);
    if (Event->type() == QEvent::FontChange) MeasureFont();
}

// A whole row fits the width: the font shrinks as far as kSmallestPixels.
void THexView::MeasureFont() {
    constexpr int kSmallestPixels = 8;
    const int width = viewport()->width() - 2 * kMargin;
    const qsizetype columns = RowText(0, 0, {}).size();
    FPaintFont = font();
    const QFontInfo base(FPaintFont);
    for (int pixels = base.pixelSize(); pixels >= kSmallestPixels; --pixels) {
        FPaintFont.setPixelSize(pixels);
        if (QFontMetricsF(FPaintFont).horizontalAdvance(QString(columns, u'0')) <= width) break;
    }
    const QFontMetrics metrics(FPaintFont);
    FRowHeight = std::max(1, metrics.lineSpacing());
    FAscent = metrics.ascent();
    UpdateScrollBars();
}

void THexView::scrollContentsBy(int, int) { viewport()->update(); }
