// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Controls: components with a place on screen, each backed by a Qt widget.
// TControl works over any widget, so a standard control (button, edit) derives
// from it with its own widget; TGraphicControl paints itself on a canvas.

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "toolkit/core/Canvas.h"
#include "toolkit/core/Classes.h"
#include "toolkit/core/Set.h"
#include "toolkit/ui/Screen.h"

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

enum TControlStyleFlag : uint8_t {
    csOpaque,        // paints its whole area: nothing is drawn behind it
    csDoubleClicks,  // takes double clicks; without it the second press is a plain press
};
using TControlStyle = Set<TControlStyleFlag, 2>;

class TControlEvents;

class TControl : public TComponent {
    OSTRA_CLASSINFO()
public:
    // Takes ownership of Widget.
    TControl(TComponent* AOwner, QWidget* Widget);
    ~TControl() override;

    // Null once Qt has deleted the widget together with its parent.
    QWidget* Widget() const { return FWidget; }
    // Where child controls are placed.
    virtual QWidget* ClientWidget() const { return Widget(); }
    // A control shows only once it has a parent; top-level windows show themselves.
    void SetParentWidget(QWidget* Parent);
    // A form file nests this control in a control: place it there.
    void SetParentComponent(TComponent* Parent) override;

    int32_t GetLeft() const { return FLeft; }
    int32_t GetTop() const { return FTop; }
    int32_t GetWidth() const { return FWidth; }
    int32_t GetHeight() const { return FHeight; }
    void SetLeft(int32_t Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int32_t Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int32_t Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int32_t Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
    TRect BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }

    bool GetVisible() const { return FVisible; }
    void SetVisible(bool Value);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    // Stored for the size rules of descendants and for the container that lays
    // its children out.
    TAlign GetAlign() const { return FAlign; }
    void SetAlign(TAlign Value) { FAlign = Value; }
    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value) { FAutoSize = Value; }
    // A number of Screen->Cursors shown while the mouse is over the control.
    TCursor GetCursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    const UnicodeString& GetText() const { return FText; }
    void SetText(const UnicodeString& Value);
    TControlStyle GetControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle Value);

    // Redraws the control now (when it is on screen).
    void Repaint();
    // Redraws it when the event loop gets there.
    void Invalidate();

    void Loaded() override;

protected:
    // Notifications: the mouse entered or left the control, its font (the
    // widget's, own or inherited) or its text changed.
    virtual void CMMouseEnter() {}
    virtual void CMMouseLeave() {}
    virtual void CMFontChanged() {}
    virtual void CMTextChanged() {}

private:
    friend class TControlEvents;
    void ShowIfPlaced();

    QPointer<QWidget> FWidget;
    TControlEvents* FEvents;
    int32_t FLeft = 0;
    int32_t FTop = 0;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    bool FVisible = true;
    TColor FColor = clBtnFace;
    TAlign FAlign = alNone;
    bool FAutoSize = false;
    TCursor FCursor = crDefault;
    UnicodeString FText;
    TControlStyle FControlStyle{csDoubleClicks};
};

// A control without a window of its own in the platform's sense: it paints
// itself on a canvas of its size, which its widget shows.
class TGraphicControl : public TControl {
    OSTRA_CLASSINFO()
public:
    explicit TGraphicControl(TComponent* AOwner);

    TCanvas& Canvas() { return FCanvas; }
    void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

    // Draws the control on Canvas. Called whenever the control is shown or repainted.
    virtual void Paint() {}

private:
    friend class TGraphicControlWidget;
    void PaintWidget(QWidget& Target);

    TCanvas FCanvas;
};
