// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A live plot of the samples a TPlotSamples keeps. It follows the newest rows
// until paused (or panned), then keeps its place while rows arrive. Wide
// stretches are drawn as the smallest and largest value of each pixel column,
// so a frame costs what the columns cost, not what the rows do; frames come
// at most 60 a second, whatever arrives. The wheel zooms the horizontal axis
// (with Ctrl the vertical one), dragging pans, a crosshair reads out the row
// under the mouse, and a click on the legend shows or hides a series.

#include <QColor>
#include <QPoint>
#include <QRectF>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plot/PlotSamples.h"
#include "toolkit/ui/FrameTimer.h"

class QPainter;

class TPlotView : public QWidget {
public:
    enum TAxis : uint8_t { SampleAxis, TimeAxis };

    explicit TPlotView(const TPlotSamples& Samples, QWidget* Parent = nullptr);

    // The samples or the names of the series changed: the next frame shows it.
    void SamplesChanged();
    void SetSeriesNames(const std::vector<std::string>& Names);
    const QStringList& SeriesNames() const { return FNames; }

    // Paused, the view keeps its place; data are still collected.
    void SetPaused(bool Paused);
    bool Paused() const { return FPaused; }
    // Called when the user pauses the view by panning it, or fixes its
    // vertical range by zooming or panning it.
    std::function<void()> OnChangedByUser;

    void SetAxis(TAxis Axis);
    TAxis Axis() const { return FAxis; }
    // The horizontal range in view, in rows or in seconds.
    double Left() const;
    double Span() const { return FSpan[FAxis]; }
    void SetSpan(double Span);

    // The vertical range: automatic, from the values in view, or fixed.
    void SetAutoRange(bool On);
    bool AutoRange() const { return FAutoRange; }
    void SetRange(double Low, double High);
    double Low() const { return FLow; }
    double High() const { return FHigh; }

    void SetSeriesShown(std::size_t Series, bool Shown);
    bool SeriesShown(std::size_t Series) const { return Series < FHidden.size() ? !FHidden[Series] : false; }

    // What the crosshair reads out, one line each for the position and the
    // shown series; empty while the mouse is away.
    QStringList Readout() const;
    // Frames painted so far, and whether a change waits for the next one.
    uint64_t Frames() const { return FFrames; }
    bool FramePending() const { return FFrameTimer.Pending(); }
    // The series' colour; after the first eight, the colours come again with
    // another dash.
    static QColor SeriesColor(std::size_t Series);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    // Where the view stands, for one frame or one mouse event.
    struct TFrame {
        QRectF Area;
        double Left, Span, Low, High;
        double PixelOfX(double X) const { return Area.left() + (X - Left) / Span * Area.width(); }
        double XOfPixel(double Pixel) const { return Left + (Pixel - Area.left()) / Area.width() * Span; }
        double PixelOfY(double Y) const { return Area.bottom() - (Y - Low) / (High - Low) * Area.height(); }
        double YOfPixel(double Pixel) const { return Low + (Area.bottom() - Pixel) / Area.height() * (High - Low); }
    };

    void RequestFrame();
    void PauseByUser();
    void ChangedByUser() const {
        if (OnChangedByUser) OnChangedByUser();
    }
    QRectF PlotArea() const;
    std::vector<QRectF> LegendPlaces() const;
    // The horizontal position of a row and the row at a position (the first
    // at or after it), in the units of the axis.
    double XOf(uint64_t Row) const;
    uint64_t RowOf(double X) const;
    // The rows of the view, with one more on each side to draw the lines
    // that leave it.
    std::pair<uint64_t, uint64_t> RowsInView(const TFrame& Frame) const;
    uint64_t NearestRow(double X) const;
    TFrame Frame() const;
    void FitRange(const TFrame& Frame);
    void DrawGrid(QPainter& Painter, const TFrame& Frame) const;
    void DrawSeries(QPainter& Painter, const TFrame& Frame, std::size_t Series) const;
    void DrawLegend(QPainter& Painter) const;
    void DrawCrosshair(QPainter& Painter, const TFrame& Frame) const;

    const TPlotSamples& FSamples;
    QStringList FNames;
    std::vector<bool> FHidden;
    bool FPaused = false;
    TAxis FAxis = SampleAxis;
    std::array<double, 2> FSpan{1000, 10};
    double FPausedLeft = 0;
    bool FAutoRange = true;
    double FLow = 0;
    double FHigh = 1;
    TFrameTimer FFrameTimer;
    uint64_t FFrames = 0;
    bool FMouseIn = false;
    QPoint FMouse;
    bool FDragging = false;
    QPoint FDragFrom;
    double FDragLeft = 0;
    double FDragLow = 0;
};
