// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Settings objects of the LED library: assignable, change-notifying objects a
// control owns and publishes as nested properties (a two-stage bevel and a
// four-colour palette). Qt-free.

#include <cstdint>

#include "toolkit/core/Canvas.h"
#include "toolkit/core/Classes.h"
#include "toolkit/core/Graphics.h"

// Raises OnChange when a change is complete: at once, or at the end of the
// outermost update bracket.
class TLmPersistent : public TPersistent {
    OSTRA_CLASSINFO()
public:
    void Changed();
    void BeginUpdate() { ++FUpdateCount; }
    // Closes one bracket (never below 0) and then always calls Changed.
    void EndUpdate();

    const TNotifyEvent& GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

protected:
    // Sets Field to Value and calls Changed, unless it already holds Value.
    template <class T>
    void Update(T& Field, T Value) {
        if (Field == Value) return;
        Field = Value;
        Changed();
    }

    // Runs Copy inside an update bracket that closes even when Copy throws.
    template <class F>
    void InUpdate(F Copy) {
        BeginUpdate();
        try {
            Copy();
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }

private:
    int32_t FUpdateCount = 0;
    TNotifyEvent FOnChange;
};

enum TLmBevelStyle : uint8_t { bsNone, bsLowered, bsRaised };
// Where a stage's one-pixel black outline lies relative to its bevel ring.
enum TLmBevelOutlineStyle : uint8_t { osOuter, osInner, osNone };
template <>
const TEnumTypeInfo& EnumTypeInfo<TLmBevelStyle>();
template <>
const TEnumTypeInfo& EnumTypeInfo<TLmBevelOutlineStyle>();

// Widths in pixels. Declared ranges for the form designer; the setters store
// any value.
using TLmBorderWidth = int32_t;  // 0..
using TLmBevelWidth = int32_t;   // 1..
using TLmBevelSpace = int32_t;   // 0..

// A frame from the outside in: a flat border, then an outer and an inner
// stage, each an optional black outline, a raised or lowered ring and a flat
// spacing ring.
class TLmBevel : public TLmPersistent {
    OSTRA_CLASSINFO()
public:
    TLmBevel() = default;

    void Assign(const TPersistent* Source) override;

    // Shrinks Rect by the bevel's thickness (not at all when invisible).
    void GetVisibleArea(TRect& Rect) const;
    // Paints the rings into the outer edge of Rect and leaves Rect the area inside.
    void Paint(TCanvas& Canvas, TRect& Rect) const;

    TLmBorderWidth GetBorderWidth() const { return FBorderWidth; }
    TColor GetBorderColor() const { return FBorderColor; }
    TColor GetInnerShadow() const { return FInnerShadow; }
    TColor GetInnerHighlight() const { return FInnerHighlight; }
    TLmBevelWidth GetInnerWidth() const { return FInnerWidth; }
    TLmBevelStyle GetInnerStyle() const { return FInnerStyle; }
    TLmBevelOutlineStyle GetInnerOutline() const { return FInnerOutline; }
    TLmBevelSpace GetInnerSpace() const { return FInnerSpace; }
    TColor GetInnerColor() const { return FInnerColor; }
    TColor GetOuterShadow() const { return FOuterShadow; }
    TColor GetOuterHighlight() const { return FOuterHighlight; }
    TLmBevelWidth GetOuterWidth() const { return FOuterWidth; }
    TLmBevelStyle GetOuterStyle() const { return FOuterStyle; }
    TLmBevelOutlineStyle GetOuterOutline() const { return FOuterOutline; }
    TLmBevelSpace GetOuterSpace() const { return FOuterSpace; }
    TColor GetOuterColor() const { return FOuterColor; }
    bool GetVisible() const { return FVisible; }

    void SetBorderWidth(TLmBorderWidth Value) { Update(FBorderWidth, Value); }
    void SetBorderColor(TColor Value) { Update(FBorderColor, Value); }
    void SetInnerShadow(TColor Value) { Update(FInnerShadow, Value); }
    void SetInnerHighlight(TColor Value) { Update(FInnerHighlight, Value); }
    void SetInnerWidth(TLmBevelWidth Value) { Update(FInnerWidth, Value); }
    void SetInnerStyle(TLmBevelStyle Value) { Update(FInnerStyle, Value); }
    void SetInnerOutline(TLmBevelOutlineStyle Value) { Update(FInnerOutline, Value); }
    void SetInnerSpace(TLmBevelSpace Value) { Update(FInnerSpace, Value); }
    void SetInnerColor(TColor Value) { Update(FInnerColor, Value); }
    void SetOuterShadow(TColor Value) { Update(FOuterShadow, Value); }
    void SetOuterHighlight(TColor Value) { Update(FOuterHighlight, Value); }
    void SetOuterWidth(TLmBevelWidth Value) { Update(FOuterWidth, Value); }
    void SetOuterStyle(TLmBevelStyle Value) { Update(FOuterStyle, Value); }
    void SetOuterOutline(TLmBevelOutlineStyle Value) { Update(FOuterOutline, Value); }
    void SetOuterSpace(TLmBevelSpace Value) { Update(FOuterSpace, Value); }
    void SetOuterColor(TColor Value) { Update(FOuterColor, Value); }
    void SetVisible(bool Value) { Update(FVisible, Value); }

private:
    int64_t BevelPixels() const;

    TLmBorderWidth FBorderWidth = 0;
    TColor FBorderColor = clBtnFace;
    TColor FInnerShadow = clBtnShadow;
    TColor FInnerHighlight = clBtnHighlight;
    TLmBevelWidth FInnerWidth = 1;
    TLmBevelStyle FInnerStyle = bsLowered;
    TLmBevelOutlineStyle FInnerOutline = osNone;
    TLmBevelSpace FInnerSpace = 1;
    TColor FInnerColor = clBtnFace;
    TColor FOuterShadow = clBtnShadow;
    TColor FOuterHighlight = clBtnHighlight;
    TLmBevelWidth FOuterWidth = 1;
    TLmBevelStyle FOuterStyle = bsRaised;
    TLmBevelOutlineStyle FOuterOutline = osOuter;
    TLmBevelSpace FOuterSpace = 0;
    TColor FOuterColor = clBtnFace;
    bool FVisible = true;
};

// Two colour pairs whose meaning the owning control gives (the LED: off from
// Low1 to Low2, on from High1 to High2).
class TLmPaletteEx : public TLmPersistent {
    OSTRA_CLASSINFO()
public:
    TLmPaletteEx() = default;

    void Assign(const TPersistent* Source) override;

    TColor GetLow1() const { return FLow1; }
    TColor GetLow2() const { return FLow2; }
    TColor GetHigh1() const { return FHigh1; }
    TColor GetHigh2() const { return FHigh2; }
    void SetLow1(TColor Value) { Update(FLow1, Value); }
    void SetLow2(TColor Value) { Update(FLow2, Value); }
    void SetHigh1(TColor Value) { Update(FHigh1, Value); }
    void SetHigh2(TColor Value) { Update(FHigh2, Value); }

private:
    TColor FLow1 = clGreen;
    TColor FLow2 = clBlack;
    TColor FHigh1 = clLime;
    TColor FHigh2 = clBlack;
};
