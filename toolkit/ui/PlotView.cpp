// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/PlotView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// A palette that stays apart for colour-blind eyes, darkest first.
const std::array<QColor, 8> kColors{QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00), QColor(0x00, 0x9E, 0x73),
                                    QColor(0xCC, 0x79, 0xA7), QColor(0x56, 0xB4, 0xE9), QColor(0xE6, 0x9F, 0x00),
                                    QColor(0x00, 0x00, 0x00), QColor(0xF0, 0xE4, 0x42)};
const std::array<Qt::PenStyle, 4> kDashes{Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};

constexpr double kLeftMargin = 64;
constexpr double kRightMargin = 24;
constexpr double kBottomMargin = 38;
constexpr double kLegendRow = 20;
constexpr double kSwatch = 18;
// Far enough outside the widget for any line to leave it, near enough for
// the painter's fixed-point coordinates.
constexpr double kPixelLimit = 1e5;
constexpr qsizetype kWidePenPoints = 400;

const std::array<double, 2> kLeastSpan{10, 0.01};
const std::array<double, 2> kMostSpan{static_cast<double>(TPlotSamples::MaxKeep), 1e7};

// A step of 1, 2 or 5 times a power of ten that gives about Count ticks.
double NiceStep(double Range, int Count) {
    const double raw = Range / Count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power) return factor * power;
    return 10 * power;
}

QString TickLabel(double Value, double Step) {
    if (Step >= 1e6 || Step < 1e-6) return QString::number(Value, 'g', 4);
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(Step))));
    return QString::number(std::abs(Value) < Step / 2 ? 0.0 : Value, 'f', decimals);
}

QString ValueText(double Value) {
    if (IsPlotMissing(Value)) return QStringLiteral("–");
    return QString::number(Value, 'g', 10);
}

double Bounded(double Pixel) { return std::clamp(Pixel, -kPixelLimit, kPixelLimit); }

}  // namespace

TPlotView::TPlotView(const TPlotSamples& Samples, QWidget* Parent)
    : QWidget(Parent), FSamples(Samples), FFrameTimer([this] { update(); }) {
    setMouseTracking(true);
    setMinimumSize(240, 160);
}

QColor TPlotView::SeriesColor(std::size_t Series) { return kColors[Series % kColors.size()]; }

void TPlotView::SamplesChanged() { RequestFrame(); }

void TPlotView::RequestFrame() { FFrameTimer.Request(); }

void TPlotView::SetSeriesNames(const std::vector<std::string>& Names) {
    FNames.clear();
    for (const std::string& name : Names) FNames.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    FHidden.resize(Names.size(), false);
    RequestFrame();
}

void TPlotView::SetSeriesShown(std::size_t Series, bool Shown) {
    if (Series >= FHidden.size()) return;
    FHidden[Series] = !Shown;
    RequestFrame();
}

// ---- where the view stands ----------------------------------------------------------

void TPlotView::SetPaused(bool Paused) {
    if (Paused && !FPaused) FPausedLeft = Left();
    FPaused = Paused;
    RequestFrame();
}

void TPlotView::PauseByUser() {
    if (FPaused) return;
    SetPaused(true);
    ChangedByUser();
}

double TPlotView::XOf(uint64_t Row) const {
    return FAxis == SampleAxis ? static_cast<double>(Row) : FSamples.Time(Row);
}

uint64_t TPlotView::RowOf(double X) const {
    if (FAxis == TimeAxis) return FSamples.RowAt(X);
    if (X <= static_cast<double>(FSamples.First())) return FSamples.First();
    return std::min(FSamples.End(), static_cast<uint64_t>(std::ceil(X)));
}

double TPlotView::Left() const {
    if (FPaused) return FPausedLeft;
    if (FSamples.Empty()) return 0;
    // The line grows from the left until the view is full, then moves on.
    return std::max(XOf(FSamples.First()), XOf(FSamples.End() - 1) - Span());
}

void TPlotView::SetSpan(double Span) {
    FSpan[FAxis] = std::clamp(Span, kLeastSpan[FAxis], kMostSpan[FAxis]);
    RequestFrame();
}

void TPlotView::SetAxis(TAxis Axis) {
    if (Axis == FAxis) return;
    if (FPaused && !FSamples.Empty()) {
        // The same rows stay in view.
        const uint64_t first = std::min(RowOf(Left()), FSamples.End() - 1);
        const uint64_t last = std::max(first, std::min(RowOf(Left() + Span()), FSamples.End() - 1));
        FAxis = Axis;
        FPausedLeft = XOf(first);
        FSpan[FAxis] = std::clamp(XOf(last) - XOf(first), kLeastSpan[FAxis], kMostSpan[FAxis]);
    }
    FAxis = Axis;
    RequestFrame();
}

void TPlotView::SetAutoRange(bool On) {
    FAutoRange = On;
    RequestFrame();
}

void TPlotView::SetRange(double Low, double High) {
    if (!(Low < High)) return;
    FAutoRange = false;
    FLow = Low;
    FHigh = High;
    RequestFrame();
}

// ---- layout -------------------------------------------------------------------------------

std::vector<QRectF> TPlotView::LegendPlaces() const {
    std::vector<QRectF> places;
    const QFontMetricsF metrics(font());
    double x = kLeftMargin, y = 2;
    for (const QString& name : FNames) {
        const double entry = kSwatch + 6 + metrics.horizontalAdvance(name) + 14;
        if (x + entry > width() - kRightMargin && x > kLeftMargin) {
            x = kLeftMargin;
            y += kLegendRow;
        }
        places.emplace_back(x, y, entry, kLegendRow);
        x += entry;
    }
    return places;
}

QRectF TPlotView::PlotArea() const {
    const std::vector<QRectF> legend = LegendPlaces();
    const double top = (legend.empty() ? 2 + kLegendRow : legend.back().bottom()) + 6;
    return QRectF(kLeftMargin, top, std::max(1.0, width() - kLeftMargin - kRightMargin),
                  std::max(1.0, height() - top - kBottomMargin));
}

TPlotView::TFrame TPlotView::Frame() const { return {PlotArea(), Left(), Span(), FLow, FHigh}; }

std::pair<uint64_t, uint64_t> TPlotView::RowsInView(const TFrame& Frame) const {
    uint64_t from = RowOf(Frame.Left);
    if (from > FSamples.First()) --from;
    const uint64_t to = std::min(FSamples.End(), RowOf(Frame.Left + Frame.Span) + 1);
    return {from, std::max(from, to)};
}

void TPlotView::FitRange(const TFrame& Frame) {
    const auto [from, to] = RowsInView(Frame);
    TPlotSamples::TExtent all{HUGE_VAL, -HUGE_VAL};
    for (std::size_t series = 0; series < FSamples.SeriesCount(); ++series) {
        if (!SeriesShown(series)) continue;
        const TPlotSamples::TExtent extent = FSamples.Extent(series, from, to);
        all.Min = std::min(all.Min, extent.Min);
        all.Max = std::max(all.Max, extent.Max);
    }
    if (all.Empty()) {
        FLow = 0;
        FHigh = 1;
    } else if (all.Min == all.Max) {
        FLow = all.Min - 1;
        FHigh = all.Max + 1;
    } else {
        const double margin = (all.Max - all.Min) * 0.05;
        FLow = all.Min - margin;
        FHigh = all.Max + margin;
    }
}

// ---- painting --------------------------------------------------------------------------------

void TPlotView::paintEvent(QPaintEvent*) {
    ++FFrames;
    if (FAutoRange) FitRange(Frame());
    const TFrame frame = Frame();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    DrawGrid(painter, frame);
    painter.save();
    painter.setClipRect(frame.Area);
    for (std::size_t series = 0; series < FSamples.SeriesCount(); ++series)
        if (SeriesShown(series)) DrawSeries(painter, frame, series);
    painter.restore();
    DrawLegend(painter);
    DrawCrosshair(painter, frame);
}

void TPlotView::DrawGrid(QPainter& Painter, const TFrame& Frame) const {
    const QFontMetricsF metrics(font());
    const QColor grid(0xE4, 0xE4, 0xE4);
    const QColor text(0x40, 0x40, 0x40);
    const double xStep = NiceStep(Frame.Span, std::max(2, static_cast<int>(Frame.Area.width() / 90)));
    for (double x = std::ceil(Frame.Left / xStep) * xStep; x <= Frame.Left + Frame.Span; x += xStep) {
        const double pixel = Frame.PixelOfX(x);
        Painter.setPen(grid);
        Painter.drawLine(QPointF(pixel, Frame.Area.top()), QPointF(pixel, Frame.Area.bottom()));
        Painter.setPen(text);
        const QString label = TickLabel(x, xStep);
        Painter.drawText(QPointF(pixel - metrics.horizontalAdvance(label) / 2, Frame.Area.bottom() + metrics.ascent() + 3),
                         label);
    }
    const double yStep = NiceStep(Frame.High - Frame.Low, std::max(2, static_cast<int>(Frame.Area.height() / 40)));
    for (double y = std::ceil(Frame.Low / yStep) * yStep; y <= Frame.High; y += yStep) {
        const double pixel = Frame.PixelOfY(y);
        Painter.setPen(grid);
        Painter.drawLine(QPointF(Frame.Area.left(), pixel), QPointF(Frame.Area.right(), pixel));
        Painter.setPen(text);
        const QString label = TickLabel(y, yStep);
        Painter.drawText(QPointF(Frame.Area.left() - metrics.horizontalAdvance(label) - 6, pixel + metrics.ascent() / 2 - 1),
                         label);
    }
    Painter.setPen(QColor(0x80, 0x80, 0x80));
    Painter.drawRect(Frame.Area);
    Painter.setPen(text);
    const QString title = FAxis == SampleAxis ? QStringLiteral("sample") : QStringLiteral("time (s)");
    Painter.drawText(QPointF(Frame.Area.center().x() - metrics.horizontalAdvance(title) / 2, height() - 4), title);
}

void TPlotView::DrawSeries(QPainter& Painter, const TFrame& Frame, std::size_t Series) const {
    const auto [from, to] = RowsInView(Frame);
    const double columns = std::floor(Frame.Area.width());
    QPolygonF line;
    if (static_cast<double>(to - from) <= 2 * columns) {
        // Few rows: each one where it is.
        Painter.setRenderHint(QPainter::Antialiasing, true);
        for (uint64_t row = from; row < to; ++row) {
            const double value = FSamples.Value(Series, row);
            if (std::isfinite(value)) line.append(QPointF(Bounded(Frame.PixelOfX(XOf(row))), Bounded(Frame.PixelOfY(value))));
        }
    } else {
        // Many: the first, smallest, largest and last value of each pixel column.
        Painter.setRenderHint(QPainter::Antialiasing, false);
        line.reserve(static_cast<qsizetype>(columns) * 4);
        uint64_t start = RowOf(Frame.Left);
        for (int column = 0; column < static_cast<int>(columns); ++column) {
            const uint64_t end = RowOf(Frame.XOfPixel(Frame.Area.left() + column + 1));
            const TPlotSamples::TExtent extent = FSamples.Extent(Series, start, end);
            if (!extent.Empty()) {
                const double first = FSamples.Value(Series, start);
                const double last = FSamples.Value(Series, end - 1);
                const double x = Frame.Area.left() + column + 0.5;
                for (const double value : {std::isfinite(first) ? first : extent.Min, extent.Min, extent.Max,
                                           std::isfinite(last) ? last : extent.Max})
                    line.append(QPointF(x, Bounded(Frame.PixelOfY(value))));
            }
            start = std::max(start, end);
        }
    }
    // A wide pen is stroked as an outline, which a dense line makes costly;
    // the thin one is drawn straight.
    QPen pen(SeriesColor(Series), line.size() < kWidePenPoints ? 1.5 : 1);
    pen.setCosmetic(true);
    pen.setStyle(kDashes[Series / kColors.size() % kDashes.size()]);
    Painter.setPen(pen);
    Painter.drawPolyline(line);
}

void TPlotView::DrawLegend(QPainter& Painter) const {
    Painter.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetricsF metrics(font());
    const std::vector<QRectF> places = LegendPlaces();
    for (std::size_t series = 0; series < places.size(); ++series) {
        const QRectF& place = places[series];
        const double middle = place.center().y();
        QPen pen(SeriesShown(series) ? SeriesColor(series) : QColor(0xB0, 0xB0, 0xB0), 3);
        pen.setStyle(kDashes[series / kColors.size() % kDashes.size()]);
        Painter.setPen(pen);
        Painter.drawLine(QPointF(place.left(), middle), QPointF(place.left() + kSwatch, middle));
        Painter.setPen(SeriesShown(series) ? QColor(0x20, 0x20, 0x20) : QColor(0xA0, 0xA0, 0xA0));
        Painter.drawText(QPointF(place.left() + kSwatch + 6, middle + metrics.ascent() / 2 - 1),
                         FNames[static_cast<qsizetype>(series)]);
    }
}

// ---- the crosshair ---------------------------------------------------------------------------

uint64_t TPlotView::NearestRow(double X) const {
    const uint64_t after = std::min(RowOf(X), FSamples.End() - 1);
    if (after == FSamples.First()) return after;
    return std::abs(XOf(after - 1) - X) <= std::abs(XOf(after) - X) ? after - 1 : after;
}

QStringList TPlotView::Readout() const {
    const TFrame frame = Frame();
    if (!FMouseIn || !frame.Area.contains(FMouse) || FSamples.Empty()) return {};
    const uint64_t row = NearestRow(frame.XOfPixel(FMouse.x()));
    QStringList lines{QStringLiteral("sample %1   %2 s").arg(row).arg(FSamples.Time(row), 0, 'f', 3)};
    for (std::size_t series = 0; series < FSamples.SeriesCount(); ++series)
        if (SeriesShown(series))
            lines.append(QStringLiteral("%1: %2").arg(FNames.value(static_cast<qsizetype>(series)),
                                                      ValueText(FSamples.Value(series, row))));
    return lines;
}

void TPlotView::DrawCrosshair(QPainter& Painter, const TFrame& Frame) const {
    const QStringList lines = Readout();
    if (lines.isEmpty()) return;
    Painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1, Qt::DashLine));
    Painter.drawLine(QPointF(FMouse.x(), Frame.Area.top()), QPointF(FMouse.x(), Frame.Area.bottom()));
    Painter.drawLine(QPointF(Frame.Area.left(), FMouse.y()), QPointF(Frame.Area.right(), FMouse.y()));
    const QFontMetricsF metrics(font());
    double textWidth = 0;
    for (const QString& line : lines) textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    const double lineHeight = metrics.height();
    QRectF box(0, 0, textWidth + 12, lineHeight * static_cast<double>(lines.size()) + 8);
    // Beside the mouse, on the side with room.
    box.moveTopLeft(QPointF(FMouse.x() + 12, FMouse.y() + 12));
    if (box.right() > Frame.Area.right()) box.moveRight(FMouse.x() - 12);
    if (box.bottom() > Frame.Area.bottom()) box.moveBottom(FMouse.y() - 12);
    Painter.setPen(QColor(0x80, 0x80, 0x80));
    Painter.setBrush(QColor(255, 255, 255, 230));
    Painter.drawRect(box);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Painter.setPen(i == 0 ? QColor(0x20, 0x20, 0x20) : SeriesColor(static_cast<std::size_t>(i - 1)));
        Painter.drawText(QPointF(box.left() + 6, box.top() + 4 + metrics.ascent() + lineHeight * static_cast<double>(i)),
                         lines[i]);
    }
}

// ---- the mouse ---------------------------------------------------------------------------------

void TPlotView::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton) return;
    const QPointF at = Event->position();
    const std::vector<QRectF> places = LegendPlaces();
    for (std::size_t series = 0; series < places.size(); ++series)
        if (places[series].contains(at)) return SetSeriesShown(series, !SeriesShown(series));
    if (!PlotArea().contains(at)) return;
    FDragging = true;
    FDragFrom = at.toPoint();
    FDragLeft = Left();
    FDragLow = FLow;
}

void TPlotView::mouseMoveEvent(QMouseEvent* Event) {
    FMouse = Event->position().toPoint();
    FMouseIn = true;
    if (FDragging) {
        const TFrame frame = Frame();
        const double rows = (FMouse.x() - FDragFrom.x()) / frame.Area.width() * frame.Span;
        PauseByUser();
        FPausedLeft = FDragLeft - rows;
        if (!FAutoRange) {
            const double shift = (FMouse.y() - FDragFrom.y()) / frame.Area.height() * (FHigh - FLow);
            FHigh = FDragLow + shift + (FHigh - FLow);
            FLow = FDragLow + shift;
            ChangedByUser();
        }
    }
    RequestFrame();
}

void TPlotView::mouseReleaseEvent(QMouseEvent*) { FDragging = false; }

void TPlotView::leaveEvent(QEvent*) {
    FMouseIn = false;
    RequestFrame();
}

void TPlotView::wheelEvent(QWheelEvent* Event) {
    const double factor = std::pow(0.8, Event->angleDelta().y() / 120.0);
    const TFrame frame = Frame();
    const QPointF at = Event->position();
    if (Event->modifiers() & Qt::ControlModifier) {
        const double y = frame.YOfPixel(at.y());
        SetRange(y - (y - FLow) * factor, y + (FHigh - y) * factor);
        ChangedByUser();
        return;
    }
    const double span = std::clamp(Span() * factor, kLeastSpan[FAxis], kMostSpan[FAxis]);
    if (FPaused) {
        // The place under the mouse stays there.
        const double x = frame.XOfPixel(at.x());
        FPausedLeft = x - (x - frame.Left) * span / Span();
    }
    SetSpan(span);
}
