// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas's drawing rules, checked pixel by pixel.

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "tests/led/LedTestSupport.h"
#include "toolkit/core/Canvas.h"

namespace {

const std::map<TColor, char> kLegend{{clWhite, '.'}, {clBlack, '#'}, {clRed, 'r'}};

std::vector<std::string> Draw(int Width, int Height, const std::function<void(TCanvas&)>& Paint) {
    TCanvas canvas(Width, Height);
    canvas.Pen().SetColor(clBlack);
    canvas.Brush().SetColor(clBlack);
    Paint(canvas);
    return Picture(canvas, kLegend);
}

using Rows = std::vector<std::string>;

TEST(Canvas, StartsWhiteAndReadsBackOnlyInside) {
    TCanvas canvas(3, 2);
    EXPECT_EQ(Picture(canvas, kLegend), (Rows{"...", "..."}));
    EXPECT_EQ(canvas.Pixels(-1, 0), -1);
    EXPECT_EQ(canvas.Pixels(3, 0), -1);
    EXPECT_EQ(canvas.Pixels(0, 2), -1);
}

TEST(Canvas, NegativeSizeIsEmpty) {
    TCanvas canvas(-4, 5);
    EXPECT_EQ(canvas.Width(), 0);
    EXPECT_EQ(canvas.Height(), 5);
    canvas.FillRect({0, 0, 10, 10});  // nothing to paint, nothing to break
}

TEST(Canvas, FillRectCoversLeftToRightMinusOne) {
    EXPECT_EQ(Draw(6, 5, [](TCanvas& c) { c.FillRect({1, 1, 4, 3}); }),
              (Rows{"......", ".###..", ".###..", "......", "......"}));
}

TEST(Canvas, FillRectClipsAndIgnoresInvertedRectangles) {
    EXPECT_EQ(Draw(4, 3, [](TCanvas& c) { c.FillRect({-5, 2, 2, 99}); }), (Rows{"....", "....", "##.."}));
    EXPECT_EQ(Draw(4, 3, [](TCanvas& c) { c.FillRect({3, 0, 1, 3}); }), (Rows{"....", "....", "...."}));
    const int32_t big = std::numeric_limits<int32_t>::max(), small = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(Draw(2, 2, [&](TCanvas& c) { c.FillRect({small, small, big, big}); }), (Rows{"##", "##"}));
}

TEST(Canvas, LinesLeaveOutTheirFinalPoint) {
    struct Case {
        TPoint From, To;
        Rows Expected;
    };
    const std::array<Case, 5> cases{{
        {{0, 1}, {4, 1}, {".....", "####.", ".....", ".....", "....."}},
        {{3, 4}, {3, 0}, {".....", "...#.", "...#.", "...#.", "...#."}},
        {{0, 0}, {4, 4}, {"#....", ".#...", "..#..", "...#.", "....."}},
        {{4, 0}, {0, 4}, {"....#", "...#.", "..#..", ".#...", "....."}},
        {{2, 2}, {2, 2}, {".....", ".....", ".....", ".....", "....."}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.From.X << "," << c.From.Y << ") to (" << c.To.X << "," << c.To.Y << ")");
        EXPECT_EQ(Draw(5, 5,
                       [&](TCanvas& canvas) {
                           canvas.MoveTo(c.From.X, c.From.Y);
                           canvas.LineTo(c.To.X, c.To.Y);
                           EXPECT_EQ(canvas.PenPos(), c.To);
                       }),
                  c.Expected);
    }
}

TEST(Canvas, ShallowLinesStepEvenly) {
    EXPECT_EQ(Draw(7, 3,
                   [](TCanvas& c) {
                       c.MoveTo(0, 0);
                       c.LineTo(6, 2);
                   }),
              (Rows{"##.....", "..###..", ".....#."}));
}

TEST(Canvas, PolylinePaintsInnerCornersButNotTheLastPoint) {
    const std::array<TPoint, 4> points{{{0, 3}, {0, 0}, {3, 0}, {3, 3}}};
    EXPECT_EQ(Draw(5, 4, [&](TCanvas& c) { c.Polyline(points); }), (Rows{"####.", "#..#.", "#..#.", "#...."}));
}

TEST(Canvas, PolylineLeavesThePenWhereItWas) {
    TCanvas canvas(4, 4);
    canvas.MoveTo(1, 2);
    const std::array<TPoint, 2> points{{{0, 0}, {3, 0}}};
    canvas.Polyline(points);
    EXPECT_EQ(canvas.PenPos(), (TPoint{1, 2}));
}

TEST(Canvas, WidePenStampsASquareAtEveryPoint) {
    EXPECT_EQ(Draw(6, 5,
                   [](TCanvas& c) {
                       c.Pen().SetWidth(3);
                       c.MoveTo(1, 2);
                       c.LineTo(4, 2);
                   }),
              (Rows{"......", "#####.", "#####.", "#####.", "......"}));
}

TEST(Canvas, PenWidthBelowOneDrawsOnePixel) {
    for (int width : {0, -3}) {
        EXPECT_EQ(Draw(3, 2,
                       [&](TCanvas& c) {
                           c.Pen().SetWidth(width);
                           c.MoveTo(0, 0);
                           c.LineTo(3, 0);
                       }),
                  (Rows{"###", "..."}));
    }
}

TEST(Canvas, LinesFromFarAwayAreClippedToTheBuffer) {
    const int32_t far = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(Draw(4, 3,
                   [&](TCanvas& c) {
                       c.MoveTo(-far, 1);
                       c.LineTo(far, 1);
                       c.MoveTo(2, far);
                       c.LineTo(2, -far);
                   }),
              (Rows{"..#.", "####", "..#."}));
    // A 45-degree line entering from far away stays on its diagonal.
    EXPECT_EQ(Draw(3, 3,
                   [&](TCanvas& c) {
                       c.MoveTo(-1000000000, -1000000000);
                       c.LineTo(2, 2);
                   }),
              (Rows{"#..", ".#.", "..."}));
}

TEST(Canvas, ColoursResolveSystemColoursAndIgnoreTheTopByte) {
    TFixedSysColors colors;
    TCanvas canvas(2, 1);
    canvas.Brush().SetColor(clBtnShadow);
    canvas.FillRect({0, 0, 1, 1});
    canvas.Pen().SetColor(0x7F0000FF);  // red with junk in the top byte
    canvas.MoveTo(1, 0);
    canvas.LineTo(2, 0);
    EXPECT_EQ(canvas.Pixels(0, 0), kShadow);
    EXPECT_EQ(canvas.Pixels(1, 0), clRed);
}

TEST(Canvas, BitsAreRowMajorRgbWords) {
    TCanvas canvas(2, 2);
    canvas.Brush().SetColor(RGB(0x12, 0x34, 0x56));
    canvas.FillRect({1, 1, 2, 2});
    EXPECT_EQ(canvas.Bits()[3], 0xFF123456u);
    EXPECT_EQ(canvas.Bits()[0], 0xFFFFFFFFu);
}

TEST(SysColors, ProviderIsReplaceableAndRestorable) {
    const TColor before = GetSysColor(COLOR_BTNFACE);
    {
        TFixedSysColors colors;
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), kFace);
        EXPECT_EQ(ColorToRGB(clBtnHighlight), kHighlight);
    }
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), before);
}

}  // namespace
