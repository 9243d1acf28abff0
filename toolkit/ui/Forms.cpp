// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <vector>

#include "toolkit/core/FormFile.h"
#include "toolkit/core/Thread.h"
#include "toolkit/ui/ExceptionHandler.h"

template <>
const TEnumTypeInfo& EnumTypeInfo<TPosition>() {
    static const TEnumTypeInfo info{"TPosition",
                                    {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter"}};
    return info;
}

class TFormWidget : public QWidget {
public:
    explicit TFormWidget(TForm& Form) : FForm(Form) {}

protected:
    void resizeEvent(QResizeEvent* Event) override {
        QWidget::resizeEvent(Event);
        RunHandled([this] { FForm.Resized(); });
    }

private:
    TForm& FForm;
};

class TFormFrame : public QMainWindow {
public:
    explicit TFormFrame(TForm& Form) : FForm(Form) {}

protected:
    void closeEvent(QCloseEvent* Event) override {
        bool mayClose = true;
        RunHandled([&] { mayClose = FForm.CloseQuery(); });
        Event->setAccepted(mayClose);
    }

private:
    TForm& FForm;
};

// ---- TForm ------------------------------------------------------------------

const TClassInfo& TForm::StaticClassInfo() {
    using C = TForm;
    static const TClassInfo info = TClassInfoBuilder<C>("TForm", &TWinControl::StaticClassInfo())
                                       .UStr("Caption", &C::GetCaption, &C::SetCaption)
                                       .Int("ClientWidth", &C::GetClientWidth, &C::SetClientWidth, std::nullopt)
                                       .Int("ClientHeight", &C::GetClientHeight, &C::SetClientHeight, std::nullopt)
                                       .Color("Color", &C::GetColor, &C::SetColor, clBtnFace)
                                       .Enum("Position", &C::GetPosition, &C::SetPosition, poDefaultPosOnly)
                                       .Event<TNotifyEvent>("OnCreate", &C::GetOnCreate, &C::SetOnCreate)
                                       .Event<TNotifyEvent>("OnResize", &C::GetOnResize, &C::SetOnResize)
                                       .Event<TCloseEvent>("OnClose", &C::GetOnClose, &C::SetOnClose)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TForm)

TForm::TForm(TComponent* AOwner, QString FormResource)
    : TWinControl(AOwner, new TFormWidget(*this)), FFrame(new TFormFrame(*this)), FFormResource(std::move(FormResource)) {
    FFrame->setCentralWidget(&Window());
    // Left to the desktop until a form file asks for a place.
    FFrame->setAttribute(Qt::WA_Moved, false);
}

// The controls' widgets go with the window; their components see that.
TForm::~TForm() { delete FFrame; }

TFormWidget& TForm::Window() const { return *static_cast<TFormWidget*>(Widget()); }

QWidget* TForm::Frame() const { return FFrame; }

QMenuBar* TForm::MenuBar() { return FFrame->menuBar(); }

void TForm::FitFrame() {
    const QWidget* menu = FFrame->menuWidget();
    const int width = Window().width();
    const int menuHeight = !menu ? 0 : menu->hasHeightForWidth() ? menu->heightForWidth(width) : menu->sizeHint().height();
    FFrame->resize(width, Window().height() + menuHeight);
}

void TForm::InitializeForm() {
    QFile file(FFormResource);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(Format("Form file %s cannot be read", {FFormResource.toStdString()}));
    ReadComponentText(*this, file.readAll().toStdString());
}

UnicodeString TForm::GetCaption() const { return FromQString(FFrame->windowTitle()); }

void TForm::SetCaption(const UnicodeString& Value) { FFrame->setWindowTitle(ToQString(Value)); }

int32_t TForm::GetClientWidth() const { return Window().width(); }

void TForm::SetClientWidth(int32_t Value) {
    Window().resize(Value, Window().height());
    FitFrame();
}

int32_t TForm::GetClientHeight() const { return Window().height(); }

void TForm::SetClientHeight(int32_t Value) {
    Window().resize(Window().width(), Value);
    FitFrame();
}

void TForm::SetPosition(TPosition Value) {
    FPosition = Value;
    FFrame->setAttribute(Qt::WA_Moved, Value == poDesigned);
}

// Left and Top count only for a designed position; the window's size is its client size.
void TForm::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
    if (FPosition == poDesigned) FFrame->move(ALeft, ATop);
    if (AWidth <= 0 || AHeight <= 0) return;
    Window().resize(AWidth, AHeight);
    FitFrame();
}

void TForm::SetColor(TColor Value) {
    TWinControl::SetColor(Value);
    QPalette palette = Window().palette();
    palette.setColor(QPalette::Window, ToQColor(Value));
    Window().setPalette(palette);
}

void TForm::Show() {
    // The menu bar's height is known once its menus are in.
    if (!FFrame->isVisible()) FitFrame();
    if (FPosition == poScreenCenter) {
        if (const QScreen* screen = FFrame->screen()) {
            QRect frame = FFrame->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            FFrame->move(frame.topLeft());
        }
    }
    FFrame->show();
}

void TForm::Close() { FFrame->close(); }

void TForm::Loaded() {
    TWinControl::Loaded();
    ApplyTabOrder();
    if (FOnCreate) RunHandled([this] { FOnCreate(this); });
}

void TForm::Resized() {
    if (FOnResize) FOnResize(this);
}

bool TForm::CloseQuery() {
    TCloseAction action = caHide;
    if (FOnClose) FOnClose(this, action);
    return action != caNone;
}

void TForm::ApplyTabOrder() {
    std::vector<TWinControl*> chain;
    for (int i = 0; i < ComponentCount(); ++i) {
        auto* control = dynamic_cast<TWinControl*>(Components(i));
        if (control && control->GetTabOrder() >= 0 && control->Widget()) chain.push_back(control);
    }
    std::stable_sort(chain.begin(), chain.end(),
                     [](const TWinControl* a, const TWinControl* b) { return a->GetTabOrder() < b->GetTabOrder(); });
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1]->Widget(), chain[i]->Widget());
}

// ---- TApplication -----------------------------------------------------------

namespace {

void ShowExceptionBox(std::exception_ptr Error) {
    QString text = QStringLiteral("Unknown exception");
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
    }
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    // Messages carry names from devices and other programs: text, never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// One wake at a time waits in the event queue: each runs the hand-offs queued
// before it, so a hand-off that queues another (received data taken in
// slices) runs once a turn of the event loop, never twice in one.
std::atomic<bool> gWakeQueued{false};

void RunWake() {
    gWakeQueued = false;
    RunHandled([] { CheckSynchronize(); });
}

void WakeMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || gWakeQueued.exchange(true)) return;
    QMetaObject::invokeMethod(app, RunWake, Qt::QueuedConnection);
}

}  // namespace

void TApplication::Initialize() {
    RegisterStdControls();
    gWakeQueued = false;  // a wake of an application that is gone never ran
    SetWakeMainThread(WakeMainThread);
    SetProcessMessagesHook([] {
        QCoreApplication::processEvents();
        CheckSynchronize();
    });
    SetExceptionHandler(ShowExceptionBox);
}

void TApplication::Run() {
    if (FMainForm) {
        FMainForm->Show();
        QApplication::exec();
    }
    FMainForm = nullptr;
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
}

void TApplication::ProcessMessages() { ::ProcessMessages(); }

void TApplication::ShowException(std::exception_ptr Error) {
    RunHandled([&] { std::rethrow_exception(Error); });
}

// Never destroyed: its forms must go while Qt still runs, which Run sees to.
TApplication* TApplicationAccess::operator->() const {
    static TApplication* const application = new TApplication(nullptr);
    return application;
}
