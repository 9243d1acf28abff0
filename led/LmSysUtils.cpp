// SPDX-License-Identifier: GPL-3.0-or-later
#include "led/LmSysUtils.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

int32_t Saturate(int64_t Value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(Value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int64_t FloorDiv(int64_t A, int64_t B) { return A / B - ((A % B != 0) && ((A < 0) != (B < 0))); }
int64_t CeilDiv(int64_t A, int64_t B) { return -FloorDiv(-A, B); }

// Far enough outside any canvas that moving an end point there changes no pixel.
constexpr int64_t kFar = int64_t{1} << 30;
int32_t Clamped(int64_t V) { return static_cast<int32_t>(std::clamp(V, -kFar, kFar)); }

struct TRGB {
    int64_t R, G, B;
};

TRGB ToRGB(TColor Color) {
    uint8_t r, g, b;
    GetRGB(Color, r, g, b);
    return {r, g, b};
}

// The colour at band position I of D between two colours. A zero divisor
// gives the start colour. A channel that overshoots (a half gradient whose
// band width does not divide the half) stops at 0 or 255 instead of wrapping.
class TGradientColors {
public:
    TGradientColors(TColor Start, TColor End) : FStart(ToRGB(Start)), FEnd(ToRGB(End)) {}

    TColor At(int64_t I, int64_t D) const {
        if (D == 0) return Pack(FStart.R, FStart.G, FStart.B);
        return Pack(Channel(FStart.R, FEnd.R, I, D), Channel(FStart.G, FEnd.G, I, D), Channel(FStart.B, FEnd.B, I, D));
    }

private:
    static int64_t Channel(int64_t C1, int64_t C2, int64_t I, int64_t D) {
        return std::clamp<int64_t>(C1 + (C2 - C1) * I / D, 0, 255);  // '/' truncates toward zero
    }
    static TColor Pack(int64_t R, int64_t G, int64_t B) { return static_cast<TColor>(R | (G << 8) | (B << 16)); }

    TRGB FStart, FEnd;
};

// Bands Step pixels thick laid side by side from the rectangle's edge along
// one axis: band J covers Origin + J*Step .. Origin + (J+1)*Step - 1. Its
// colour is that of position J*Step, or of (2*Turn - J)*Step once J has passed
// Turn, where a half gradient heads back to its start colour.
struct TBandRun {
    bool Rows;  // horizontal bands moving down, else vertical bands moving right
    int64_t Count;
    int64_t Divisor;
    int64_t Turn;
};

// Bands that cannot reach the canvas are skipped, so a huge rectangle costs no
// more than the canvas.
void PaintBands(TCanvas& Canvas, const TRect& Rect, int64_t Step, const TGradientColors& Colors, const TBandRun& Run) {
    const int64_t origin = Run.Rows ? Rect.Top : Rect.Left;
    const int64_t extent = Run.Rows ? Canvas.Height() : Canvas.Width();
    const int64_t first = std::max<int64_t>(0, FloorDiv(-origin, Step));
    const int64_t end = std::min(Run.Count, std::max<int64_t>(0, CeilDiv(extent - origin, Step)));
    for (int64_t j = first; j < end; ++j) {
        const int64_t at = origin + j * Step;
        const TRect band = Run.Rows ? TRect{Rect.Left, Saturate(at), Rect.Right, Saturate(at + Step)}
                                    : TRect{Saturate(at), Rect.Top, Saturate(at + Step), Rect.Bottom};
        const int64_t position = (j <= Run.Turn ? j : 2 * Run.Turn - j) * Step;
        Canvas.Brush().SetColor(Colors.At(position, Run.Divisor));
        Canvas.FillRect(band);
    }
}

TBandRun StraightRun(bool Rows, int64_t Count, int64_t Divisor) { return {Rows, Count, Divisor, Count}; }

TBandRun HalfRun(bool Rows, int64_t Size, int64_t Step) {
    const int64_t middle = Size / 2;  // truncated toward zero
    const int64_t turn = middle > 0 ? CeilDiv(middle, Step) : 0;
    return {Rows, 2 * turn + 1, middle, turn};
}

// Diagonal lines for I = 0, Step, ... up to W + H, in the canvas's own
// coordinates and Step pixels thick. Lines that miss the canvas are skipped.
void PaintChords(TCanvas& Canvas, int64_t W, int64_t H, int64_t Step, const TGradientColors& Colors, bool FromTop) {
    Canvas.Pen().SetWidth(Saturate(Step));
    const int64_t loopEnd = W + H;
    if (loopEnd < 0) return;
    const int64_t margin = 2 * Step + 2;
    const int64_t cw = Canvas.Width(), ch = Canvas.Height();
    // CHORD1 lines run near x + y = I, CHORD2 lines on y - x = H - I.
    const int64_t low = FromTop ? 0 : H - ch - margin;
    const int64_t high = FromTop ? cw + ch + margin : H + cw + margin;
    const int64_t first = std::max<int64_t>(0, CeilDiv(low, Step));
    const int64_t last = std::min(FloorDiv(loopEnd, Step), FloorDiv(high, Step));
    for (int64_t j = first; j <= last; ++j) {
        const int64_t i = j * Step;
        Canvas.Pen().SetColor(Colors.At(i, loopEnd));
        if (FromTop) {
            Canvas.MoveTo(Clamped(i), 0);
            Canvas.LineTo(-1, Clamped(i));
        } else {
            // The same 45-degree line, cut short far beyond the canvas when I is huge.
            const int64_t run = std::min(i, kFar);
            Canvas.MoveTo(0, Clamped(H - i));
            Canvas.LineTo(Clamped(run), Clamped(H - i + run));
        }
    }
}

// One ring on L, T, R, B with R and B inclusive.
void PaintRing(TCanvas& Canvas, int64_t L, int64_t T, int64_t R, int64_t B, TColor TopColor, TColor BottomColor) {
    const std::array<TPoint, 3> topLeft{{{Clamped(L), Clamped(B)}, {Clamped(L), Clamped(T)}, {Clamped(R), Clamped(T)}}};
    const std::array<TPoint, 3> bottomRight{
        {{Clamped(R), Clamped(T)}, {Clamped(R), Clamped(B)}, {Clamped(L - 1), Clamped(B)}}};
    Canvas.Pen().SetColor(TopColor);
    Canvas.Polyline(topLeft);
    Canvas.Pen().SetColor(BottomColor);
    Canvas.Polyline(bottomRight);
}

// Ring I paints only on its four edge lines x = L+I, x = R-I, y = T+I and
// y = B-I, so only rings with an edge on the canvas need drawing: at most
// twice the canvas's width plus height, whatever Width asks for.
void PaintRings(TCanvas& Canvas, const TRect& Rect, TColor TopColor, TColor BottomColor, int64_t Width) {
    const int64_t l = Rect.Left, t = Rect.Top, r = int64_t{Rect.Right} - 1, b = int64_t{Rect.Bottom} - 1;
    const int64_t cw = Canvas.Width(), ch = Canvas.Height();
    std::array<std::pair<int64_t, int64_t>, 4> spans{{{-l, cw - l}, {r - cw + 1, r + 1}, {-t, ch - t}, {b - ch + 1, b + 1}}};
    std::sort(spans.begin(), spans.end());
    int64_t next = 0;
    for (const auto& [from, to] : spans) {
        for (int64_t i = std::max(from, next); i < std::min(to, Width); ++i)
            PaintRing(Canvas, l + i, t + i, r - i, b - i, TopColor, BottomColor);
        next = std::max(next, to);
    }
}

}  // namespace

int32_t WidthOf(const TRect& R) { return static_cast<int32_t>(int64_t{R.Right} - R.Left); }
int32_t HeightOf(const TRect& R) { return static_cast<int32_t>(int64_t{R.Bottom} - R.Top); }
bool CompareRect(const TRect& R1, const TRect& R2) { return R1 == R2; }

int32_t Color2RGB(TColor Color) { return Color < 0 ? GetSysColor(Color & 0xFF) : Color; }

void GetRGB(TColor Color, uint8_t& R, uint8_t& G, uint8_t& B) {
    const int32_t rgb = Color2RGB(Color);
    R = static_cast<uint8_t>(rgb & 0xFF);
    G = static_cast<uint8_t>((rgb >> 8) & 0xFF);
    B = static_cast<uint8_t>((rgb >> 16) & 0xFF);
}

void DrawGradientExt(TCanvas& Canvas, const TRect& Rect, TColor StartColor, TColor EndColor, int32_t Direction,
                     int32_t ColorWidth) {
    const int64_t w = int64_t{Rect.Right} - Rect.Left, h = int64_t{Rect.Bottom} - Rect.Top;
    const int64_t step = std::max(ColorWidth, 1);
    const TGradientColors colors(StartColor, EndColor);
    switch (Direction) {
        case GRADIENT_UPDOWN:
            PaintBands(Canvas, Rect, step, colors, StraightRun(true, h > 0 ? CeilDiv(h, step) : 0, h));
            break;
        case GRADIENT_LEFTRIGHT:
            PaintBands(Canvas, Rect, step, colors, StraightRun(false, w >= 0 ? w / step + 1 : 0, w));
            break;
        case GRADIENT_CHORD1:
        case GRADIENT_CHORD2:
            PaintChords(Canvas, w, h, step, colors, Direction == GRADIENT_CHORD1);
            break;
        case GRADIENT_UPDOWN_HALF:
            PaintBands(Canvas, Rect, step, colors, HalfRun(true, h, step));
            break;
        case GRADIENT_LEFTRIGHT_HALF:
            PaintBands(Canvas, Rect, step, colors, HalfRun(false, w, step));
            break;
        default:
            break;
    }
}

void DrawFrame3D(TCanvas& Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width) {
    Canvas.Pen().SetWidth(1);
    if (Width <= 0) return;
    PaintRings(Canvas, Rect, TopColor, BottomColor, Width);
    Rect = ShrinkRect(Rect, Width);
}

TRect ShrinkRect(const TRect& Rect, int64_t By) {
    return {Saturate(Rect.Left + By), Saturate(Rect.Top + By), Saturate(Rect.Right - By), Saturate(Rect.Bottom - By)};
}
