// SPDX-License-Identifier: GPL-3.0-or-later
#include "led/LmClasses.h"

#include "led/LmSysUtils.h"

// ---- TLmPersistent ----------------------------------------------------------

const TClassInfo& TLmPersistent::StaticClassInfo() {
    static const TClassInfo info =
        TClassInfoBuilder<TLmPersistent>("TLmPersistent", &TPersistent::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLmPersistent)

void TLmPersistent::Changed() {
    if (FUpdateCount == 0 && FOnChange) FOnChange(this);
}

void TLmPersistent::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    Changed();
}

// ---- TLmBevel ---------------------------------------------------------------

template <>
const TEnumTypeInfo& EnumTypeInfo<TLmBevelStyle>() {
    static const TEnumTypeInfo info{"TLmBevelStyle", {"bsNone", "bsLowered", "bsRaised"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TLmBevelOutlineStyle>() {
    static const TEnumTypeInfo info{"TLmBevelOutlineStyle", {"osOuter", "osInner", "osNone"}};
    return info;
}

const TClassInfo& TLmBevel::StaticClassInfo() {
    using B = TLmBevel;
    static const TClassInfo info =
        TClassInfoBuilder<B>("TLmBevel", &TLmPersistent::StaticClassInfo())
            .Int("BorderWidth", &B::GetBorderWidth, &B::SetBorderWidth, 0)
            .Color("BorderColor", &B::GetBorderColor, &B::SetBorderColor, clBtnFace)
            .Color("InnerShadow", &B::GetInnerShadow, &B::SetInnerShadow, std::nullopt)
            .Color("InnerHighlight", &B::GetInnerHighlight, &B::SetInnerHighlight, std::nullopt)
            .Int("InnerWidth", &B::GetInnerWidth, &B::SetInnerWidth, std::nullopt)
            .Property("InnerStyle", tkEnumeration, &B::GetInnerStyle, &B::SetInnerStyle, std::nullopt,
                      &EnumTypeInfo<TLmBevelStyle>())
            .Enum("InnerOutline", &B::GetInnerOutline, &B::SetInnerOutline, osNone)
            .Int("InnerSpace", &B::GetInnerSpace, &B::SetInnerSpace, std::nullopt)
            .Color("InnerColor", &B::GetInnerColor, &B::SetInnerColor, std::nullopt)
            .Color("OuterShadow", &B::GetOuterShadow, &B::SetOuterShadow, std::nullopt)
            .Color("OuterHighlight", &B::GetOuterHighlight, &B::SetOuterHighlight, std::nullopt)
            .Int("OuterWidth", &B::GetOuterWidth, &B::SetOuterWidth, 1)
            .Property("OuterStyle", tkEnumeration, &B::GetOuterStyle, &B::SetOuterStyle, std::nullopt,
                      &EnumTypeInfo<TLmBevelStyle>())
            .Property("OuterOutline", tkEnumeration, &B::GetOuterOutline, &B::SetOuterOutline, std::nullopt,
                      &EnumTypeInfo<TLmBevelOutlineStyle>())
            .Int("OuterSpace", &B::GetOuterSpace, &B::SetOuterSpace, 0)
            .Color("OuterColor", &B::GetOuterColor, &B::SetOuterColor, clBtnFace)
            .Bool("Visible", &B::GetVisible, &B::SetVisible, true)
            .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLmBevel)

void TLmBevel::Assign(const TPersistent* Source) {
    const auto* source = dynamic_cast<const TLmBevel*>(Source);
    if (!source) {
        TLmPersistent::Assign(Source);
        return;
    }
    InUpdate([&] {
        SetBorderWidth(source->FBorderWidth);
        SetBorderColor(source->FBorderColor);
        SetInnerShadow(source->FInnerShadow);
        SetInnerHighlight(source->FInnerHighlight);
        SetInnerWidth(source->FInnerWidth);
        SetInnerStyle(source->FInnerStyle);
        SetInnerOutline(source->FInnerOutline);
        SetInnerSpace(source->FInnerSpace);
        SetInnerColor(source->FInnerColor);
        SetOuterShadow(source->FOuterShadow);
        SetOuterHighlight(source->FOuterHighlight);
        SetOuterWidth(source->FOuterWidth);
        SetOuterStyle(source->FOuterStyle);
        SetOuterOutline(source->FOuterOutline);
        SetOuterSpace(source->FOuterSpace);
        SetOuterColor(source->FOuterColor);
        SetVisible(source->FVisible);
    });
}

namespace {

// What a ring of this width paints: nothing below 1, as DrawFrame3D does.
int64_t RingPixels(int32_t Width) { return Width > 0 ? Width : 0; }

}  // namespace

// Summed in 64 bits: the widths may add up to more than 32 bits hold.
int64_t TLmBevel::BevelPixels() const {
    if (!FVisible) return 0;
    int64_t pixels = RingPixels(FBorderWidth) + RingPixels(FInnerSpace) + RingPixels(FOuterSpace);
    if (FInnerOutline != osNone) ++pixels;
    if (FOuterOutline != osNone) ++pixels;
    if (FInnerStyle != bsNone) pixels += RingPixels(FInnerWidth);
    if (FOuterStyle != bsNone) pixels += RingPixels(FOuterWidth);
    return pixels;
}

void TLmBevel::GetVisibleArea(TRect& Rect) const { Rect = ShrinkRect(Rect, BevelPixels()); }

namespace {

void FlatRing(TCanvas& Canvas, TRect& Rect, TColor Color, int32_t Width) {
    DrawFrame3D(Canvas, Rect, Color, Color, Width);
}

// A raised ring is lit from the top left; a lowered one swaps the colours.
void BevelRing(TCanvas& Canvas, TRect& Rect, TLmBevelStyle Style, TColor Shadow, TColor Highlight, int32_t Width) {
    if (Style == bsNone) return;
    const bool lowered = Style == bsLowered;
    DrawFrame3D(Canvas, Rect, lowered ? Shadow : Highlight, lowered ? Highlight : Shadow, Width);
}

void Outline(TCanvas& Canvas, TRect& Rect, TLmBevelOutlineStyle Style, TLmBevelOutlineStyle Where) {
    if (Style == Where) FlatRing(Canvas, Rect, clBlack, 1);
}

}  // namespace

void TLmBevel::Paint(TCanvas& Canvas, TRect& Rect) const {
    if (!FVisible) return;
    FlatRing(Canvas, Rect, FBorderColor, FBorderWidth);
    Outline(Canvas, Rect, FOuterOutline, osOuter);
    BevelRing(Canvas, Rect, FOuterStyle, FOuterShadow, FOuterHighlight, FOuterWidth);
    Outline(Canvas, Rect, FOuterOutline, osInner);
    FlatRing(Canvas, Rect, FOuterColor, FOuterSpace);
    Outline(Canvas, Rect, FInnerOutline, osOuter);
    BevelRing(Canvas, Rect, FInnerStyle, FInnerShadow, FInnerHighlight, FInnerWidth);
    Outline(Canvas, Rect, FInnerOutline, osInner);
    FlatRing(Canvas, Rect, FInnerColor, FInnerSpace);
}

// ---- TLmPaletteEx -----------------------------------------------------------

const TClassInfo& TLmPaletteEx::StaticClassInfo() {
    using P = TLmPaletteEx;
    static const TClassInfo info = TClassInfoBuilder<P>("TLmPaletteEx", &TLmPersistent::StaticClassInfo())
                                       .Color("Low1", &P::GetLow1, &P::SetLow1, std::nullopt)
                                       .Color("High1", &P::GetHigh1, &P::SetHigh1, std::nullopt)
                                       .Color("Low2", &P::GetLow2, &P::SetLow2, std::nullopt)
                                       .Color("High2", &P::GetHigh2, &P::SetHigh2, std::nullopt)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLmPaletteEx)

void TLmPaletteEx::Assign(const TPersistent* Source) {
    const auto* source = dynamic_cast<const TLmPaletteEx*>(Source);
    if (!source) {
        TLmPersistent::Assign(Source);
        return;
    }
    InUpdate([&] {
        SetLow1(source->FLow1);
        SetHigh1(source->FHigh1);
        SetLow2(source->FLow2);
        SetHigh2(source->FHigh2);
    });
}
