// SPDX-License-Identifier: GPL-3.0-or-later
#include "led/LmLeds.h"

#include "led/LmSysUtils.h"

const TClassInfo& TLmUserLed::StaticClassInfo() {
    using L = TLmUserLed;
    static const TClassInfo info = TClassInfoBuilder<L>("TLmUserLed", &TLmGraphicControl::StaticClassInfo())
                                       .Object("Bevel", &L::GetBevel)
                                       .Object("PaletteEx", &L::GetPaletteEx)
                                       .Bool("Active", &L::GetActive, &L::SetActive, false)
                                       .Color("OutlineColor", &L::GetOutlineColor, &L::SetOutlineColor, clBlack)
                                       .Int("OutlineWidth", &L::GetOutlineWidth, &L::SetOutlineWidth, 0)
                                       .Enum("DrawStyle", &L::GetDrawStyle, &L::SetDrawStyle, dsNormal)
                                       .Event<TNotifyEvent>("OnChange", &L::GetOnChange, &L::SetOnChange)
                                       .Event<TLmUserLedDrawEvent>("OnDraw", &L::GetOnDraw, &L::SetOnDraw)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLmUserLed)

TLmUserLed::TLmUserLed(TComponent* AOwner)
    : TLmGraphicControl(AOwner), FBevel(std::make_unique<TLmBevel>()), FPaletteEx(std::make_unique<TLmPaletteEx>()) {
    SetControlStyle(GetControlStyle().Include(csOpaque).Exclude(csDoubleClicks));
    SetBounds(0, 0, 20, 10);

    // Set before the handlers are installed, so nobody hears of these.
    FPaletteEx->SetLow1(clMaroon);
    FPaletteEx->SetLow2(clBlack);
    FPaletteEx->SetHigh1(clRed);
    FPaletteEx->SetHigh2(clBlack);
    FPaletteEx->SetOnChange([this](TObject* Sender) { PaletteExModified(Sender); });

    FBevel->SetInnerStyle(bsNone);
    FBevel->SetInnerHighlight(clLime);
    FBevel->SetInnerShadow(clGreen);
    FBevel->SetOnChange([this](TObject* Sender) { BevelChanged(Sender); });
}

void TLmUserLed::Paint() {
    if (FDrawStyle == dsOwnerDraw) {
        ClearClientCanvas();
        if (FOnDraw) FOnDraw(this, &Canvas(), ClientRect());
        return;
    }
    TRect face = ClientRect();
    if (FOutlineWidth > 0) DrawFrame3D(Canvas(), face, FOutlineColor, FOutlineColor, FOutlineWidth);
    FBevel->Paint(Canvas(), face);
    const TColor start = FActive ? FPaletteEx->GetHigh1() : FPaletteEx->GetLow1();
    const TColor end = FActive ? FPaletteEx->GetHigh2() : FPaletteEx->GetLow2();
    DrawGradientExt(Canvas(), face, start, end, GRADIENT_UPDOWN, 1);
}

void TLmUserLed::SetActive(bool Value) {
    if (Update(FActive, Value)) Change();
}

void TLmUserLed::SetOutlineColor(TColor Value) { Update(FOutlineColor, Value); }
void TLmUserLed::SetOutlineWidth(int32_t Value) { Update(FOutlineWidth, Value); }
void TLmUserLed::SetDrawStyle(TLmDrawStyle Value) { Update(FDrawStyle, Value); }

void TLmUserLed::Change() {
    if (FOnChange) FOnChange(this);
}

void TLmUserLed::PaletteExModified(TObject*) { UpdateControlCanvas(); }
void TLmUserLed::BevelChanged(TObject*) { UpdateControlCanvas(); }
