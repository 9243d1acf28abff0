// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "toolkit/core/FormFile.h"
#include "toolkit/core/Graphics.h"

namespace {

enum TTestStyle : uint8_t { tsFlat, tsRaised, tsSunken };
enum TTestFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TTestFontStyles = Set<TTestFontStyle, 4>;
using TKeyEvent = std::function<void(TObject* Sender, int& Key)>;

}  // namespace

template <>
const TEnumTypeInfo& EnumTypeInfo<TTestStyle>() {
    static const TEnumTypeInfo info{"TTestStyle", {"tsFlat", "tsRaised", "tsSunken"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TTestFontStyle>() {
    static const TEnumTypeInfo info{"TTestFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};
    return info;
}

namespace {

// Names of the objects whose Loaded() ran, in order.
std::vector<std::string>& LoadedLog() {
    static std::vector<std::string> log;
    return log;
}

class TTestEdge : public TPersistent {
    OSTRA_CLASSINFO()
public:
    int32_t GetWidth() const { return FWidth; }
    void SetWidth(int32_t Value) { FWidth = Value; }

private:
    int32_t FWidth = 1;
};

const TClassInfo& TTestEdge::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TTestEdge>("TTestEdge", &TPersistent::StaticClassInfo())
                                       .Int("Width", &TTestEdge::GetWidth, &TTestEdge::SetWidth, 1)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TTestEdge)

class TTestBevel : public TPersistent {
    OSTRA_CLASSINFO()
public:
    TTestStyle GetStyle() const { return FStyle; }
    void SetStyle(TTestStyle Value) { FStyle = Value; }
    TColor GetShadow() const { return FShadow; }
    void SetShadow(TColor Value) { FShadow = Value; }
    TColor GetHighlight() const { return FHighlight; }
    void SetHighlight(TColor Value) { FHighlight = Value; }
    TTestEdge* GetEdge() { return &FEdge; }
    const TNotifyEvent& GetOnChange() const { return FOnChange; }
    void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

private:
    TTestStyle FStyle = tsRaised;
    TColor FShadow = clBtnShadow;
    TColor FHighlight = clBtnHighlight;
    TTestEdge FEdge;
    TNotifyEvent FOnChange;
};

const TClassInfo& TTestBevel::StaticClassInfo() {
    static const TClassInfo info =
        TClassInfoBuilder<TTestBevel>("TTestBevel", &TPersistent::StaticClassInfo())
            .Enum("Style", &TTestBevel::GetStyle, &TTestBevel::SetStyle, tsRaised)
            .Color("Shadow", &TTestBevel::GetShadow, &TTestBevel::SetShadow, clBtnShadow)
            .Color("Highlight", &TTestBevel::GetHighlight, &TTestBevel::SetHighlight, std::nullopt)
            .Object("Edge", &TTestBevel::GetEdge)
            .Event<TNotifyEvent>("OnChange", &TTestBevel::GetOnChange, &TTestBevel::SetOnChange)
            .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TTestBevel)

// A control with one property of every kind. Each setter records its call
// and whether the control was loading at that moment.
class TTestControl : public TComponent {
    OSTRA_CLASSINFO()
public:
    explicit TTestControl(TComponent* AOwner) : TComponent(AOwner) {}

    struct TSetterCall {
        std::string Prop;
        bool Loading;
        friend bool operator==(const TSetterCall&, const TSetterCall&) = default;
    };
    std::vector<TSetterCall> SetterCalls;
    TComponent* ParentComponent = nullptr;
    bool OwnerLoadingAtLoaded = false;

    int32_t GetLeft() const { return FLeft; }
    void SetLeft(int32_t Value) {
        Note("Left");
        FLeft = Value;
    }
    int32_t GetWidth() const { return FWidth; }
    void SetWidth(int32_t Value) {
        Note("Width");
        if (Value < 0) throw EConvertError("Width cannot be negative");
        FWidth = Value;
    }
    uint32_t GetCount() const { return FCount; }
    void SetCount(uint32_t Value) {
        Note("Count");
        FCount = Value;
    }
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool Value) {
        Note("Enabled");
        FEnabled = Value;
    }
    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value) {
        Note("AutoSize");
        FAutoSize = Value;
    }
    char GetHotkey() const { return FHotkey; }
    void SetHotkey(char Value) {
        Note("Hotkey");
        FHotkey = Value;
    }
    TTestStyle GetStyle() const { return FStyle; }
    void SetStyle(TTestStyle Value) {
        Note("Style");
        FStyle = Value;
    }
    TTestFontStyles GetFontStyle() const { return FFontStyle; }
    void SetFontStyle(TTestFontStyles Value) {
        Note("FontStyle");
        FFontStyle = Value;
    }
    const AnsiString& GetCaption() const { return FCaption; }
    void SetCaption(const AnsiString& Value) {
        Note("Caption");
        FCaption = Value;
    }
    const UnicodeString& GetHint() const { return FHint; }
    void SetHint(const UnicodeString& Value) {
        Note("Hint");
        FHint = Value;
    }
    double GetRatio() const { return FRatio; }
    void SetRatio(double Value) {
        Note("Ratio");
        FRatio = Value;
    }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) {
        Note("Color");
        FColor = Value;
    }
    TTestBevel* GetBevel() { return &FBevel; }
    TStringList* GetLines() { return &FLines; }
    const TNotifyEvent& GetOnClick() const { return FOnClick; }
    void SetOnClick(const TNotifyEvent& Value) {
        Note("OnClick");
        FOnClick = Value;
    }
    const TKeyEvent& GetOnKey() const { return FOnKey; }
    void SetOnKey(const TKeyEvent& Value) {
        Note("OnKey");
        FOnKey = Value;
    }

    void SetParentComponent(TComponent* Parent) override { ParentComponent = Parent; }
    void Loaded() override {
        OwnerLoadingAtLoaded = GetOwner() && GetOwner()->Loading();
        LoadedLog().push_back(GetName());
        TComponent::Loaded();
    }

private:
    void Note(const char* Prop) { SetterCalls.push_back({Prop, Loading()}); }

    int32_t FLeft = 0;
    int32_t FWidth = 0;
    uint32_t FCount = 100;
    bool FEnabled = true;
    bool FAutoSize = false;
    char FHotkey = 17;
    TTestStyle FStyle = tsFlat;
    TTestFontStyles FFontStyle;
    AnsiString FCaption;
    UnicodeString FHint;
    double FRatio = 1.5;
    TColor FColor = clBtnFace;
    TTestBevel FBevel;
    TStringList FLines;
    TNotifyEvent FOnClick;
    TKeyEvent FOnKey;
};

const TClassInfo& TTestControl::StaticClassInfo() {
    using C = TTestControl;
    static const TClassInfo info =
        TClassInfoBuilder<C>("TTestControl", &TComponent::StaticClassInfo())
            .Int("Left", &C::GetLeft, &C::SetLeft, 0)
            .Int("Width", &C::GetWidth, &C::SetWidth, 0)
            .UInt("Count", &C::GetCount, &C::SetCount, 100)
            .Bool("Enabled", &C::GetEnabled, &C::SetEnabled, true)
            .Bool("AutoSize", &C::GetAutoSize, &C::SetAutoSize, std::nullopt)
            .Char("Hotkey", &C::GetHotkey, &C::SetHotkey, 17)
            .Enum("Style", &C::GetStyle, &C::SetStyle, tsFlat)
            .SetOf<TTestFontStyle>("FontStyle", &C::GetFontStyle, &C::SetFontStyle, 0)
            .Str("Caption", &C::GetCaption, &C::SetCaption)
            .UStr("Hint", &C::GetHint, &C::SetHint)
            .Float("Ratio", &C::GetRatio, &C::SetRatio, 1.5)
            .Color("Color", &C::GetColor, &C::SetColor, clBtnFace)
            .Object("Bevel", &C::GetBevel)
            .Object("Lines", &C::GetLines)
            .Event<TNotifyEvent>("OnClick", &C::GetOnClick, &C::SetOnClick)
            .Event<TKeyEvent>("OnKey", &C::GetOnKey, &C::SetOnKey)
            .Creatable()
            .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TTestControl)

class TTestButton : public TTestControl {
    OSTRA_CLASSINFO()
public:
    using TTestControl::TTestControl;
    bool GetDefault() const { return FDefault; }
    void SetDefault(bool Value) { FDefault = Value; }

private:
    bool FDefault = false;
};

const TClassInfo& TTestButton::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TTestButton>("TTestButton", &TTestControl::StaticClassInfo())
                                       .Bool("Default", &TTestButton::GetDefault, &TTestButton::SetDefault, false)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TTestButton)

class TTestForm : public TComponent {
    OSTRA_CLASSINFO()
public:
    explicit TTestForm(TComponent* AOwner) : TComponent(AOwner) {}

    TTestButton* b_Send = nullptr;
    TTestControl* Panel1 = nullptr;
    std::vector<std::string> Calls;
    std::vector<std::string> SetterCalls;
    bool ChildrenLoadingAtLoaded = true;

    const UnicodeString& GetCaption() const { return FCaption; }
    void SetCaption(const UnicodeString& Value) {
        SetterCalls.push_back("Caption");
        FCaption = Value;
    }
    int32_t GetClientWidth() const { return FClientWidth; }
    void SetClientWidth(int32_t Value) {
        SetterCalls.push_back("ClientWidth");
        FClientWidth = Value;
    }
    const TNotifyEvent& GetOnCreate() const { return FOnCreate; }
    void SetOnCreate(const TNotifyEvent& Value) { FOnCreate = Value; }

    void b_SendClick(TObject* Sender) { Calls.push_back("b_SendClick:" + static_cast<TComponent*>(Sender)->GetName()); }
    void FormCreate(TObject*) { Calls.push_back("FormCreate"); }
    void KeyDown(TObject*, int& Key) {
        Calls.push_back("KeyDown:" + std::to_string(Key));
        Key = 0;
    }

    void Loaded() override {
        ChildrenLoadingAtLoaded = false;
        for (int i = 0; i < ComponentCount(); ++i) ChildrenLoadingAtLoaded |= Components(i)->Loading();
        LoadedLog().push_back(GetName());
        TComponent::Loaded();
    }

private:
    UnicodeString FCaption;
    int32_t FClientWidth = 0;
    TNotifyEvent FOnCreate;
};

const TClassInfo& TTestForm::StaticClassInfo() {
    using C = TTestForm;
    static const TClassInfo info = TClassInfoBuilder<C>("TTestForm", &TComponent::StaticClassInfo())
                                       .UStr("Caption", &C::GetCaption, &C::SetCaption)
                                       .Int("ClientWidth", &C::GetClientWidth, &C::SetClientWidth, 0)
                                       .Event<TNotifyEvent>("OnCreate", &C::GetOnCreate, &C::SetOnCreate)
                                       .Field("b_Send", &C::b_Send)
                                       .Field("Panel1", &C::Panel1)
                                       .Method<TNotifyEvent>("b_SendClick", &C::b_SendClick)
                                       .Method<TNotifyEvent>("FormCreate", &C::FormCreate)
                                       .Method<TKeyEvent>("KeyDown", &C::KeyDown)
                                       .Creatable()
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TTestForm)

// Known by name but not creatable.
const TClassInfo& AbstractClassInfo() {
    static const TClassInfo info =
        TClassInfoBuilder<TTestControl>("TTestAbstract", &TComponent::StaticClassInfo()).Build();
    return info;
}

const bool gRegistered = [] {
    RegisterClass(TTestControl::StaticClassInfo());
    RegisterClass(TTestButton::StaticClassInfo());
    RegisterClass(TTestForm::StaticClassInfo());
    RegisterClass(AbstractClassInfo());
    return true;
}();

class CoreFormFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gRegistered);
        LoadedLog().clear();
    }
    TTestForm Form{nullptr};
};

std::vector<std::string> StringsOf(const TStrings& Strings) {
    std::vector<std::string> items;
    for (int i = 0; i < Strings.Count(); ++i) items.push_back(Strings[i]);
    return items;
}

// ---- reading and writing back -------------------------------------------------

TEST_F(CoreFormFileTest, WritesOnlyValuesThatDifferFromTheirDefaults) {
    TTestButton button(&Form);
    button.SetName("b_Send");
    // AutoSize and Bevel.Highlight have no default, so they are always written;
    // the empty Caption and Hint and the empty Lines are left out.
    EXPECT_EQ(WriteComponentText(Form),
              "object TTestForm\n"
              "  object b_Send: TTestButton\n"
              "    AutoSize = False\n"
              "    Bevel.Highlight = clBtnHighlight\n"
              "  end\n"
              "end\n");
}

// Every kind of value, in declared order, as the writer must produce it.
const char* const kFullForm =
    "object Form1: TTestForm\n"
    "  Caption = 'Ostra Console'\n"
    "  ClientWidth = 622\n"
    "  OnCreate = FormCreate\n"
    "  object b_Send: TTestButton\n"
    "    Left = -8\n"
    "    Width = 75\n"
    "    Count = 4294967295\n"
    "    Enabled = False\n"
    "    AutoSize = True\n"
    "    Hotkey = #200\n"
    "    Style = tsSunken\n"
    "    FontStyle = [fsBold, fsUnderline]\n"
    "    Caption = 'it''s'#13#10'done'\n"
    "    Hint = 'caf'#233' '#55357#56832\n"
    "    Ratio = 0.1\n"
    "    Color = 1193046\n"
    "    Bevel.Style = tsFlat\n"
    "    Bevel.Shadow = clGreen\n"
    "    Bevel.Highlight = clLime\n"
    "    Bevel.Edge.Width = 3\n"
    "    Bevel.OnChange = b_SendClick\n"
    "    Lines.Strings = (\n"
    "      'Memo1'\n"
    "      '')\n"
    "    OnClick = b_SendClick\n"
    "    OnKey = KeyDown\n"
    "    Default = True\n"
    "  end\n"
    "  object Panel1: TTestControl\n"
    "    Width = 10\n"
    "    AutoSize = False\n"
    "    Color = clWindowText\n"
    "    Bevel.Highlight = clBtnHighlight\n"
    "  end\n"
    "end\n";

TEST_F(CoreFormFileTest, ReadsEveryKindOfValueAndWritesItBackIdentically) {
    ReadComponentText(Form, kFullForm);

    EXPECT_EQ(Form.GetName(), "Form1");
    EXPECT_EQ(Form.GetCaption(), u"Ostra Console");
    EXPECT_EQ(Form.GetClientWidth(), 622);
    ASSERT_EQ(Form.ComponentCount(), 2);
    ASSERT_NE(Form.b_Send, nullptr);
    ASSERT_NE(Form.Panel1, nullptr);
    const TTestButton& b = *Form.b_Send;
    EXPECT_EQ(b.GetName(), "b_Send");
    EXPECT_EQ(b.GetOwner(), &Form);
    EXPECT_EQ(b.GetLeft(), -8);
    EXPECT_EQ(b.GetCount(), 4294967295u);
    EXPECT_FALSE(b.GetEnabled());
    EXPECT_TRUE(b.GetAutoSize());
    EXPECT_EQ(static_cast<unsigned char>(b.GetHotkey()), 200);
    EXPECT_EQ(b.GetStyle(), tsSunken);
    EXPECT_EQ(b.GetFontStyle(), (TTestFontStyles{fsBold, fsUnderline}));
    EXPECT_EQ(b.GetCaption(), "it's\r\ndone");
    EXPECT_EQ(b.GetHint(), u"caf\u00e9 \U0001F600");
    EXPECT_EQ(b.GetRatio(), 0.1);
    EXPECT_EQ(b.GetColor(), 0x123456);
    EXPECT_EQ(Form.Panel1->GetColor(), clWindowText);
    EXPECT_TRUE(b.GetDefault());
    TTestBevel& bevel = *Form.b_Send->GetBevel();
    EXPECT_EQ(bevel.GetStyle(), tsFlat);
    EXPECT_EQ(bevel.GetShadow(), clGreen);
    EXPECT_EQ(bevel.GetHighlight(), clLime);
    EXPECT_EQ(bevel.GetEdge()->GetWidth(), 3);
    EXPECT_EQ(StringsOf(*Form.b_Send->GetLines()), (std::vector<std::string>{"Memo1", ""}));

    EXPECT_EQ(WriteComponentText(Form), kFullForm);

    TTestForm copy(nullptr);
    ReadComponentText(copy, WriteComponentText(Form));
    EXPECT_EQ(WriteComponentText(copy), kFullForm);
}

TEST_F(CoreFormFileTest, CreatesTheRootByClassNameUnderItsOwner) {
    TComponent owner(nullptr);
    TComponent* root = CreateComponentFromText(kFullForm, &owner);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->ClassName(), "TTestForm");
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(root->GetOwner(), &owner);
    EXPECT_FALSE(root->Loading());
    EXPECT_EQ(WriteComponentText(*root), kFullForm);
}

TEST_F(CoreFormFileTest, EventsCallTheRootsMethodsAndRememberTheirNames) {
    ReadComponentText(Form, kFullForm);
    TTestButton& b = *Form.b_Send;

    b.GetOnClick()(&b);
    int key = 13;
    b.GetOnKey()(&b, key);
    Form.GetOnCreate()(&Form);
    b.GetBevel()->GetOnChange()(&b);

    EXPECT_EQ(key, 0);
    EXPECT_EQ(Form.Calls,
              (std::vector<std::string>{"b_SendClick:b_Send", "KeyDown:13", "FormCreate", "b_SendClick:b_Send"}));
    ASSERT_NE(b.BoundMethodName("OnKey"), nullptr);
    EXPECT_EQ(*b.BoundMethodName("OnKey"), "KeyDown");
    ASSERT_NE(b.GetBevel()->BoundMethodName("OnChange"), nullptr);
    EXPECT_EQ(*b.GetBevel()->BoundMethodName("OnChange"), "b_SendClick");
}

TEST_F(CoreFormFileTest, AnEventWithoutAKnownMethodNameIsNotWritten) {
    TTestControl control(&Form);
    control.SetName("c");
    control.SetOnClick([](TObject*) {});
    EXPECT_EQ(WriteComponentText(Form).find("OnClick"), std::string::npos);
}

TEST_F(CoreFormFileTest, NestedObjectsGetTheirParentAndAreWrittenFlatUnderTheRoot) {
    ReadComponentText(Form,
                      "object Form1: TTestForm\n"
                      "  object Panel1: TTestControl\n"
                      "    object b_Send: TTestButton\n"
                      "      Left = 1\n"
                      "    end\n"
                      "    Left = 2\n"
                      "  end\n"
                      "end");
    ASSERT_EQ(Form.ComponentCount(), 2);
    EXPECT_EQ(Form.Panel1->ParentComponent, &Form);
    EXPECT_EQ(Form.b_Send->ParentComponent, Form.Panel1);
    EXPECT_EQ(Form.b_Send->GetOwner(), &Form);
    EXPECT_EQ(Form.Panel1->GetLeft(), 2);
    EXPECT_EQ(WriteComponentText(Form),
              "object Form1: TTestForm\n"
              "  object Panel1: TTestControl\n"
              "    Left = 2\n"
              "    AutoSize = False\n"
              "    Bevel.Highlight = clBtnHighlight\n"
              "  end\n"
              "  object b_Send: TTestButton\n"
              "    Left = 1\n"
              "    AutoSize = False\n"
              "    Bevel.Highlight = clBtnHighlight\n"
              "  end\n"
              "end\n");
}

TEST_F(CoreFormFileTest, AnUnnamedObjectReadsAndWritesWithoutAName) {
    ReadComponentText(Form, "object Form1: TTestForm object TTestControl Left = 4 end end");
    ASSERT_EQ(Form.ComponentCount(), 1);
    EXPECT_EQ(Form.Components(0)->GetName(), "");
    EXPECT_NE(WriteComponentText(Form).find("\n  object TTestControl\n    Left = 4\n"), std::string::npos);
}

// ---- value syntax -------------------------------------------------------------

struct TValueCase {
    const char* Line;      // one property line of a TTestControl
    const char* Expected;  // how it is written back
};

void PrintTo(const TValueCase& Case, std::ostream* Out) { *Out << Case.Line; }

class CoreValueSyntaxTest : public CoreFormFileTest, public ::testing::WithParamInterface<TValueCase> {};

TEST_P(CoreValueSyntaxTest, ReadsTheValueAndWritesItInCanonicalForm) {
    const std::string text =
        std::string("object F: TTestForm object c: TTestControl AutoSize = False\n") + GetParam().Line + "\nend end";
    ReadComponentText(Form, text);
    const std::string written = WriteComponentText(Form);
    const std::string expected = std::string("    ") + GetParam().Expected + "\n";
    EXPECT_NE(written.find(expected), std::string::npos) << written;
    TTestForm copy(nullptr);
    ReadComponentText(copy, written);
    EXPECT_EQ(WriteComponentText(copy), written);
}

INSTANTIATE_TEST_SUITE_P(
    Core, CoreValueSyntaxTest,
    ::testing::Values(TValueCase{"Left = $10", "Left = 16"}, TValueCase{"Left = -$10", "Left = -16"},
                      TValueCase{"Left = $FFFFFFFF", "Left = -1"},
                      TValueCase{"Left = -2147483648", "Left = -2147483648"},
                      TValueCase{"Count = $FFFFFFFF", "Count = 4294967295"}, TValueCase{"Count = 0", "Count = 0"},
                      TValueCase{"Hotkey = 'a'", "Hotkey = 'a'"}, TValueCase{"Hotkey = 65", "Hotkey = 'A'"},
                      TValueCase{"Hotkey = #$0D", "Hotkey = #13"}, TValueCase{"Hotkey = ''''", "Hotkey = ''''"},
                      TValueCase{"Hotkey = #0", "Hotkey = #0"}, TValueCase{"Ratio = -2.5e3", "Ratio = -2500.0"},
                      TValueCase{"Ratio = 1.64", "Ratio = 1.64"}, TValueCase{"Ratio = 7", "Ratio = 7.0"},
                      TValueCase{"Ratio = 1E20", "Ratio = 1e+20"},
                      TValueCase{"Ratio = 12345678901234567890.0", "Ratio = 12345678901234567168.0"},
                      TValueCase{"Ratio = 2.5e-7", "Ratio = 2.5e-07"}, TValueCase{"Color = $000000FF", "Color = clRed"},
                      TValueCase{"Color = $80000008", "Color = clWindowText"},
                      TValueCase{"Color = -2147483647", "Color = -2147483647"},
                      TValueCase{"FontStyle = [ fsStrikeOut ,fsBold ]", "FontStyle = [fsBold, fsStrikeOut]"},
                      TValueCase{"Caption = 'a' +\n   'b' + #9", "Caption = 'ab'#9"},
                      TValueCase{"Caption = #$41#66'c'", "Caption = 'ABc'"},
                      TValueCase{"Hint = '\xE2\x82\xAC'#$20AC", "Hint = #8364#8364"},
                      TValueCase{"Lines.Strings = ( 'a' 'b'#10 + 'c' )",
                                 "Lines.Strings = (\n      'a'\n      'b'#10'c')"}));

TEST_F(CoreFormFileTest, ALaterLinesStringsReplaceTheEarlierOnes) {
    ReadComponentText(Form,
                      "object F: TTestForm object c: TTestControl\n"
                      "Lines.Strings = ('x' 'y')\nLines.Strings = ('z')\nLines.Strings = ()\nLines.Strings = ('w')\n"
                      "end end");
    EXPECT_EQ(StringsOf(*static_cast<TTestControl*>(Form.Components(0))->GetLines()), std::vector<std::string>{"w"});
}

TEST_F(CoreFormFileTest, EightBitStringsKeepEveryByteAndUnicodeStringsEveryUnit) {
    AnsiString allBytes;
    for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<char>(i));
    const AnsiString tricky = std::string("it's ''quoted''\0end", 19) + "\x80\xff";
    UnicodeString units = u"'\u00e9\u4e2d";
    units.push_back(0xD800);  // a lone surrogate stays as it is
    units.push_back(0);

    TTestControl& c = *new TTestControl(&Form);
    c.SetName("c");
    c.SetCaption(allBytes);
    c.SetHint(units);
    c.GetLines()->Add(tricky);
    c.GetLines()->Add(allBytes);
    c.GetLines()->Add("");

    const std::string written = WriteComponentText(Form);
    EXPECT_NE(written.find("'it''s ''''quoted'''''#0'end'#128#255"), std::string::npos) << written;
    EXPECT_NE(written.find("Hint = ''''#233#20013#55296#0"), std::string::npos) << written;

    TTestForm copy(nullptr);
    ReadComponentText(copy, written);
    auto& read = *static_cast<TTestControl*>(copy.Components(0));
    EXPECT_EQ(read.GetCaption(), allBytes);
    EXPECT_EQ(read.GetHint(), units);
    EXPECT_EQ(StringsOf(*read.GetLines()), (std::vector<std::string>{tricky, allBytes, ""}));
}

TEST_F(CoreFormFileTest, QuotedTextOfAnEightBitStringIsTakenByteForByte) {
    ReadComponentText(Form, "object F: TTestForm object c: TTestControl Caption = '\xC3\xA9\xFF' end end");
    EXPECT_EQ(static_cast<TTestControl*>(Form.Components(0))->GetCaption(), "\xC3\xA9\xFF");
}

TEST_F(CoreFormFileTest, ALeadingByteOrderMarkIsSkipped) {
    ReadComponentText(Form, "\xEF\xBB\xBFobject Form1: TTestForm end");
    EXPECT_EQ(Form.GetName(), "Form1");
}

TEST_F(CoreFormFileTest, ACharacterPropertyIsReadAsAByteFrom0To255) {
    TTestControl c(nullptr);
    c.SetHotkey('\xC8');
    EXPECT_EQ(TTestControl::StaticClassInfo().FindProperty("Hotkey")->Get(c), TPropValue(int64_t{200}));
}

TEST_F(CoreFormFileTest, ANonFiniteFloatIsRefusedByTheWriter) {
    TTestControl c(&Form);
    c.SetRatio(std::numeric_limits<double>::infinity());
    EXPECT_THROW(WriteComponentText(Form), EConvertError);
}

// ---- loading state and order --------------------------------------------------

TEST_F(CoreFormFileTest, SettersRunInFileOrderWhileEverythingIsLoading) {
    ReadComponentText(Form,
                      "object Form1: TTestForm\n"
                      "  ClientWidth = 5\n"
                      "  object Panel1: TTestControl\n"
                      "    Color = clRed\n"
                      "    Left = 1\n"
                      "    Caption = 'x'\n"
                      "    Left = 2\n"
                      "  end\n"
                      "  object b_Send: TTestButton\n"
                      "    OnClick = b_SendClick\n"
                      "    Enabled = False\n"
                      "  end\n"
                      "  Caption = 'late'\n"
                      "end\n");
    using Call = TTestControl::TSetterCall;
    EXPECT_EQ(Form.Panel1->SetterCalls,
              (std::vector<Call>{{"Color", true}, {"Left", true}, {"Caption", true}, {"Left", true}}));
    EXPECT_EQ(Form.b_Send->SetterCalls, (std::vector<Call>{{"OnClick", true}, {"Enabled", true}}));
    EXPECT_EQ(Form.SetterCalls, (std::vector<std::string>{"ClientWidth", "Caption"}));
    EXPECT_EQ(Form.Panel1->GetLeft(), 2);

    // Loaded: the children in creation order while the root still loads, then the root.
    EXPECT_EQ(LoadedLog(), (std::vector<std::string>{"Panel1", "b_Send", "Form1"}));
    EXPECT_TRUE(Form.Panel1->OwnerLoadingAtLoaded);
    EXPECT_FALSE(Form.ChildrenLoadingAtLoaded);
    EXPECT_FALSE(Form.Loading());
    EXPECT_FALSE(Form.Panel1->Loading());
    EXPECT_FALSE(Form.b_Send->Loading());
}

TEST_F(CoreFormFileTest, TheHeaderMustNameTheRootsClass) {
    try {
        ReadComponentText(Form, "\nobject Form1: TTestControl\nend\n");
        FAIL() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Line(), 2);
        EXPECT_STREQ(e.what(), "Line 2: the form is a TTestControl, not a TTestForm");
    }
    EXPECT_FALSE(Form.Loading());
}

// ---- bad input ----------------------------------------------------------------

struct TBadCase {
    const char* Name;
    std::string Text;
    int Line;
    const char* Message;  // after "Line N: "
};

void PrintTo(const TBadCase& Case, std::ostream* Out) { *Out << Case.Name; }

// A form whose b_Send (line 2) and Panel1 (line 4) are created before `Body`,
// which starts on line 6, so every failure has something to take back.
std::string FormWith(const std::string& Body) {
    return "object Form1: TTestForm\n"
           "  object b_Send: TTestButton\n"
           "  end\n"
           "  object Panel1: TTestControl\n"
           "    object Inner: TTestControl\n" +
           Body + "\n    end\n  end\nend\n";
}

const TBadCase kBadCases[] = {
    {"Empty", "", 1, "'object' expected, found end of file"},
    {"NotAnObject", "\n  Left = 1", 2, "'object' expected, found 'Left'"},
    {"UnknownClass", FormWith("object x: TNoSuchClass end"), 6, "unknown class 'TNoSuchClass'"},
    {"NotCreatable", FormWith("object x: TTestAbstract end"), 6, "class TTestAbstract cannot be created by name"},
    {"DuplicateName", FormWith("object b_Send: TTestButton end"), 6, "duplicate component name 'b_Send'"},
    {"FieldOfAnotherClass", "object Form1: TTestForm\n  object b_Send: TTestControl\n  end\nend", 2,
     "field b_Send of TTestForm cannot hold a TTestControl"},
    {"UnknownProperty", FormWith("Colour = clRed"), 6, "unknown property 'Colour' of TTestControl"},
    {"UnknownNestedProperty", FormWith("Bevel.Edge.Colour = 1"), 6, "unknown property 'Colour' of TTestEdge"},
    {"PathThroughAPlainValue", FormWith("Left.Low = 1"), 6, "property Left of TTestControl is not an object"},
    {"ObjectGivenAValue", FormWith("Bevel = 1"), 6, "Bevel is an object: set its properties as Bevel.Name"},
    {"IntegerGivenAString", FormWith("Left = '1'"), 6, "integer expected for Left"},
    {"IntegerGivenAFloat", FormWith("Left = 1.5"), 6, "integer expected for Left"},
    {"IntegerTooLarge", FormWith("Left = 2147483648"), 6, "value 2147483648 out of range for Left"},
    {"IntegerHexTooLarge", FormWith("Left = $100000000"), 6, "value 4294967296 out of range for Left"},
    {"NumberBeyond64Bits", FormWith("Left = 99999999999999999999"), 6, "number out of range: 99999999999999999999"},
    {"UnsignedNegative", FormWith("Count = -1"), 6, "value -1 out of range for Count"},
    {"UnsignedTooLarge", FormWith("Count = 4294967296"), 6, "value 4294967296 out of range for Count"},
    {"BooleanLowerCase", FormWith("Enabled = true"), 6, "True or False expected for Enabled"},
    {"BooleanNumber", FormWith("Enabled = 1"), 6, "True or False expected for Enabled"},
    {"CharTooLarge", FormWith("Hotkey = 256"), 6, "value 256 out of range for Hotkey"},
    {"CharTwoBytes", FormWith("Hotkey = 'ab'"), 6, "character expected for Hotkey"},
    {"EnumMemberUnknown", FormWith("Style = tsBogus"), 6, "'tsBogus' is not a member of TTestStyle"},
    {"EnumGivenANumber", FormWith("Style = 1"), 6, "enumeration member expected for Style"},
    {"SetMemberUnknown", FormWith("FontStyle = [fsBold, fsBogus]"), 6, "'fsBogus' is not a member of TTestFontStyle"},
    {"SetUnclosed", FormWith("FontStyle = [fsBold fsItalic]"), 6, "']' expected, found 'fsItalic'"},
    {"StringGivenANumber", FormWith("Caption = 12"), 6, "string expected for Caption"},
    {"CodeBeyondAByte", FormWith("Caption = 'a'#256"), 6, "character #256 does not fit in Caption"},
    {"CodeBeyondAUnit", FormWith("Hint = #65536"), 6, "character code out of range: #65536"},
    {"CodeWithoutDigits", FormWith("Caption = #x"), 6, "character code expected after #"},
    {"UnterminatedString", FormWith("Caption = 'abc"), 6, "unterminated string"},
    {"StringJoinedToANumber", FormWith("Caption = 'a' +\n 12"), 7, "string expected, found '12'"},
    {"UnknownColour", FormWith("Color = clColour"), 6, "'clColour' is not a colour"},
    {"FloatGivenAName", FormWith("Ratio = big"), 6, "number expected for Ratio"},
    {"StringsGivenAString", FormWith("Lines.Strings = 'a'"), 6, "list of strings expected for Strings"},
    {"StringsWithANumber", FormWith("Lines.Strings = ( 'a' 12 )"), 6, "')' expected, found '12'"},
    {"UnknownMethod", FormWith("OnClick = NoSuchMethod"), 6, "unknown method 'NoSuchMethod' of TTestForm"},
    {"MethodOfAnotherSignature", FormWith("OnClick = KeyDown"), 6, "method KeyDown does not match event OnClick"},
    {"EventGivenAString", FormWith("OnClick = 'b_SendClick'"), 6, "method name expected for OnClick"},
    {"MissingEquals", FormWith("Left 1"), 6, "'=' expected, found '1'"},
    {"MissingValue", FormWith("Left = ]"), 6, "value expected, found ']'"},
    {"UnexpectedCharacter", FormWith("Left = 1 ?"), 6, "unexpected character '?'"},
    {"NulOutsideAString", FormWith(std::string("Left = 1\0", 9)), 6, "unexpected character #0"},
    {"InvalidNumber", FormWith("Left = 12ab"), 6, "invalid number: 12a"},
    {"SetterThrows", FormWith("Width = -5"), 6, "Width cannot be negative"},
    {"MissingEnd", "object Form1: TTestForm\n  object b_Send: TTestButton\n    Left = 1\n\n", 3,
     "'end' of object b_Send (line 2) expected"},
    {"MissingRootEnd", "object Form1: TTestForm\n  object b_Send: TTestButton\n  end\n", 3,
     "'end' of object Form1 (line 1) expected"},
    {"JunkAfterTheEnd", "object Form1: TTestForm\n  object b_Send: TTestButton\n  end\nend\nend\n", 5,
     "unexpected 'end' after the final end"},
};

class CoreBadFormTest : public CoreFormFileTest, public ::testing::WithParamInterface<TBadCase> {
protected:
    template <class Read>
    void ExpectError(Read&& ReadForm) {
        const TBadCase& bad = GetParam();
        try {
            ReadForm();
            FAIL() << "no error";
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Line(), bad.Line);
            EXPECT_EQ(e.Message(), "Line " + std::to_string(bad.Line) + ": " + bad.Message);
        }
        EXPECT_TRUE(LoadedLog().empty());
    }
};

TEST_P(CoreBadFormTest, ReadingIntoARootFailsAndTakesBackTheChildren) {
    ExpectError([&] { ReadComponentText(Form, GetParam().Text); });
    EXPECT_EQ(Form.ComponentCount(), 0);
    EXPECT_EQ(Form.b_Send, nullptr);
    EXPECT_EQ(Form.Panel1, nullptr);
    EXPECT_FALSE(Form.Loading());
}

TEST_P(CoreBadFormTest, CreatingFromTextFailsAndLeavesNothing) {
    TComponent owner(nullptr);
    ExpectError([&] { CreateComponentFromText(GetParam().Text, &owner); });
    EXPECT_EQ(owner.ComponentCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Core, CoreBadFormTest, ::testing::ValuesIn(kBadCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(CoreFormFileTest, AFailedReadKeepsTheComponentsOfAnEarlierRead) {
    ReadComponentText(Form, "object Form1: TTestForm object Panel1: TTestControl end end");
    TTestControl* panel = Form.Panel1;
    EXPECT_THROW(ReadComponentText(Form, "object Form1: TTestForm object b_Send: TTestButton Left = x end end"),
                 EParserError);
    ASSERT_EQ(Form.ComponentCount(), 1);
    EXPECT_EQ(Form.Components(0), panel);
    EXPECT_EQ(Form.Panel1, panel);
    EXPECT_EQ(Form.b_Send, nullptr);
}

}  // namespace
