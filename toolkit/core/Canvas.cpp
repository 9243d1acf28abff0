// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#ifdef _WIN32
#include "toolkit/core/PlatformSysColor.h"
#endif

namespace {

constexpr TColor RGB(int R, int G, int B) { return R | (G << 8) | (B << 16); }

TSysColorProvider& Provider() {
#ifdef _WIN32
    static TSysColorProvider provider = PlatformSysColor;
#else
    static TSysColorProvider provider = DefaultSysColor;
#endif
    return provider;
}

uint32_t ToPixel(TColor Color) {
    const TColor rgb = ColorToRGB(Color);
    const uint32_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

constexpr uint32_t kWhitePixel = 0xFFFFFFFFu;

// K * Num / Den rounded half up; the product needs more than 64 bits when the
// end points lie far apart.
int64_t RoundedRatio(int64_t K, int64_t Num, int64_t Den) {
    __extension__ using Wide = __int128;
    return static_cast<int64_t>((2 * Wide{K} * Num + Den) / (2 * Wide{Den}));
}

}  // namespace

TColor DefaultSysColor(int Index) {
    switch (Index) {
        case COLOR_WINDOW: return RGB(255, 255, 255);
        case COLOR_BTNFACE: return RGB(240, 240, 240);
        case COLOR_BTNSHADOW: return RGB(160, 160, 160);
        case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
        default: return RGB(0, 0, 0);  // window text, button text and the rest
    }
}

TColor GetSysColor(int Index) { return Provider()(Index) & 0xFFFFFF; }

TSysColorProvider SetSysColorProvider(TSysColorProvider Value) { return std::exchange(Provider(), std::move(Value)); }

TColor ColorToRGB(TColor Color) { return Color < 0 ? GetSysColor(Color & 0xFF) : Color & 0xFFFFFF; }

// ---- TCanvas ----------------------------------------------------------------

void TCanvas::SetSize(int32_t AWidth, int32_t AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (AWidth == FWidth && AHeight == FHeight) return;
    FWidth = AWidth;
    FHeight = AHeight;
    FPixels.assign(static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight), kWhitePixel);
}

void TCanvas::FillRect(const TRect& Rect) {
    FillClipped(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, ToPixel(FBrush.GetColor()));
}

void TCanvas::MoveTo(int32_t X, int32_t Y) { FPenPos = {X, Y}; }

void TCanvas::LineTo(int32_t X, int32_t Y) {
    Line(FPenPos, {X, Y});
    FPenPos = {X, Y};
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
    for (std::size_t i = 1; i < Points.size(); ++i) Line(Points[i - 1], Points[i]);
}

TColor TCanvas::Pixels(int32_t X, int32_t Y) const {
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return -1;
    const uint32_t p = FPixels[static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X)];
    return static_cast<TColor>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
}

// Steps along the longer axis; the other coordinate is the exact one rounded
// half up, which is what an incremental line walk gives. Only the steps that
// can reach the buffer are visited, so far-away end points cost nothing.
void TCanvas::Line(TPoint From, TPoint To) {
    const int64_t dx = int64_t{To.X} - From.X, dy = int64_t{To.Y} - From.Y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t steps = xMajor ? std::llabs(dx) : std::llabs(dy);  // the final point is left out
    if (steps == 0) return;
    const int64_t major0 = xMajor ? From.X : From.Y, minor0 = xMajor ? From.Y : From.X;
    const int64_t majorDir = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorDelta = xMajor ? dy : dx;
    const int64_t minorDir = minorDelta < 0 ? -1 : 1, minorLen = std::llabs(minorDelta);

    const int64_t width = std::max(FPen.GetWidth(), 1);
    const int64_t half = width / 2;
    const int64_t extent = xMajor ? FWidth : FHeight;
    // Steps whose nib [major - half, major - half + width) can touch 0..extent-1.
    const int64_t lo = -width + half + 1, hi = extent + half;  // major in [lo, hi)
    int64_t first = majorDir > 0 ? lo - major0 : major0 - hi + 1;
    int64_t last = majorDir > 0 ? hi - major0 : major0 - lo + 1;  // exclusive
    first = std::max<int64_t>(first, 0);
    last = std::min(last, steps);

    const uint32_t pixel = ToPixel(FPen.GetColor());
    for (int64_t k = first; k < last; ++k) {
        const int64_t major = major0 + majorDir * k;
        const int64_t minor = minor0 + minorDir * RoundedRatio(k, minorLen, steps);
        const int64_t x = (xMajor ? major : minor) - half, y = (xMajor ? minor : major) - half;
        FillClipped(x, y, x + width, y + width, pixel);
    }
}

void TCanvas::FillClipped(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, uint32_t Pixel) {
    const int64_t l = std::max<int64_t>(Left, 0), t = std::max<int64_t>(Top, 0);
    const int64_t r = std::min<int64_t>(Right, FWidth), b = std::min<int64_t>(Bottom, FHeight);
    if (l >= r) return;
    for (int64_t y = t; y < b; ++y) {
        auto row = FPixels.begin() + static_cast<std::ptrdiff_t>(y * FWidth);
        std::fill(row + static_cast<std::ptrdiff_t>(l), row + static_cast<std::ptrdiff_t>(r), Pixel);
    }
}
