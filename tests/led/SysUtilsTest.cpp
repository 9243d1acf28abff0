// SPDX-License-Identifier: GPL-3.0-or-later
// Rectangle helpers, colour resolution, gradients and 3D rings.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>

#include "led/LmSysUtils.h"
#include "tests/led/LedTestSupport.h"

namespace {

using Rows = std::vector<std::string>;

TColor Green(int G) { return RGB(0, G, 0); }
TColor Red(int R) { return RGB(R, 0, 0); }

// The colour of every pixel of row Y from X0 to X1 - 1, or -1 if they differ.
TColor RowColor(const TCanvas& Canvas, int Y, int X0, int X1) {
    const TColor first = Canvas.Pixels(X0, Y);
    for (int x = X0; x < X1; ++x)
        if (Canvas.Pixels(x, Y) != first) return -1;
    return first;
}

TColor ColumnColor(const TCanvas& Canvas, int X, int Y0, int Y1) {
    const TColor first = Canvas.Pixels(X, Y0);
    for (int y = Y0; y < Y1; ++y)
        if (Canvas.Pixels(X, y) != first) return -1;
    return first;
}

TEST(RectHelpers, SizesAndComparison) {
    EXPECT_EQ(WidthOf({3, 4, 10, 20}), 7);
    EXPECT_EQ(HeightOf({3, 4, 10, 20}), 16);
    EXPECT_EQ(WidthOf({10, 0, 3, 0}), -7);
    EXPECT_TRUE(CompareRect({1, 2, 3, 4}, {1, 2, 3, 4}));
    const std::array<TRect, 4> differing{{{0, 2, 3, 4}, {1, 0, 3, 4}, {1, 2, 0, 4}, {1, 2, 3, 0}}};
    for (const TRect& r : differing) EXPECT_FALSE(CompareRect({1, 2, 3, 4}, r));
}

TEST(Colors, SystemColoursResolveAndOthersPassUnchanged) {
    TFixedSysColors colors;
    EXPECT_EQ(Color2RGB(clBtnFace), kFace);
    EXPECT_EQ(Color2RGB(clWindowText), kWindowText);
    EXPECT_EQ(Color2RGB(0x0F00FF00), 0x0F00FF00);
    uint8_t r, g, b;
    GetRGB(0x7F332211, r, g, b);  // the top byte is ignored
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{0x11, 0x22, 0x33}));
    GetRGB(clBtnShadow, r, g, b);
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{100, 101, 102}));
}

TEST(Gradient, TopToBottomGreenToBlackRowByRow) {
    TCanvas canvas = Filled(27, 19, clWhite);
    DrawGradientExt(canvas, {0, 0, 27, 19}, clGreen, clBlack, GRADIENT_UPDOWN, 1);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(RowColor(canvas, i, 0, 27), Green(128 - (128 * i) / 19)) << "row " << i;
    EXPECT_EQ(canvas.Pixels(0, 0), Green(128));
    EXPECT_EQ(canvas.Pixels(0, 18), Green(7));
}

TEST(Gradient, BandsOfColorWidthAndTheLastOneOverhanging) {
    TCanvas canvas = Filled(4, 8, clWhite);
    DrawGradientExt(canvas, {0, 0, 4, 5}, Red(0), Red(250), GRADIENT_UPDOWN, 2);
    // Bands at 0, 2 and 4 with colours for 0/5, 2/5 and 4/5; the last reaches row 5.
    const std::array<TColor, 8> expected{Red(0), Red(0), Red(100), Red(100), Red(200), Red(200), clWhite, clWhite};
    for (int y = 0; y < 8; ++y) EXPECT_EQ(RowColor(canvas, y, 0, 4), expected[y]) << "row " << y;
}

TEST(Gradient, LeftToRightIncludesABandAtTheRightEdge) {
    TCanvas canvas = Filled(6, 2, clWhite);
    DrawGradientExt(canvas, {0, 0, 4, 2}, Red(0), Red(200), GRADIENT_LEFTRIGHT, 1);
    const std::array<TColor, 6> expected{Red(0), Red(50), Red(100), Red(150), Red(200), clWhite};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(ColumnColor(canvas, x, 0, 2), expected[x]) << "column " << x;
}

TEST(Gradient, HalfDirectionsTurnBackInTheMiddle) {
    TCanvas rows = Filled(2, 8, clWhite);
    DrawGradientExt(rows, {0, 0, 2, 5}, Red(0), Red(200), GRADIENT_UPDOWN_HALF, 1);
    const std::array<TColor, 8> expectedRows{Red(0), Red(100), Red(200), Red(100), Red(0), clWhite, clWhite, clWhite};
    for (int y = 0; y < 8; ++y) EXPECT_EQ(RowColor(rows, y, 0, 2), expectedRows[y]) << "row " << y;

    // An even width paints one column past the rectangle.
    TCanvas columns = Filled(8, 2, clWhite);
    DrawGradientExt(columns, {0, 0, 4, 2}, Red(0), Red(200), GRADIENT_LEFTRIGHT_HALF, 1);
    const std::array<TColor, 8> expectedColumns{Red(0), Red(100), Red(200), Red(100), Red(0), clWhite, clWhite, clWhite};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(ColumnColor(columns, x, 0, 2), expectedColumns[x]) << "column " << x;
}

TEST(Gradient, HalfBandPastTheMiddleStopsAtTheChannelLimit) {
    // Half of 10 is 5; bands of 2 turn at position 6, which is 6/5 of the way:
    // 306 for red, held at 255 rather than wrapped round to 50.
    TCanvas canvas = Filled(1, 14, clWhite);
    DrawGradientExt(canvas, {0, 0, 1, 10}, Red(0), Red(255), GRADIENT_UPDOWN_HALF, 2);
    const std::array<int, 7> bands{0, 102, 204, 255, 204, 102, 0};
    for (int y = 0; y < 14; ++y) EXPECT_EQ(canvas.Pixels(0, y), Red(bands[y / 2])) << "row " << y;
}

TEST(Gradient, ChordsRunDiagonallyFromTheCanvasOrigin) {
    TCanvas chord1 = Filled(4, 4, clWhite);
    DrawGradientExt(chord1, {0, 0, 2, 2}, Red(0), Red(200), GRADIENT_CHORD1, 1);
    // Line I runs from (I, 0) toward (-1, I), near the anti-diagonal x + y = I.
    EXPECT_EQ(chord1.Pixels(0, 0), Red(0));
    EXPECT_EQ(chord1.Pixels(1, 0), Red(50));
    EXPECT_EQ(chord1.Pixels(2, 0), Red(100));
    EXPECT_EQ(chord1.Pixels(2, 2), Red(200));
    EXPECT_EQ(chord1.Pixels(3, 3), clWhite);

    TCanvas chord2 = Filled(4, 4, clWhite);
    DrawGradientExt(chord2, {0, 0, 2, 2}, Red(0), Red(200), GRADIENT_CHORD2, 1);
    // Line I runs from (0, 2 - I) to (I, 2): the diagonal y - x = 2 - I.
    EXPECT_EQ(chord2.Pixels(0, 1), Red(50));
    EXPECT_EQ(chord2.Pixels(0, 0), Red(100));
    EXPECT_EQ(chord2.Pixels(1, 0), Red(150));
    EXPECT_EQ(chord2.Pixels(2, 0), Red(200));
    EXPECT_EQ(chord2.Pixels(0, 2), clWhite);  // line 0 has no points
}

TEST(Gradient, EqualColoursFillSolidly) {
    for (int direction : {GRADIENT_UPDOWN, GRADIENT_LEFTRIGHT, GRADIENT_UPDOWN_HALF, GRADIENT_LEFTRIGHT_HALF}) {
        TCanvas canvas = Filled(5, 5, clWhite);
        DrawGradientExt(canvas, {0, 0, 5, 5}, clMaroon, clMaroon, direction, 1);
        for (int y = 0; y < 5; ++y) EXPECT_EQ(RowColor(canvas, y, 0, 5), clMaroon) << "direction " << direction;
    }
}

TEST(Gradient, ResolvesSystemColoursAndIgnoresTheTopByte) {
    TFixedSysColors colors;
    TCanvas canvas = Filled(1, 2, clWhite);
    DrawGradientExt(canvas, {0, 0, 1, 2}, clBtnFace, 0x55000000, GRADIENT_UPDOWN, 1);
    EXPECT_EQ(canvas.Pixels(0, 0), kFace);
    EXPECT_EQ(canvas.Pixels(0, 1), RGB(100, 101, 101));  // halves truncated toward the start
}

TEST(Gradient, PaintsNothingForUnknownDirectionsOrEmptyHeight) {
    struct Case {
        int32_t Direction;
        TRect Rect;
    };
    const std::array<Case, 5> cases{{
        {0, {0, 0, 4, 4}},
        {7, {0, 0, 4, 4}},
        {-1, {0, 0, 4, 4}},
        {GRADIENT_UPDOWN, {0, 2, 4, 2}},
        {GRADIENT_UPDOWN, {0, 3, 4, 1}},
    }};
    for (const Case& c : cases) {
        TCanvas canvas = Filled(4, 4, clWhite);
        DrawGradientExt(canvas, c.Rect, clRed, clBlack, c.Direction, 1);
        EXPECT_EQ(Picture(canvas, {{clWhite, '.'}}), (Rows(4, "....")))
            << "direction " << c.Direction;
    }
}

TEST(Gradient, ZeroDivisorPaintsTheStartColour) {
    struct Case {
        int32_t Direction;
        TRect Rect;
        TPoint Probe;
    };
    const std::array<Case, 4> cases{{
        {GRADIENT_LEFTRIGHT, {1, 0, 1, 3}, {1, 1}},       // width 0: one band at the left edge
        {GRADIENT_UPDOWN_HALF, {0, 1, 3, 2}, {1, 1}},     // height 1: no half
        {GRADIENT_LEFTRIGHT_HALF, {2, 0, 3, 3}, {2, 2}},  // width 1: no half
        {GRADIENT_CHORD1, {0, 0, 0, 0}, {0, 0}},          // W + H = 0
    }};
    for (const Case& c : cases) {
        TCanvas canvas = Filled(4, 4, clWhite);
        DrawGradientExt(canvas, c.Rect, clRed, clBlack, c.Direction, 1);
        EXPECT_EQ(canvas.Pixels(c.Probe.X, c.Probe.Y), clRed) << "direction " << c.Direction;
    }
}

TEST(Gradient, ColorWidthBelowOneActsAsOne) {
    for (int direction = GRADIENT_UPDOWN; direction <= GRADIENT_LEFTRIGHT_HALF; ++direction) {
        TCanvas one = Filled(9, 7, clWhite);
        DrawGradientExt(one, {1, 1, 8, 6}, clRed, clBlue, direction, 1);
        for (int width : {0, -5}) {
            TCanvas other = Filled(9, 7, clWhite);
            DrawGradientExt(other, {1, 1, 8, 6}, clRed, clBlue, direction, width);
            EXPECT_TRUE(std::equal(one.Bits(), one.Bits() + 9 * 7, other.Bits()))
                << "direction " << direction << ", width " << width;
        }
    }
}

TEST(Gradient, HugeRectanglesOnlyCostTheCanvas) {
    const int32_t big = std::numeric_limits<int32_t>::max() - 1, small = std::numeric_limits<int32_t>::min() + 1;
    for (int direction = GRADIENT_UPDOWN; direction <= GRADIENT_LEFTRIGHT_HALF; ++direction) {
        for (int width : {1, 1000000}) {
            TCanvas canvas = Filled(6, 5, clWhite);
            DrawGradientExt(canvas, {small, small, big, big}, clRed, clRed, direction, width);
            // Bands fill the canvas; chords, from the origin, at least reach it.
            EXPECT_EQ(canvas.Pixels(0, 0), clRed) << "direction " << direction << ", width " << width;
        }
    }
}

TEST(Frame3D, WidthTwoPaintsNestedRingsAndShrinks) {
    TCanvas canvas = Filled(10, 10, clRed);
    TRect rect{0, 0, 10, 10};
    DrawFrame3D(canvas, rect, clWhite, clBlack, 2);
    EXPECT_EQ(rect, (TRect{2, 2, 8, 8}));
    EXPECT_EQ(canvas.Pixels(9, 0), clBlack);
    EXPECT_EQ(canvas.Pixels(0, 9), clBlack);
    EXPECT_EQ(canvas.Pixels(0, 0), clWhite);
    EXPECT_EQ(Picture(canvas, {{clWhite, 'w'}, {clBlack, 'b'}, {clRed, '.'}}), (Rows{
                                                                                   "wwwwwwwwwb",
                                                                                   "wwwwwwwwbb",
                                                                                   "ww......bb",
                                                                                   "ww......bb",
                                                                                   "ww......bb",
                                                                                   "ww......bb",
                                                                                   "ww......bb",
                                                                                   "ww......bb",
                                                                                   "wbbbbbbbbb",
                                                                                   "bbbbbbbbbb",
                                                                               }));
}

TEST(Frame3D, WidthZeroOrLessPaintsNothingButResetsThePen) {
    for (int width : {0, -2}) {
        TCanvas canvas = Filled(4, 4, clRed);
        canvas.Pen().SetWidth(5);
        TRect rect{0, 0, 4, 4};
        DrawFrame3D(canvas, rect, clWhite, clBlack, width);
        EXPECT_EQ(rect, (TRect{0, 0, 4, 4}));
        EXPECT_EQ(canvas.Pen().GetWidth(), 1);
        EXPECT_EQ(Picture(canvas, {{clRed, '.'}}), (Rows(4, "....")));
    }
}

TEST(Frame3D, TooWideRingsOverlapAndInvertTheRectangle) {
    TCanvas canvas = Filled(4, 4, clRed);
    TRect rect{0, 0, 4, 4};
    DrawFrame3D(canvas, rect, clWhite, clBlack, 3);
    EXPECT_EQ(rect, (TRect{3, 3, 1, 1}));
    EXPECT_EQ(canvas.Pixels(1, 1), clWhite);  // the second ring's corner, never painted over
    EXPECT_EQ(Picture(canvas, {{clWhite, 'w'}, {clBlack, 'b'}, {clRed, '.'}}),
              (Rows{"wwwb", "wwwb", "wbwb", "bbbb"}));
}

TEST(Frame3D, HugeWidthsOnlyCostTheCanvas) {
    TCanvas canvas = Filled(5, 5, clRed);
    TRect rect{-1000, -1000, 1005, 1005};
    const int32_t huge = std::numeric_limits<int32_t>::max();
    DrawFrame3D(canvas, rect, clWhite, clWhite, huge);
    EXPECT_EQ(Picture(canvas, {{clWhite, 'w'}}), (Rows(5, "wwwww")));
    EXPECT_EQ(rect, (TRect{huge - 1000, huge - 1000, 1005 - huge, 1005 - huge}));
}

}  // namespace
