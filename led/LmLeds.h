// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TLmUserLed: a windowless LED, a gradient face inside an optional flat
// outline and a two-stage bevel; one colour pair when off, another when on.

#include <cstdint>
#include <functional>
#include <memory>

#include "led/LmClasses.h"
#include "led/LmControls.h"

// Paints an owner-drawn LED: the LED, its canvas and its client rectangle.
using TLmUserLedDrawEvent = std::function<void(TObject* Sender, TCanvas* Canvas, TRect Rect)>;

class TLmUserLed : public TLmGraphicControl {
    OSTRA_CLASSINFO()
public:
    explicit TLmUserLed(TComponent* AOwner);

    void Paint() override;

    TLmBevel* GetBevel() const { return FBevel.get(); }
    TLmPaletteEx* GetPaletteEx() const { return FPaletteEx.get(); }
    bool GetActive() const { return FActive; }
    TColor GetOutlineColor() const { return FOutlineColor; }
    int32_t GetOutlineWidth() const { return FOutlineWidth; }
    TLmDrawStyle GetDrawStyle() const { return FDrawStyle; }
    const TNotifyEvent& GetOnChange() const { return FOnChange; }
    const TLmUserLedDrawEvent& GetOnDraw() const { return FOnDraw; }

    // Repaints first, then raises OnChange.
    void SetActive(bool Value);
    void SetOutlineColor(TColor Value);
    // 0 or less: no outline.
    void SetOutlineWidth(int32_t Value);
    void SetDrawStyle(TLmDrawStyle Value);
    // Copy the values into the LED's own objects.
    void SetBevel(const TLmBevel* Value) { FBevel->Assign(Value); }
    void SetPaletteEx(const TLmPaletteEx* Value) { FPaletteEx->Assign(Value); }
    // Raised only when Active changes.
    void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
    void SetOnDraw(TLmUserLedDrawEvent Value) { FOnDraw = std::move(Value); }

protected:
    virtual void Change();
    void PaletteExModified(TObject* Sender);
    void BevelChanged(TObject* Sender);

private:
    // Stores Value and repaints, unless Field already holds it.
    template <class T>
    bool Update(T& Field, T Value) {
        if (Field == Value) return false;
        Field = Value;
        UpdateControlCanvas();
        return true;
    }

    std::unique_ptr<TLmBevel> FBevel;
    std::unique_ptr<TLmPaletteEx> FPaletteEx;  // freed before the bevel
    bool FActive = false;
    TColor FOutlineColor = clBlack;
    int32_t FOutlineWidth = 0;
    TLmDrawStyle FDrawStyle = dsNormal;
    TNotifyEvent FOnChange;
    TLmUserLedDrawEvent FOnDraw;
};
