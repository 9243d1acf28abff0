// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Standard controls as thin adapters over Qt widgets at absolute positions:
// label, button, single-line edit, multi-line edit, editable drop-down list
// and check box, with fonts, enabled state, tab order and key events.

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "toolkit/core/Set.h"
#include "toolkit/ui/Controls.h"
#include "toolkit/ui/QtStrings.h"

class QComboBox;
class QLineEdit;
class TTextView;

using Word = uint16_t;

enum TShiftStateFlag : uint8_t { ssShift, ssAlt, ssCtrl };
using TShiftState = Set<TShiftStateFlag, 3>;

// Virtual-key codes of the keys the programs look at.
constexpr Word VK_BACK = 8;
constexpr Word VK_TAB = 9;
constexpr Word VK_RETURN = 13;
constexpr Word VK_SHIFT = 16;
constexpr Word VK_CONTROL = 17;
constexpr Word VK_MENU = 18;
constexpr Word VK_ESCAPE = 27;
constexpr Word VK_SPACE = 32;
constexpr Word VK_PRIOR = 33;
constexpr Word VK_NEXT = 34;
constexpr Word VK_END = 35;
constexpr Word VK_HOME = 36;
constexpr Word VK_LEFT = 37;
constexpr Word VK_UP = 38;
constexpr Word VK_RIGHT = 39;
constexpr Word VK_DOWN = 40;
constexpr Word VK_INSERT = 45;
constexpr Word VK_DELETE = 46;
// Stands for keys without a code of their own, so that 0 always means "consumed".
constexpr Word VK_OTHER = 0xFF;

// Key handlers consume the key by setting it to 0.
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char16_t& Key)>;

// System colours resolved now.
QColor ToQColor(TColor Color);

enum TFontCharset : uint8_t { ANSI_CHARSET, DEFAULT_CHARSET };
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

template <> const TEnumTypeInfo& EnumTypeInfo<TFontCharset>();
template <> const TEnumTypeInfo& EnumTypeInfo<TFontPitch>();

// A font description in the platform's terms. Height is in pixels at 96 pixels
// per inch; negative values give the character height without leading, as
// font files store it.
class TFont : public TPersistent {
    OSTRA_CLASSINFO()
public:
    TFontCharset GetCharset() const { return FCharset; }
    void SetCharset(TFontCharset Value) { Update(FCharset, Value); }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { Update(FColor, Value); }
    int32_t GetHeight() const { return FHeight; }
    void SetHeight(int32_t Value) { Update(FHeight, Value); }
    const AnsiString& GetName() const { return FName; }
    void SetName(const AnsiString& Value) { Update(FName, Value); }
    TFontPitch GetPitch() const { return FPitch; }
    void SetPitch(TFontPitch Value) { Update(FPitch, Value); }
    // In points, rounded, from Height at 96 pixels per inch.
    int32_t GetSize() const;
    void SetSize(int32_t Points);

    void SetOnChange(std::function<void()> Value) { FOnChange = std::move(Value); }

private:
    // Notifies even when the value stays: the first value read from a form
    // file gives a control its own font.
    template <class T>
    void Update(T& Field, const T& Value) {
        Field = Value;
        if (FOnChange) FOnChange();
    }

    TFontCharset FCharset = DEFAULT_CHARSET;
    TColor FColor = clWindowText;
    int32_t FHeight = -11;
    AnsiString FName = "Tahoma";
    TFontPitch FPitch = fpDefault;
    std::function<void()> FOnChange;
};

// A control with a window of its own: it can be disabled, takes part in the
// tab order, has a font and receives keys. Until its font is set it shows its
// parent's.
class TWinControl : public TControl {
    OSTRA_CLASSINFO()
public:
    TWinControl(TComponent* AOwner, QWidget* Widget);

    bool GetEnabled() const;
    void SetEnabled(bool Value);
    // -1: not in the tab order.
    int32_t GetTabOrder() const { return FTabOrder; }
    void SetTabOrder(int32_t Value) { FTabOrder = Value; }
    TFont* GetFont() const { return FFont.get(); }
    bool Focused() const;
    void SetFocus();

    const TKeyEvent& GetOnKeyDown() const { return FOnKeyDown; }
    void SetOnKeyDown(TKeyEvent Value) { FOnKeyDown = std::move(Value); }
    const TKeyPressEvent& GetOnKeyPress() const { return FOnKeyPress; }
    void SetOnKeyPress(TKeyPressEvent Value) { FOnKeyPress = std::move(Value); }

private:
    friend class TKeyEvents;
    void ApplyFont();

    std::unique_ptr<TFont> FFont;
    int32_t FTabOrder = -1;
    TKeyEvent FOnKeyDown;
    TKeyPressEvent FOnKeyPress;
};

class TLabel : public TWinControl {
    OSTRA_CLASSINFO()
public:
    explicit TLabel(TComponent* AOwner);
    UnicodeString GetCaption() const;
    void SetCaption(const UnicodeString& Value);
    // With AutoSize (the default) the label takes the size its caption needs.
    void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

protected:
    void CMFontChanged() override { SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight()); }
};

class TButton : public TWinControl {
    OSTRA_CLASSINFO()
public:
    explicit TButton(TComponent* AOwner);
    UnicodeString GetCaption() const;
    void SetCaption(const UnicodeString& Value);
    const TNotifyEvent& GetOnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent Value) { FOnClick = std::move(Value); }
    // What a mouse click does.
    void Click();

private:
    TNotifyEvent FOnClick;
};

class TCheckBox : public TWinControl {
    OSTRA_CLASSINFO()
public:
    explicit TCheckBox(TComponent* AOwner);
    UnicodeString GetCaption() const;
    void SetCaption(const UnicodeString& Value);
    bool GetChecked() const;
    void SetChecked(bool Value);
    // Never narrower than its caption needs.
    void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

protected:
    void CMFontChanged() override { SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight()); }
};

class TEdit : public TWinControl {
    OSTRA_CLASSINFO()
public:
    explicit TEdit(TComponent* AOwner);
    UnicodeString GetText() const;
    void SetText(const UnicodeString& Value);

private:
    QLineEdit& Edit() const;
};

enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
template <> const TEnumTypeInfo& EnumTypeInfo<TScrollStyle>();

class TMemo;

// The lines of a memo, as 8-bit strings in the system's code page.
class TMemoStrings : public TStrings {
    OSTRA_CLASSINFO()
public:
    explicit TMemoStrings(TMemo& Memo) : FMemo(Memo) {}
    int Count() const override;
    AnsiString Get(int Index) const override;
    void Clear() override;
    int Add(const AnsiString& S) override;
    // Redraw once for a series of changes.
    void BeginUpdate();
    void EndUpdate();

private:
    TMemo& FMemo;
    int FUpdateCount = 0;
};

class TMemo : public TWinControl {
    OSTRA_CLASSINFO()
public:
    explicit TMemo(TComponent* AOwner);

    TMemoStrings* GetLines() const { return FLines.get(); }
    UnicodeString GetText() const;
    void SetText(const UnicodeString& Value);
    void Clear();
    int GetTextLength() const;
    // Adds Text at the end without touching the caret or the selection, and
    // shows the end unless the user has scrolled back to read. A carriage
    // return, a line feed and the pair of them each end a line, also when the
    // pair is split over two calls.
    void AppendText(const UnicodeString& Text);

    bool GetWantTabs() const { return FWantTabs; }
    void SetWantTabs(bool Value);
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    TScrollStyle GetScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);

    // Tab positions in dialog template units: four make one horizontal dialog
    // base unit (GetDialogBaseUnits).
    void SetTabStops(std::span<const int32_t> DialogUnits);
    // Scrolls by whole lines (clamped at the ends) and characters.
    void LineScroll(int32_t Chars, int32_t Lines);
    // Selects from Start to End, in characters of the text.
    void SetSel(int32_t Start, int32_t End);

    TTextView& View() const;

private:
    std::unique_ptr<TMemoStrings> FLines;
    bool FWantTabs = false;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = ssNone;
};

class TComboBox;

// The items of a drop-down list.
class TComboBoxStrings : public TStrings {
    OSTRA_CLASSINFO()
public:
    explicit TComboBoxStrings(TComboBox& Box) : FBox(Box) {}
    int Count() const override;
    AnsiString Get(int Index) const override;
    // Removes the items and empties the text.
    void Clear() override;
    // Adding never changes the text or the selection.
    int Add(const AnsiString& S) override;

private:
    TComboBox& FBox;
};

// An editable drop-down list. OnChange follows the user: typing or picking an item.
class TComboBox : public TWinControl {
    OSTRA_CLASSINFO()
public:
    explicit TComboBox(TComponent* AOwner);

    TComboBoxStrings* GetItems() const { return FItems.get(); }
    UnicodeString GetText() const;
    void SetText(const UnicodeString& Value);
    int32_t GetItemIndex() const;
    void SetItemIndex(int32_t Value);
    // Items and text.
    void Clear();
    const TNotifyEvent& GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

    QComboBox& Box() const;

private:
    std::unique_ptr<TComboBoxStrings> FItems;
    TNotifyEvent FOnChange;
};

// The horizontal dialog base unit in the low 16 bits, the vertical one in the high 16.
int32_t GetDialogBaseUnits();

// Makes the standard controls known to the form reader.
void RegisterStdControls();
