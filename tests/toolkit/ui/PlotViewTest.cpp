// SPDX-License-Identifier: GPL-3.0-or-later
// The plot control on the offscreen platform: following the newest rows,
// keeping its place when paused or panned while rows arrive, zooming,
// the crosshair's readout, the legend, the frame rate, and the extremes of a
// wide stretch drawn in their pixel column.

#include "toolkit/ui/PlotView.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "tests/toolkit/ui/QtTestSupport.h"

namespace {

class PlotView : public testing::Test {
protected:
    void SetUp() override {
        View.resize(600, 300);
        View.SetSeriesNames({"sin", "ramp"});
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    }

    // Rows of a sine and a ramp, ten a second.
    void Append(uint64_t Rows) {
        for (uint64_t i = 0; i < Rows; ++i) {
            const uint64_t row = Samples.End();
            Samples.Append(static_cast<double>(row) / 10, {std::sin(static_cast<double>(row) / 50), static_cast<double>(row)});
        }
        View.SamplesChanged();
    }

    // The plot area spans 64..576 of the view's 600 pixels.
    QPoint InPlot(double Fraction) const { return QPoint(64 + static_cast<int>(Fraction * 512), 150); }

    void Wheel(QPoint At, int Notches, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QWheelEvent wheel(At, View.mapToGlobal(At), QPoint(), QPoint(0, 120 * Notches), Qt::NoButton, Modifiers,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&View, &wheel);
    }

    TPlotSamples Samples{5000};
    TPlotView View{Samples};
};

TEST_F(PlotView, FollowsTheNewestRowsAndKeepsItsPlaceWhenPaused) {
    Append(300);
    EXPECT_EQ(View.Left(), 0);  // the line grows from the left until the view is full
    Append(2000);
    EXPECT_EQ(View.Left(), 2299 - View.Span());

    View.SetPaused(true);
    const double left = View.Left();
    // Rows arrive, and the ring drops the oldest: the view stays.
    Append(6000);
    EXPECT_EQ(View.Left(), left);
    EXPECT_GT(Samples.First(), 2000u);

    View.SetAxis(TPlotView::TimeAxis);
    EXPECT_NEAR(View.Left(), Samples.Time(Samples.First()), 1e-3);  // the oldest row kept that was in view
    View.SetAxis(TPlotView::SampleAxis);
    View.SetPaused(false);
    EXPECT_EQ(View.Left(), 8299 - View.Span());
    View.SetAxis(TPlotView::TimeAxis);
    EXPECT_NEAR(View.Left(), 829.9 - View.Span(), 1e-3);
}

TEST_F(PlotView, PanningPausesAndKeepsThePlaceWhileRowsArrive) {
    Append(3000);
    int changes = 0;
    View.OnChangedByUser = [&] { ++changes; };
    const double span = View.Span();
    const double left = View.Left();
    // Dragging right by a fifth of the plot shows older rows.
    QTest::mousePress(&View, Qt::LeftButton, {}, InPlot(0.5));
    QTest::mouseMove(&View, InPlot(0.7));
    QTest::mouseRelease(&View, Qt::LeftButton, {}, InPlot(0.7));
    EXPECT_TRUE(View.Paused());
    EXPECT_GE(changes, 1);
    EXPECT_NEAR(View.Left(), left - span * 0.2, span * 0.01);
    const double panned = View.Left();
    Append(1000);
    EXPECT_EQ(View.Left(), panned);

    // Panning reaches the oldest kept row.
    QTest::mousePress(&View, Qt::LeftButton, {}, InPlot(0.0));
    QTest::mouseMove(&View, InPlot(1.0));
    QTest::mouseMove(&View, InPlot(1.0) + QPoint(512, 0));
    QTest::mouseRelease(&View, Qt::LeftButton, {}, InPlot(1.0));
    EXPECT_LE(View.Left(), static_cast<double>(Samples.First()));
}

TEST_F(PlotView, TheWheelZoomsAroundTheMouseAndCtrlZoomsTheValues) {
    Append(3000);
    const double span = View.Span();
    // Live, the view stays on the newest rows.
    Wheel(InPlot(0.5), 1);
    EXPECT_NEAR(View.Span(), span * 0.8, 1e-9);
    EXPECT_FALSE(View.Paused());
    EXPECT_NEAR(View.Left(), 2999 - View.Span(), 1e-9);
    // Paused, the row under the mouse stays under it.
    View.SetPaused(true);
    const double under = View.Left() + View.Span() * 0.25;
    Wheel(InPlot(0.25), -2);
    EXPECT_NEAR(View.Span(), span * 0.8 / 0.64, 1e-6);
    EXPECT_NEAR(View.Left() + View.Span() * 0.25, under, View.Span() * 0.01);

    ASSERT_TRUE(WaitFor([&] { return View.Frames() > 0; }));
    EXPECT_TRUE(View.AutoRange());
    const double range = View.High() - View.Low();
    Wheel(InPlot(0.5), 1, Qt::ControlModifier);
    EXPECT_FALSE(View.AutoRange());
    EXPECT_NEAR(View.High() - View.Low(), range * 0.8, range * 1e-9);
}

TEST_F(PlotView, TheCrosshairReadsOutTheRowUnderTheMouseAndTheLegendHidesASeries) {
    Append(400);
    EXPECT_TRUE(View.Readout().isEmpty());
    View.SetPaused(true);
    View.SetSpan(100);
    View.SetPaused(false);
    QTest::mouseMove(&View, InPlot(0.5));
    ASSERT_TRUE(WaitFor([&] { return !View.Readout().isEmpty(); }));
    // 300..400 in view: the middle is row 349 or 350.
    const QStringList readout = View.Readout();
    ASSERT_EQ(readout.size(), 3);
    const uint64_t row = readout[0].startsWith(QStringLiteral("sample 350")) ? 350 : 349;
    EXPECT_EQ(readout[0], QStringLiteral("sample %1   %2 s").arg(row).arg(static_cast<double>(row) / 10, 0, 'f', 3));
    EXPECT_EQ(readout[1], QStringLiteral("sin: %1").arg(std::sin(static_cast<double>(row) / 50), 0, 'g', 10));
    EXPECT_EQ(readout[2], QStringLiteral("ramp: %1").arg(row));

    // The legend stands above the plot, one entry a series.
    QTest::mouseClick(&View, Qt::LeftButton, {}, QPoint(70, 12));
    EXPECT_FALSE(View.SeriesShown(0));
    EXPECT_EQ(View.Readout().size(), 2);
    QTest::mouseClick(&View, Qt::LeftButton, {}, QPoint(70, 12));
    EXPECT_TRUE(View.SeriesShown(0));
}

TEST_F(PlotView, DrawsAtMost60FramesASecond) {
    QElapsedTimer clock;
    clock.start();
    const uint64_t before = View.Frames();
    while (clock.elapsed() < 500) {
        Append(10);
        QCoreApplication::processEvents();
    }
    const double frames = static_cast<double>(View.Frames() - before);
    EXPECT_GT(frames, 0);
    EXPECT_LE(frames, static_cast<double>(clock.elapsed()) / TFrameTimer::kFrameMs + 2);
}

TEST_F(PlotView, RowsArrivingInOneTurnAreDrawnInOneFrame) {
    ASSERT_TRUE(WaitFor([&] { return !View.FramePending(); }));
    QCoreApplication::processEvents();
    const uint64_t before = View.Frames();
    for (int i = 0; i < 1000; ++i) Append(3);
    EXPECT_EQ(View.Frames(), before);
    ASSERT_TRUE(WaitFor([&] { return View.Frames() > before && !View.FramePending(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(View.Frames(), before + 1);
    EXPECT_EQ(View.Left(), 2999 - View.Span());
}

TEST(PlotViewDrawing, AWideStretchShowsTheExtremesOfEachPixelColumn) {
    // A million rows of zero with one spike up and one down: each must
    // reach its edge of the plot.
    TPlotSamples samples(TPlotSamples::MaxKeep);
    std::vector<double> value{0};
    for (uint64_t row = 0; row < 1'000'000; ++row) {
        value[0] = row == 400'001 ? 100 : row == 700'003 ? -100 : 0;
        samples.Append(0, value);
    }
    TPlotView view(samples);
    view.resize(600, 300);
    view.SetSeriesNames({"spikes"});
    view.SetSpan(1'000'000);
    const QImage image = view.grab().toImage();
    const QColor color = TPlotView::SeriesColor(0);
    int top = image.height(), bottom = 0;
    for (int y = 28; y < image.height(); ++y)  // below the legend
        for (int x = 64; x < 560; ++x)
            if (image.pixelColor(x, y) == color) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    // The plot's 234 pixels from 28 down span -110..110: the auto range
    // leaves 5% above and below the extremes.
    EXPECT_NEAR(top, 28 + 234 * 10 / 220.0, 2);
    EXPECT_NEAR(bottom, 28 + 234 * 210 / 220.0, 2);
    EXPECT_NEAR(view.High(), 110, 1e-9);
    EXPECT_NEAR(view.Low(), -110, 1e-9);
}

}  // namespace
