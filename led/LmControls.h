// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of the LED library's windowless controls: guarded repaint
// requests, an update bracket, clearing of the client area and overridable
// mouse, font and text notifications. Installs the hand cursor at start-up.

#include <cstdint>

#include "toolkit/ui/Controls.h"
#include "toolkit/ui/Screen.h"

inline constexpr char LMLIBVERSION[] = "2.2.1";
// The number of the hand cursor in Screen->Cursors; its resource has the name
// "LMCURSORHANDPOINT" too.
constexpr TCursor LMCURSORHANDPOINT = 99;

// Who paints a control: its owner through an event, or the control itself.
enum TLmDrawStyle : uint8_t { dsOwnerDraw, dsNormal };
template <>
const TEnumTypeInfo& EnumTypeInfo<TLmDrawStyle>();

// The hand with the index finger up, hot spot at its tip: what the program
// installs as Screen->Cursors[LMCURSORHANDPOINT] when it starts.
QCursor LoadHandPointCursor();

class TLmGraphicControl : public TGraphicControl {
    OSTRA_CLASSINFO()
public:
    explicit TLmGraphicControl(TComponent* AOwner);

    // Repaints now, unless the control is loading or inside an update bracket.
    // A request dropped there is not remembered.
    virtual void UpdateControlCanvas();
    // Re-apply the current bounds, so that a descendant's size rules take
    // effect, and make sure the control is repainted.
    virtual void UpdateControlBounds();
    virtual void AdjustControlSize();
    // Raise the matching event.
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void FontChanged();
    virtual void TextChanged();

    void BeginUpdate() { ++FUpdateCount; }
    // Calls must balance: the count is not checked, and no repaint happens
    // while it is not 0.
    void EndUpdate();
    // Fills the client area with the control's colour.
    void ClearClientCanvas();

    // Always LMLIBVERSION; writing it changes nothing.
    const AnsiString& GetVersion() const { return FVersion; }
    void SetVersion(const AnsiString&) {}

    const TNotifyEvent& GetOnMouseEnter() const { return FOnMouseEnter; }
    void SetOnMouseEnter(TNotifyEvent Value) { FOnMouseEnter = std::move(Value); }
    const TNotifyEvent& GetOnMouseLeave() const { return FOnMouseLeave; }
    void SetOnMouseLeave(TNotifyEvent Value) { FOnMouseLeave = std::move(Value); }
    const TNotifyEvent& GetOnFontChanged() const { return FOnFontChanged; }
    void SetOnFontChanged(TNotifyEvent Value) { FOnFontChanged = std::move(Value); }
    const TNotifyEvent& GetOnTextChanged() const { return FOnTextChanged; }
    void SetOnTextChanged(TNotifyEvent Value) { FOnTextChanged = std::move(Value); }

protected:
    void CMMouseEnter() override;
    void CMMouseLeave() override;
    void CMFontChanged() override;
    void CMTextChanged() override;

private:
    void Raise(const TNotifyEvent& Event) {
        if (Event) Event(this);
    }
    // Re-applies the bounds and repaints when they stayed the same (a change
    // of size repaints by itself).
    void ReapplyBounds();

    AnsiString FVersion = LMLIBVERSION;
    int32_t FUpdateCount = 0;
    TNotifyEvent FOnMouseEnter;
    TNotifyEvent FOnMouseLeave;
    TNotifyEvent FOnFontChanged;
    TNotifyEvent FOnTextChanged;
};
