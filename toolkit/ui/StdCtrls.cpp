// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/StdCtrls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "toolkit/core/Canvas.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/TextView.h"

QColor ToQColor(TColor Color) {
    const TColor rgb = ColorToRGB(Color);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

namespace {

constexpr int kStandInStretch = 88;

// What stands in for a fixed-pitch family that is missing: the desktop's own
// fixed-pitch font, or where that is missing too (Windows names one that need
// not be installed), the first installed scalable fixed-pitch family.
QString FixedPitchStandIn() {
    const QString system = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (QFontDatabase::hasFamily(system) && QFontDatabase::isFixedPitch(system)) return system;
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && QFontDatabase::isSmoothlyScalable(family)) return family;
    return system;
}

// Faces near the Windows dialog font, tried in turn for a proportional family
// that is missing. Left to itself a platform may take the first family it
// has: under Wine with only the DejaVu fonts that is a face for formulas, and
// edit boxes in it show no text.
QString ProportionalStandIn(const QString& Family) {
    for (const char* face : {"Segoe UI", "DejaVu Sans", "Liberation Sans", "Noto Sans", "Arial"})
        if (QFontDatabase::hasFamily(QLatin1String(face))) return QLatin1String(face);
    return Family;
}

Word VirtualKey(int QtKey) {
    if ((QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) || (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9))
        return static_cast<Word>(QtKey);  // the same codes as the platform's
    if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) return static_cast<Word>(112 + QtKey - Qt::Key_F1);
    switch (QtKey) {
        case Qt::Key_Backspace: return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter: return VK_RETURN;
        case Qt::Key_Shift: return VK_SHIFT;
        case Qt::Key_Control: return VK_CONTROL;
        case Qt::Key_Alt: return VK_MENU;
        case Qt::Key_Escape: return VK_ESCAPE;
        case Qt::Key_Space: return VK_SPACE;
        case Qt::Key_PageUp: return VK_PRIOR;
        case Qt::Key_PageDown: return VK_NEXT;
        case Qt::Key_End: return VK_END;
        case Qt::Key_Home: return VK_HOME;
        case Qt::Key_Left: return VK_LEFT;
        case Qt::Key_Up: return VK_UP;
        case Qt::Key_Right: return VK_RIGHT;
        case Qt::Key_Down: return VK_DOWN;
        case Qt::Key_Insert: return VK_INSERT;
        case Qt::Key_Delete: return VK_DELETE;
        default: return VK_OTHER;
    }
}

TShiftState ShiftState(Qt::KeyboardModifiers Modifiers) {
    TShiftState shift;
    if (Modifiers & Qt::ShiftModifier) shift.Include(ssShift);
    if (Modifiers & Qt::AltModifier) shift.Include(ssAlt);
    if (Modifiers & Qt::ControlModifier) shift.Include(ssCtrl);
    return shift;
}

// The characters a key types, as the platform reports them: control keys and
// Ctrl+letter give their control codes whatever text the window system sent.
QString TypedCharacters(const QKeyEvent& Event) {
    const int key = Event.key();
    if ((Event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar(key - Qt::Key_A + 1));
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter: return QStringLiteral("\r");
        case Qt::Key_Backspace: return QStringLiteral("\b");
        case Qt::Key_Tab: return QStringLiteral("\t");
        case Qt::Key_Escape: return QStringLiteral("\x1b");
        default: {
            // A key that types nothing in a native edit types nothing here, whatever
            // text the window system gave it (Delete comes as "\x7f" on Windows).
            QString text = Event.text();
            if (!(Event.modifiers() & Qt::ControlModifier))
                text.removeIf([](QChar C) { return C.unicode() < 0x20 || C.unicode() == 0x7F; });
            return text;
        }
    }
}

}  // namespace

// Hands a widget's key presses to its control's OnKeyDown and OnKeyPress; a
// key either handler consumes never reaches the widget.
class TKeyEvents : public QObject {
public:
    TKeyEvents(TWinControl& Control, QWidget* Widget) : QObject(Widget), FControl(Control) {
        Widget->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() != QEvent::KeyPress) return false;
        return Dispatch(static_cast<QKeyEvent&>(*Event));
    }

private:
    // A handler that consumed its key and then failed has still consumed it:
    // the failure is reported and the key never reaches the widget.
    bool Dispatch(const QKeyEvent& Event) {
        if (FControl.FOnKeyDown) {
            Word key = VirtualKey(Event.key());
            RunHandled([&] { FControl.FOnKeyDown(&FControl, key, ShiftState(Event.modifiers())); });
            if (key == 0) return true;
        }
        if (!FControl.FOnKeyPress) return false;
        bool consumed = false;
        for (const QChar c : TypedCharacters(Event)) {
            char16_t key = c.unicode();
            RunHandled([&] { FControl.FOnKeyPress(&FControl, key); });
            consumed = consumed || key == 0;
        }
        return consumed;
    }

    TWinControl& FControl;
};

// ---- TFont ------------------------------------------------------------------

template <>
const TEnumTypeInfo& EnumTypeInfo<TFontCharset>() {
    static const TEnumTypeInfo info{"TFontCharset", {"ANSI_CHARSET", "DEFAULT_CHARSET"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TFontPitch>() {
    static const TEnumTypeInfo info{"TFontPitch", {"fpDefault", "fpVariable", "fpFixed"}};
    return info;
}

const TClassInfo& TFont::StaticClassInfo() {
    using C = TFont;
    static const TClassInfo info = TClassInfoBuilder<C>("TFont", &TPersistent::StaticClassInfo())
                                       .Enum("Charset", &C::GetCharset, &C::SetCharset, DEFAULT_CHARSET)
                                       .Color("Color", &C::GetColor, &C::SetColor, clWindowText)
                                       .Int("Height", &C::GetHeight, &C::SetHeight, -11)
                                       .Str("Name", &C::GetName, &C::SetName)
                                       .Enum("Pitch", &C::GetPitch, &C::SetPitch, fpDefault)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TFont)

namespace {
constexpr int kDesignPixelsPerInch = 96;
}

int32_t TFont::GetSize() const {
    const double points = -static_cast<double>(FHeight) * 72 / kDesignPixelsPerInch;
    return static_cast<int32_t>(std::lround(points));
}

void TFont::SetSize(int32_t Points) { SetHeight(-static_cast<int32_t>(std::lround(Points * kDesignPixelsPerInch / 72.0))); }

// ---- TWinControl ------------------------------------------------------------

const TClassInfo& TWinControl::StaticClassInfo() {
    using C = TWinControl;
    static const TClassInfo info = TClassInfoBuilder<C>("TWinControl", &TControl::StaticClassInfo())
                                       .Bool("Enabled", &C::GetEnabled, &C::SetEnabled, true)
                                       .Int("TabOrder", &C::GetTabOrder, &C::SetTabOrder, -1)
                                       .Object("Font", &C::GetFont)
                                       .Event<TKeyEvent>("OnKeyDown", &C::GetOnKeyDown, &C::SetOnKeyDown)
                                       .Event<TKeyPressEvent>("OnKeyPress", &C::GetOnKeyPress, &C::SetOnKeyPress)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TWinControl)

TWinControl::TWinControl(TComponent* AOwner, QWidget* Widget)
    : TControl(AOwner, Widget), FFont(std::make_unique<TFont>()) {
    new TKeyEvents(*this, Widget);
    FFont->SetOnChange([this] { ApplyFont(); });
}

bool TWinControl::GetEnabled() const { return Widget() && Widget()->isEnabled(); }

void TWinControl::SetEnabled(bool Value) {
    if (Widget()) Widget()->setEnabled(Value);
}

bool TWinControl::Focused() const { return Widget() && Widget()->hasFocus(); }

void TWinControl::SetFocus() {
    if (Widget()) Widget()->setFocus(Qt::OtherFocusReason);
}

// Once set, the control's font no longer follows its parent's.
void TWinControl::ApplyFont() {
    QWidget* widget = Widget();
    if (!widget) return;
    QFont font = widget->font();
    const QString family = QString::fromStdString(FFont->GetName());
    const bool fixed = FFont->GetPitch() == fpFixed;
    const bool missing = !QFontDatabase::hasFamily(family);
    font.setFamily(!missing ? family : fixed ? FixedPitchStandIn() : ProportionalStandIn(family));
    font.setFixedPitch(fixed);
    if (fixed) font.setStyleHint(QFont::TypeWriter);
    // The desktop's stand-in for a missing family is usually wider than the
    // fonts window layouts were made for: narrowed, captions keep to their places.
    font.setStretch(missing && !fixed ? kStandInStretch : QFont::AnyStretch);
    font.setPixelSize(std::max(1, std::abs(FFont->GetHeight())));
    widget->setFont(font);
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, ToQColor(FFont->GetColor()));
    widget->setPalette(palette);
}

// ---- TLabel -----------------------------------------------------------------

const TClassInfo& TLabel::StaticClassInfo() {
    using C = TLabel;
    static const TClassInfo info = TClassInfoBuilder<C>("TLabel", &TWinControl::StaticClassInfo())
                                       .UStr("Caption", &C::GetCaption, &C::SetCaption)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLabel)

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner, new QLabel) { SetAutoSize(true); }

UnicodeString TLabel::GetCaption() const {
    auto* label = qobject_cast<QLabel*>(Widget());
    return label ? FromQString(label->text()) : UnicodeString();
}

void TLabel::SetCaption(const UnicodeString& Value) {
    if (auto* label = qobject_cast<QLabel*>(Widget())) label->setText(ToQString(Value));
    SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight());
}

void TLabel::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
    if (GetAutoSize() && Widget()) {
        const QSize size = Widget()->sizeHint();
        AWidth = size.width();
        AHeight = size.height();
    }
    TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

// ---- TButton ----------------------------------------------------------------

const TClassInfo& TButton::StaticClassInfo() {
    using C = TButton;
    static const TClassInfo info = TClassInfoBuilder<C>("TButton", &TWinControl::StaticClassInfo())
                                       .UStr("Caption", &C::GetCaption, &C::SetCaption)
                                       .Event<TNotifyEvent>("OnClick", &C::GetOnClick, &C::SetOnClick)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TButton)

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner, new QPushButton) {
    auto* button = qobject_cast<QPushButton*>(Widget());
    QObject::connect(button, &QPushButton::clicked, button, [this] { RunHandled([this] { Click(); }); });
}

UnicodeString TButton::GetCaption() const {
    auto* button = qobject_cast<QPushButton*>(Widget());
    return button ? FromQString(button->text()) : UnicodeString();
}

void TButton::SetCaption(const UnicodeString& Value) {
    if (auto* button = qobject_cast<QPushButton*>(Widget())) button->setText(ToQString(Value));
}

void TButton::Click() {
    if (FOnClick) FOnClick(this);
}

// ---- TCheckBox --------------------------------------------------------------

const TClassInfo& TCheckBox::StaticClassInfo() {
    using C = TCheckBox;
    static const TClassInfo info = TClassInfoBuilder<C>("TCheckBox", &TWinControl::StaticClassInfo())
                                       .UStr("Caption", &C::GetCaption, &C::SetCaption)
                                       .Bool("Checked", &C::GetChecked, &C::SetChecked, false)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TCheckBox)

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner, new QCheckBox) {}

UnicodeString TCheckBox::GetCaption() const {
    auto* box = qobject_cast<QCheckBox*>(Widget());
    return box ? FromQString(box->text()) : UnicodeString();
}

void TCheckBox::SetCaption(const UnicodeString& Value) {
    if (auto* box = qobject_cast<QCheckBox*>(Widget())) box->setText(ToQString(Value));
    SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight());
}

bool TCheckBox::GetChecked() const {
    auto* box = qobject_cast<QCheckBox*>(Widget());
    return box && box->isChecked();
}

void TCheckBox::SetChecked(bool Value) {
    if (auto* box = qobject_cast<QCheckBox*>(Widget())) box->setChecked(Value);
}

void TCheckBox::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
    if (Widget()) AWidth = std::max(AWidth, Widget()->sizeHint().width());
    TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

// ---- TEdit ------------------------------------------------------------------

const TClassInfo& TEdit::StaticClassInfo() {
    using C = TEdit;
    static const TClassInfo info = TClassInfoBuilder<C>("TEdit", &TWinControl::StaticClassInfo())
                                       .UStr("Text", &C::GetText, &C::SetText)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TEdit)

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner, new QLineEdit) {}

QLineEdit& TEdit::Edit() const { return *qobject_cast<QLineEdit*>(Widget()); }

UnicodeString TEdit::GetText() const { return Widget() ? FromQString(Edit().text()) : UnicodeString(); }

void TEdit::SetText(const UnicodeString& Value) {
    if (Widget()) Edit().setText(ToQString(Value));
}

// ---- TMemo ------------------------------------------------------------------

template <>
const TEnumTypeInfo& EnumTypeInfo<TScrollStyle>() {
    static const TEnumTypeInfo info{"TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}};
    return info;
}

const TClassInfo& TMemoStrings::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TMemoStrings>("TMemoStrings", &TStrings::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TMemoStrings)

int TMemoStrings::Count() const {
    const TTextLines& lines = FMemo.View().Lines();
    return lines.Length() == 0 ? 0 : static_cast<int>(lines.LineCount());
}

AnsiString TMemoStrings::Get(int Index) const {
    if (Index < 0 || Index >= Count()) throw Exception(Format("List index out of bounds (%d)", {Index}));
    return UnicodeToAnsi(FMemo.View().Lines().LineText(static_cast<std::size_t>(Index)));
}

void TMemoStrings::Clear() { FMemo.Clear(); }

int TMemoStrings::Add(const AnsiString& S) {
    const UnicodeString line = AnsiToUnicode(S);
    FMemo.View().AppendText(Count() == 0 ? line : u"\n" + line);
    return Count() - 1;
}

void TMemoStrings::BeginUpdate() {
    if (FUpdateCount++ == 0) FMemo.View().setUpdatesEnabled(false);
}

void TMemoStrings::EndUpdate() {
    if (FUpdateCount == 0 || --FUpdateCount > 0) return;
    FMemo.View().setUpdatesEnabled(true);
}

const TClassInfo& TMemo::StaticClassInfo() {
    using C = TMemo;
    static const TClassInfo info = TClassInfoBuilder<C>("TMemo", &TWinControl::StaticClassInfo())
                                       .Object("Lines", &C::GetLines)
                                       .Enum("ScrollBars", &C::GetScrollBars, &C::SetScrollBars, ssNone)
                                       .Bool("WantTabs", &C::GetWantTabs, &C::SetWantTabs, false)
                                       .Bool("WordWrap", &C::GetWordWrap, &C::SetWordWrap, true)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TMemo)

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner, new TTextView), FLines(std::make_unique<TMemoStrings>(*this)) {
    SetWantTabs(false);
    SetScrollBars(ssNone);
}

TTextView& TMemo::View() const { return *static_cast<TTextView*>(Widget()); }

UnicodeString TMemo::GetText() const { return View().Text(); }

void TMemo::SetText(const UnicodeString& Value) { View().SetText(Value); }

void TMemo::Clear() { View().Clear(); }

int TMemo::GetTextLength() const { return static_cast<int>(std::min<uint64_t>(View().Length(), INT32_MAX)); }

void TMemo::AppendText(const UnicodeString& Text) { View().AppendText(Text); }

void TMemo::SetWantTabs(bool Value) {
    FWantTabs = Value;
    View().SetTabChangesFocus(!Value);
}

void TMemo::SetWordWrap(bool Value) {
    FWordWrap = Value;
    View().SetWrapping(Value);
}

void TMemo::SetScrollBars(TScrollStyle Value) {
    FScrollBars = Value;
    const auto policy = [](bool Shown) { return Shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff; };
    View().setHorizontalScrollBarPolicy(policy(Value == ssHorizontal || Value == ssBoth));
    View().setVerticalScrollBarPolicy(policy(Value == ssVertical || Value == ssBoth));
}

void TMemo::SetTabStops(std::span<const int32_t> DialogUnits) {
    const int32_t baseUnit = GetDialogBaseUnits() & 0xFFFF;
    QList<int> pixels;
    for (const int32_t units : DialogUnits) pixels.append(units * baseUnit / 4);
    View().SetTabStops(pixels);
}

void TMemo::LineScroll(int32_t Chars, int32_t Lines) {
    View().ScrollRows(Lines);
    View().ScrollCells(Chars);
}

void TMemo::SetSel(int32_t Start, int32_t End) {
    TTextView& view = View();
    view.SetSelection(static_cast<uint64_t>(std::max(0, Start)), static_cast<uint64_t>(std::max(0, End)));
    view.EnsureCaretVisible();
}

// ---- TComboBox --------------------------------------------------------------

const TClassInfo& TComboBoxStrings::StaticClassInfo() {
    static const TClassInfo info =
        TClassInfoBuilder<TComboBoxStrings>("TComboBoxStrings", &TStrings::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TComboBoxStrings)

int TComboBoxStrings::Count() const { return FBox.Box().count(); }

AnsiString TComboBoxStrings::Get(int Index) const {
    if (Index < 0 || Index >= Count()) throw Exception(Format("List index out of bounds (%d)", {Index}));
    return UnicodeToAnsi(FromQString(FBox.Box().itemText(Index)));
}

void TComboBoxStrings::Clear() { FBox.Clear(); }

int TComboBoxStrings::Add(const AnsiString& S) {
    QComboBox& box = FBox.Box();
    const QSignalBlocker quiet(box);
    const QString text = box.currentText();
    const int index = box.currentIndex();
    box.addItem(ToQString(AnsiToUnicode(S)));
    // A list without a selection would otherwise select its first item.
    if (index < 0) {
        box.setCurrentIndex(-1);
        box.setEditText(text);
    }
    return Count() - 1;
}

const TClassInfo& TComboBox::StaticClassInfo() {
    using C = TComboBox;
    static const TClassInfo info = TClassInfoBuilder<C>("TComboBox", &TWinControl::StaticClassInfo())
                                       .UStr("Text", &C::GetText, &C::SetText)
                                       .Event<TNotifyEvent>("OnChange", &C::GetOnChange, &C::SetOnChange)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TComboBox)

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner, new QComboBox), FItems(std::make_unique<TComboBoxStrings>(*this)) {
    QComboBox& box = Box();
    box.setEditable(true);
    box.setInsertPolicy(QComboBox::NoInsert);
    box.setMaxVisibleItems(8);
    const auto changed = [this] {
        RunHandled([this] {
            if (FOnChange) FOnChange(this);
        });
    };
    QObject::connect(box.lineEdit(), &QLineEdit::textEdited, &box, changed);
    QObject::connect(&box, &QComboBox::activated, &box, changed);
}

QComboBox& TComboBox::Box() const { return *qobject_cast<QComboBox*>(Widget()); }

UnicodeString TComboBox::GetText() const { return FromQString(Box().currentText()); }

void TComboBox::SetText(const UnicodeString& Value) { Box().setEditText(ToQString(Value)); }

int32_t TComboBox::GetItemIndex() const { return Box().currentIndex(); }

void TComboBox::SetItemIndex(int32_t Value) { Box().setCurrentIndex(Value); }

void TComboBox::Clear() {
    Box().clear();
    Box().clearEditText();
}

// ---- platform ---------------------------------------------------------------

int32_t GetDialogBaseUnits() {
    // The average width of the letters in the desktop's font, as the platform measures it.
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(QApplication::font());
    const int width = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return (metrics.height() << 16) | (width & 0xFFFF);
}

void RegisterStdControls() {
    for (const TClassInfo* info : {&TLabel::StaticClassInfo(), &TButton::StaticClassInfo(), &TCheckBox::StaticClassInfo(),
                                   &TEdit::StaticClassInfo(), &TMemo::StaticClassInfo(), &TComboBox::StaticClassInfo()})
        RegisterClass(*info);
}
