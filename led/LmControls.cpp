// SPDX-License-Identifier: GPL-3.0-or-later
#include "led/LmControls.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "led/LmSysUtils.h"

namespace {

// The tip of the index finger in the cursor picture.
constexpr int kHandHotSpotX = 10;
constexpr int kHandHotSpotY = 5;

void InstallHandPointCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        Screen->Cursors[LMCURSORHANDPOINT] = LoadHandPointCursor();
}
Q_COREAPP_STARTUP_FUNCTION(InstallHandPointCursor)

}  // namespace

template <>
const TEnumTypeInfo& EnumTypeInfo<TLmDrawStyle>() {
    static const TEnumTypeInfo info{"TLmDrawStyle", {"dsOwnerDraw", "dsNormal"}};
    return info;
}

// The picture is black and white on a transparent ground: its black makes the
// cursor's bitmap, everything painted its mask.
QCursor LoadHandPointCursor() {
    const QImage picture(QStringLiteral(":/LMCURSORHANDPOINT"), "XPM");
    QImage ink(picture.size(), QImage::Format_RGB32);
    ink.fill(Qt::white);
    QPainter(&ink).drawImage(0, 0, picture);
    return QCursor(QBitmap::fromImage(ink), QBitmap::fromImage(picture.createAlphaMask()), kHandHotSpotX,
                   kHandHotSpotY);
}

const TClassInfo& TLmGraphicControl::StaticClassInfo() {
    using C = TLmGraphicControl;
    // The default equal to the only value it can have keeps Version out of form files.
    static const TClassInfo info = TClassInfoBuilder<C>("TLmGraphicControl", &TGraphicControl::StaticClassInfo())
                                       .Property("Version", tkString, &C::GetVersion, &C::SetVersion,
                                                 TPropValue(AnsiString(LMLIBVERSION)))
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLmGraphicControl)

TLmGraphicControl::TLmGraphicControl(TComponent* AOwner) : TGraphicControl(AOwner) {}

void TLmGraphicControl::UpdateControlCanvas() {
    if (!Loading() && FUpdateCount == 0) Repaint();
}

void TLmGraphicControl::EndUpdate() {
    --FUpdateCount;
    UpdateControlCanvas();
}

void TLmGraphicControl::ClearClientCanvas() {
    Canvas().Brush().SetColor(GetColor());
    Canvas().FillRect(ClientRect());
}

void TLmGraphicControl::ReapplyBounds() {
    const TRect before = BoundsRect();
    if (!Loading()) SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight());
    if (CompareRect(BoundsRect(), before)) UpdateControlCanvas();
}

void TLmGraphicControl::AdjustControlSize() {
    if (!Loading()) ReapplyBounds();
}

void TLmGraphicControl::UpdateControlBounds() {
    if (!GetAutoSize() || GetAlign() == alClient || GetAlign() == alCustom)
        UpdateControlCanvas();
    else
        ReapplyBounds();
}

void TLmGraphicControl::MouseEnter() { Raise(FOnMouseEnter); }
void TLmGraphicControl::MouseLeave() { Raise(FOnMouseLeave); }
void TLmGraphicControl::FontChanged() { Raise(FOnFontChanged); }
void TLmGraphicControl::TextChanged() { Raise(FOnTextChanged); }

void TLmGraphicControl::CMMouseEnter() {
    TGraphicControl::CMMouseEnter();
    MouseEnter();
}

void TLmGraphicControl::CMMouseLeave() {
    TGraphicControl::CMMouseLeave();
    MouseLeave();
}

void TLmGraphicControl::CMFontChanged() {
    TGraphicControl::CMFontChanged();
    FontChanged();
}

void TLmGraphicControl::CMTextChanged() {
    TGraphicControl::CMTextChanged();
    TextChanged();
}
