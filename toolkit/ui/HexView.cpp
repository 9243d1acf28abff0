// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/HexView.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

constexpr int kMargin = 4;

bool Printable(unsigned char Byte) { return Byte >= 0x20 && Byte < 0x7F; }

}  // namespace

// ---- the bytes kept -----------------------------------------------------------

void TByteHistory::Append(std::string_view Bytes) {
    for (const char byte : Bytes) {
        if (FEnd / kChunkBytes == FChunkBase + FChunks.size())
            FChunks.push_back(std::make_unique_for_overwrite<char[]>(kChunkBytes));
        FChunks[FEnd / kChunkBytes - FChunkBase][FEnd % kChunkBytes] = byte;
        ++FEnd;
        // The LF of a CR LF pair belongs to the line the CR ended, which
        // the line limit may have dropped already.
        if (FAfterCR && byte == '\n') (FLineStarts.empty() ? FFirst : FLineStarts.back()) = FEnd;
        else if (byte == '\r' || byte == '\n') FLineStarts.push_back(FEnd);
        FAfterCR = byte == '\r';
    }
    KeepLineLimit();
}

void TByteHistory::Clear() {
    FChunks.clear();
    FFirst = FEnd;
    FChunkBase = FEnd / kChunkBytes;
    FLineStarts.clear();
    FAfterCR = false;
}

void TByteHistory::SetLineLimit(std::size_t Lines) {
    FLineLimit = Lines;
    KeepLineLimit();
}

void TByteHistory::KeepLineLimit() {
    if (FLineLimit == 0) return;
    while (FLineStarts.size() + 1 > FLineLimit) {
        FFirst = FLineStarts.front();
        FLineStarts.pop_front();
    }
    for (; (FChunkBase + 1) * kChunkBytes <= FFirst && !FChunks.empty(); ++FChunkBase) FChunks.pop_front();
}

std::string TByteHistory::Bytes(uint64_t From, uint64_t To) const {
    From = std::max(From, FFirst);
    To = std::min(To, FEnd);
    std::string bytes;
    for (; From < To; ++From) bytes += FChunks[From / kChunkBytes - FChunkBase][From % kChunkBytes];
    return bytes;
}

// ---- the view -------------------------------------------------------------------

THexView::THexView(QWidget* Parent) : QAbstractScrollArea(Parent) {
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
    const uint64_t firstRow = FHistory.First() / kRowBytes;
    FHistory.Append(Bytes);
    KeepRows(FHistory.First() / kRowBytes - firstRow);
}

void THexView::Clear() {
    FHistory.Clear();
    FFollow = true;
    UpdateScrollBars();
    viewport()->update();
}

void THexView::SetLineLimit(std::size_t Lines) {
    const uint64_t firstRow = FHistory.First() / kRowBytes;
    FHistory.SetLineLimit(Lines);
    KeepRows(FHistory.First() / kRowBytes - firstRow);
}

void THexView::KeepRows(uint64_t DroppedRows) {
    const uint64_t top = TopRow();
    UpdateScrollBars();
    if (!FFollow) {
        FMovingScrollBars = true;
        verticalScrollBar()->setValue(static_cast<int>(std::min<uint64_t>(top > DroppedRows ? top - DroppedRows : 0, INT32_MAX)));
        FMovingScrollBars = false;
    }
    viewport()->update();
}

uint64_t THexView::RowCount() const {
    if (FHistory.End() == FHistory.First()) return 0;
    return (FHistory.End() - 1) / kRowBytes - FHistory.First() / kRowBytes + 1;
}

uint64_t THexView::TopRow() const { return static_cast<uint64_t>(std::max(0, verticalScrollBar()->value())); }

int THexView::VisibleRows() const { return std::max(1, (viewport()->height() - 2 * kMargin) / FRowHeight); }

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
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(FPaintFont);
    const uint64_t firstRow = FHistory.First() / kRowBytes;
    const int rows = viewport()->height() / FRowHeight + 1;
    for (int i = 0; i < rows && TopRow() + static_cast<uint64_t>(i) < RowCount(); ++i) {
        const uint64_t offset = (firstRow + TopRow() + static_cast<uint64_t>(i)) * kRowBytes;
        const uint64_t from = std::max(offset, FHistory.First());
        const std::string bytes = FHistory.Bytes(from, offset + kRowBytes);
        painter.drawText(QPoint(kMargin, kMargin + i * FRowHeight + FAscent), RowText(offset, from - offset, bytes));
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
