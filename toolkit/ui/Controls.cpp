// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/Controls.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "toolkit/ui/CanvasImage.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/PaletteSysColors.h"

#ifndef _WIN32
// System colours follow the running program's palette; Windows keeps its own call.
Q_COREAPP_STARTUP_FUNCTION(InstallPaletteSysColors)
#endif

// Routes the widget's notifications to its control.
class TControlEvents : public QObject {
public:
    TControlEvents(TControl& Control, QWidget* Widget) : QObject(Widget), FControl(Control) {
        Widget->installEventFilter(this);
    }

    bool eventFilter(QObject* Watched, QEvent* Event) override {
        switch (Event->type()) {
            case QEvent::Enter: RunHandled([this] { FControl.CMMouseEnter(); }); break;
            case QEvent::Leave: RunHandled([this] { FControl.CMMouseLeave(); }); break;
            case QEvent::FontChange: RunHandled([this] { FControl.CMFontChanged(); }); break;
            case QEvent::MouseButtonDblClick:
                if (!FControl.GetControlStyle().Contains(csDoubleClicks)) {
                    AsPress(Watched, static_cast<QMouseEvent&>(*Event));
                    return true;
                }
                break;
            default: break;
        }
        return false;
    }

private:
    static void AsPress(QObject* Target, const QMouseEvent& Click) {
        QMouseEvent press(QEvent::MouseButtonPress, Click.position(), Click.scenePosition(), Click.globalPosition(),
                          Click.button(), Click.buttons(), Click.modifiers(), Click.pointingDevice());
        QCoreApplication::sendEvent(Target, &press);
    }

    TControl& FControl;
};

// ---- TControl ---------------------------------------------------------------

const TClassInfo& TControl::StaticClassInfo() {
    using C = TControl;
    static const TClassInfo info = TClassInfoBuilder<C>("TControl", &TComponent::StaticClassInfo())
                                       .Int("Left", &C::GetLeft, &C::SetLeft, std::nullopt)
                                       .Int("Top", &C::GetTop, &C::SetTop, std::nullopt)
                                       .Int("Width", &C::GetWidth, &C::SetWidth, std::nullopt)
                                       .Int("Height", &C::GetHeight, &C::SetHeight, std::nullopt)
                                       .Int("Cursor", &C::GetCursor, &C::SetCursor, crDefault)
                                       .Bool("Visible", &C::GetVisible, &C::SetVisible, true)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TControl)

TControl::TControl(TComponent* AOwner, QWidget* Widget)
    : TComponent(AOwner), FWidget(Widget), FEvents(new TControlEvents(*this, Widget)) {
    Widget->setGeometry(0, 0, 0, 0);
}

TControl::~TControl() {
    if (!FWidget) return;  // gone with its parent, and the event filter with it
    FWidget->removeEventFilter(FEvents);
    delete FWidget.data();
}

void TControl::SetParentWidget(QWidget* Parent) {
    if (!FWidget) return;
    FWidget->setParent(Parent);
    ShowIfPlaced();
}

void TControl::SetParentComponent(TComponent* Parent) {
    if (auto* control = dynamic_cast<TControl*>(Parent)) SetParentWidget(control->ClientWidget());
}

void TControl::ShowIfPlaced() {
    if (FWidget && FWidget->parentWidget()) FWidget->setVisible(FVisible);
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FWidget)
        FWidget->setGeometry(FLeft, FTop, std::clamp(FWidth, 0, QWIDGETSIZE_MAX), std::clamp(FHeight, 0, QWIDGETSIZE_MAX));
}

void TControl::SetVisible(bool Value) {
    FVisible = Value;
    ShowIfPlaced();
}

void TControl::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Invalidate();
}

void TControl::SetCursor(TCursor Value) {
    FCursor = Value;
    if (!FWidget) return;
    if (Value == crDefault)
        FWidget->unsetCursor();
    else
        FWidget->setCursor(Screen->Cursors[Value]);
}

void TControl::SetText(const UnicodeString& Value) {
    if (Value == FText) return;
    FText = Value;
    CMTextChanged();
}

void TControl::SetControlStyle(TControlStyle Value) {
    FControlStyle = Value;
    if (FWidget) FWidget->setAttribute(Qt::WA_OpaquePaintEvent, Value.Contains(csOpaque));
}

void TControl::Repaint() {
    if (FWidget) FWidget->repaint();
}

void TControl::Invalidate() {
    if (FWidget) FWidget->update();
}

void TControl::Loaded() {
    TComponent::Loaded();
    Invalidate();
}

// ---- TGraphicControl --------------------------------------------------------

class TGraphicControlWidget : public QWidget {
public:
    explicit TGraphicControlWidget(TGraphicControl& Control) : FControl(Control) {}

protected:
    void paintEvent(QPaintEvent*) override { FControl.PaintWidget(*this); }

private:
    TGraphicControl& FControl;
};

namespace {

// The canvas covers at most this much of a control: more than any screen
// shows, and a control sized by mistake cannot exhaust memory.
constexpr int32_t kMaxCanvasSide = 8192;

}  // namespace

const TClassInfo& TGraphicControl::StaticClassInfo() {
    static const TClassInfo info =
        TClassInfoBuilder<TGraphicControl>("TGraphicControl", &TControl::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TGraphicControl)

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner, new TGraphicControlWidget(*this)) {}

void TGraphicControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    FCanvas.SetSize(std::min(AWidth, kMaxCanvasSide), std::min(AHeight, kMaxCanvasSide));
}

// A control that is not opaque shows its colour where it paints nothing.
void TGraphicControl::PaintWidget(QWidget& Target) {
    RunHandled([this] {
        if (!GetControlStyle().Contains(csOpaque)) {
            FCanvas.Brush().SetColor(GetColor());
            FCanvas.FillRect(ClientRect());
        }
        Paint();
    });
    QPainter painter(&Target);
    painter.drawImage(QPointF(0, 0), CanvasImage(FCanvas, Target.devicePixelRatioF()));
}
