// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Top-level windows built from text form files, and the application object
// that runs the event loop.

#include <QString>
#include <exception>
#include <functional>

#include "toolkit/ui/StdCtrls.h"

enum TPosition : uint8_t {
    poDesigned,         // at the stored Left and Top
    poDefault,
    poDefaultPosOnly,   // where the desktop puts new windows
    poDefaultSizeOnly,
    poScreenCenter,
};
template <> const TEnumTypeInfo& EnumTypeInfo<TPosition>();

enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

class TFormWidget;
class TFormFrame;
class QMenuBar;

// A top-level window. Its controls, their settings and its event bindings come
// from a form file in the program's Qt resources; OnCreate runs once the
// whole file has been read. The form's widget is the client area; the window
// around it adds a menu bar above it when one is asked for, so the client
// area keeps its size.
class TForm : public TWinControl {
    OSTRA_CLASSINFO()
public:
    // FormResource: the form file's path in the resources (":/forms/x.form").
    TForm(TComponent* AOwner, QString FormResource);
    ~TForm() override;

    // Reads the form file. Raises EParserError when it is malformed.
    void InitializeForm();

    UnicodeString GetCaption() const;
    void SetCaption(const UnicodeString& Value);
    int32_t GetClientWidth() const;
    void SetClientWidth(int32_t Value);
    int32_t GetClientHeight() const;
    void SetClientHeight(int32_t Value);
    TPosition GetPosition() const { return FPosition; }
    void SetPosition(TPosition Value);
    // Also the window's background.
    void SetColor(TColor Value);
    void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

    void Show();
    // Asks the window to close, as its close button does.
    void Close();
    // The window's menu bar, made on first use. The window grows by its
    // height when it is shown.
    QMenuBar* MenuBar();
    // The top-level window around the client area.
    QWidget* Frame() const;

    const TNotifyEvent& GetOnCreate() const { return FOnCreate; }
    void SetOnCreate(TNotifyEvent Value) { FOnCreate = std::move(Value); }
    const TNotifyEvent& GetOnResize() const { return FOnResize; }
    void SetOnResize(TNotifyEvent Value) { FOnResize = std::move(Value); }
    const TCloseEvent& GetOnClose() const { return FOnClose; }
    void SetOnClose(TCloseEvent Value) { FOnClose = std::move(Value); }

    void Loaded() override;

private:
    friend class TFormWidget;
    friend class TFormFrame;
    TFormWidget& Window() const;
    // Sizes the window to hold the client area and the menu bar.
    void FitFrame();
    void Resized();
    // Whether the window may close.
    bool CloseQuery();
    void ApplyTabOrder();

    TFormFrame* FFrame;
    QString FFormResource;
    TPosition FPosition = poDefaultPosOnly;
    TNotifyEvent FOnCreate;
    TNotifyEvent FOnResize;
    TCloseEvent FOnClose;
};

// The application: hands work queued by other threads to the Qt event loop,
// shows unhandled exceptions, owns the forms and runs the main one.
class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner) : TComponent(AOwner) {}

    // Needs the QApplication to exist.
    void Initialize();
    bool GetMainFormOnTaskBar() const { return FMainFormOnTaskBar; }
    // Every top-level window has its own taskbar button on the desktops Qt serves.
    void SetMainFormOnTaskBar(bool Value) { FMainFormOnTaskBar = Value; }

    // Creates a form owned by the application; Reference holds it before its
    // form file is read, so its OnCreate handler may reach it. The first form
    // created is the main form.
    template <class T>
    void CreateForm(T*& Reference) {
        Reference = new T(this);
        if (!FMainForm) FMainForm = Reference;
        Reference->InitializeForm();
    }
    TForm* MainForm() const { return FMainForm; }

    // Shows the main form and processes events until it has closed; then frees the forms.
    void Run();
    // Pending window events, then the work handed over by other threads.
    void ProcessMessages();
    // Shows an exception the way an unhandled one is shown.
    void ShowException(std::exception_ptr Error);

private:
    TForm* FMainForm = nullptr;
    bool FMainFormOnTaskBar = false;
};

struct TApplicationAccess {
    TApplication* operator->() const;
};
inline constexpr TApplicationAccess Application{};
