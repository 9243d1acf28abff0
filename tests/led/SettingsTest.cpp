// SPDX-License-Identifier: GPL-3.0-or-later
// The bevel and palette settings: notification, assignment, thickness and rings.

#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "led/LmClasses.h"
#include "tests/led/LedTestSupport.h"

namespace {

// Counts OnChange, checking the sender.
struct TChangeCounter {
    explicit TChangeCounter(TLmPersistent& Object) {
        Object.SetOnChange([this, &Object](TObject* Sender) {
            EXPECT_EQ(Sender, &Object);
            ++Count;
        });
    }
    int Count = 0;
};

// The published values of an object, by property, in declared order.
std::vector<int64_t> Values(const TPersistent& Object) {
    std::vector<int64_t> values;
    for (const TPropInfo* p : Object.ClassInfo().AllProperties()) values.push_back(std::get<int64_t>(p->Get(Object)));
    return values;
}

// A value other than Value that the property can hold.
int64_t OtherValue(const TPropInfo& Prop, int64_t Value) {
    if (Prop.Kind == tkBoolean) return !Value;
    if (Prop.Kind == tkEnumeration) return (Value + 1) % static_cast<int64_t>(Prop.EnumType->Names.size());
    return Value + 1;
}

std::vector<std::string> Names(const TClassInfo& Info) {
    std::vector<std::string> names;
    for (const TPropInfo* p : Info.AllProperties()) names.push_back(p->Name);
    return names;
}

TEST(Settings, PublishedInDeclaredOrder) {
    EXPECT_EQ(Names(TLmBevel::StaticClassInfo()),
              (std::vector<std::string>{"BorderWidth", "BorderColor", "InnerShadow", "InnerHighlight", "InnerWidth",
                                        "InnerStyle", "InnerOutline", "InnerSpace", "InnerColor", "OuterShadow",
                                        "OuterHighlight", "OuterWidth", "OuterStyle", "OuterOutline", "OuterSpace",
                                        "OuterColor", "Visible"}));
    EXPECT_EQ(Names(TLmPaletteEx::StaticClassInfo()), (std::vector<std::string>{"Low1", "High1", "Low2", "High2"}));
}

TEST(Settings, ConstructedValues) {
    const TLmBevel bevel;
    EXPECT_EQ(Values(bevel), (std::vector<int64_t>{0, clBtnFace, clBtnShadow, clBtnHighlight, 1, bsLowered, osNone, 1,
                                                   clBtnFace, clBtnShadow, clBtnHighlight, 1, bsRaised, osOuter, 0,
                                                   clBtnFace, true}));
    const TLmPaletteEx palette;
    EXPECT_EQ(Values(palette), (std::vector<int64_t>{clGreen, clLime, clBlack, clBlack}));
}

// Every setter: the value it holds notifies nothing, another value notifies once.
void CheckSetters(TLmPersistent& Object) {
    TChangeCounter changes(Object);
    for (const TPropInfo* p : Object.ClassInfo().AllProperties()) {
        SCOPED_TRACE(p->Name);
        const int64_t value = std::get<int64_t>(p->Get(Object));
        p->Set(Object, value);
        EXPECT_EQ(changes.Count, 0);
        p->Set(Object, OtherValue(*p, value));
        EXPECT_EQ(changes.Count, 1);
        EXPECT_EQ(std::get<int64_t>(p->Get(Object)), OtherValue(*p, value));
        changes.Count = 0;
    }
}

TEST(Settings, EqualValuesNotifyNothingAndChangesNotifyOnce) {
    TLmBevel bevel;
    CheckSetters(bevel);
    TLmPaletteEx palette;
    CheckSetters(palette);
}

TEST(Settings, UpdateBracketsNotifyOnceAtTheOutermostEnd) {
    TLmBevel bevel;
    TChangeCounter changes(bevel);
    bevel.BeginUpdate();
    bevel.BeginUpdate();
    bevel.SetBorderWidth(3);
    bevel.SetOuterColor(clRed);
    bevel.EndUpdate();
    EXPECT_EQ(changes.Count, 0);
    bevel.EndUpdate();
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(bevel.GetBorderWidth(), 3);
}

TEST(Settings, EndUpdateNotifiesEvenWithoutChangesOrAMatchingBegin) {
    TLmPaletteEx palette;
    TChangeCounter changes(palette);
    palette.BeginUpdate();
    palette.EndUpdate();
    EXPECT_EQ(changes.Count, 1);
    palette.EndUpdate();  // unmatched: the count stays at 0
    EXPECT_EQ(changes.Count, 2);
    palette.SetLow1(clRed);
    EXPECT_EQ(changes.Count, 3);
}

TEST(Settings, ChangesBeforeAHandlerIsInstalledReachNobody) {
    TLmPaletteEx palette;
    palette.SetHigh2(clRed);  // nobody listens yet
    TChangeCounter changes(palette);
    EXPECT_EQ(changes.Count, 0);
    palette.SetLow1(clRed);
    EXPECT_EQ(changes.Count, 1) << "only the change made while the handler listens reaches it";
}

TEST(Settings, AssignCopiesEverythingWithOneNotification) {
    TLmBevel source;
    for (const TPropInfo* p : source.ClassInfo().AllProperties())
        p->Set(source, OtherValue(*p, std::get<int64_t>(p->Get(source))));
    TLmBevel bevel;
    TChangeCounter changes(bevel);
    bevel.Assign(&source);
    EXPECT_EQ(Values(bevel), Values(source));
    EXPECT_EQ(changes.Count, 1);

    bevel.Assign(&source);  // nothing differs, still one notification
    EXPECT_EQ(changes.Count, 2);

    TLmPaletteEx palette, otherPalette;
    otherPalette.SetLow1(clRed);
    otherPalette.SetHigh1(clMaroon);
    otherPalette.SetLow2(clLime);
    otherPalette.SetHigh2(clWhite);
    TChangeCounter paletteChanges(palette);
    palette.Assign(&otherPalette);
    EXPECT_EQ(Values(palette), (std::vector<int64_t>{clRed, clMaroon, clLime, clWhite}));
    EXPECT_EQ(paletteChanges.Count, 1);
}

TEST(Settings, AssignInsideAnOuterBracketWaitsForIt) {
    TLmBevel source, bevel;
    source.SetVisible(false);
    TChangeCounter changes(bevel);
    bevel.BeginUpdate();
    bevel.Assign(&source);
    EXPECT_EQ(changes.Count, 0);
    bevel.EndUpdate();
    EXPECT_EQ(changes.Count, 1);
    EXPECT_FALSE(bevel.GetVisible());
}

TEST(Settings, AssigningAnUnrelatedObjectFailsAndChangesNothing) {
    TLmBevel bevel;
    TLmPaletteEx palette;
    palette.SetLow1(clRed);
    TChangeCounter bevelChanges(bevel), paletteChanges(palette);
    const std::vector<int64_t> bevelBefore = Values(bevel), paletteBefore = Values(palette);

    struct Case {
        std::function<void()> Assign;
        const char* Message;
    };
    const std::array<Case, 4> cases{{
        {[&] { bevel.Assign(&palette); }, "Cannot assign a TLmPaletteEx to a TLmBevel"},
        {[&] { palette.Assign(&bevel); }, "Cannot assign a TLmBevel to a TLmPaletteEx"},
        {[&] { bevel.Assign(nullptr); }, "Cannot assign a nil to a TLmBevel"},
        {[&] { palette.Assign(nullptr); }, "Cannot assign a nil to a TLmPaletteEx"},
    }};
    for (const Case& c : cases) {
        try {
            c.Assign();
            ADD_FAILURE() << "no error for: " << c.Message;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
    EXPECT_EQ(Values(bevel), bevelBefore);
    EXPECT_EQ(Values(palette), paletteBefore);
    EXPECT_EQ(bevelChanges.Count + paletteChanges.Count, 0);
}

// ---- thickness and painting -------------------------------------------------

struct TBevelCase {
    const char* Name;
    std::function<void(TLmBevel&)> Setup;
    int Thickness;
};

const std::vector<TBevelCase>& BevelCases() {
    static const std::vector<TBevelCase> cases{
        {"constructed", [](TLmBevel&) {}, 4},
        {"invisible", [](TLmBevel& b) { b.SetVisible(false); }, 0},
        {"no stages",
         [](TLmBevel& b) {
             b.SetInnerStyle(bsNone);
             b.SetOuterStyle(bsNone);
             b.SetInnerWidth(5);
             b.SetOuterWidth(7);
         },
         2},
        {"raised and lowered wide stages",
         [](TLmBevel& b) {
             b.SetInnerStyle(bsRaised);
             b.SetOuterStyle(bsLowered);
             b.SetInnerWidth(2);
             b.SetOuterWidth(3);
         },
         7},
        {"outlines inside",
         [](TLmBevel& b) {
             b.SetOuterOutline(osInner);
             b.SetInnerOutline(osInner);
         },
         5},
        {"outline outside the inner stage",
         [](TLmBevel& b) { b.SetInnerOutline(osOuter); }, 5},
        {"no outlines",
         [](TLmBevel& b) {
             b.SetOuterOutline(osNone);
             b.SetInnerOutline(osNone);
         },
         3},
        {"border and spaces",
         [](TLmBevel& b) {
             b.SetBorderWidth(2);
             b.SetOuterSpace(3);
             b.SetInnerSpace(4);
         },
         12},
        {"console LED",
         [](TLmBevel& b) { b.SetInnerStyle(bsNone); }, 3},
        {"negative widths paint and take nothing",
         [](TLmBevel& b) {
             b.SetBorderWidth(-4);
             b.SetOuterWidth(-2);
             b.SetInnerSpace(-1);
         },
         2},
    };
    return cases;
}

TEST(Bevel, ThicknessIsTheInsetThatPaintingLeaves) {
    TFixedSysColors colors;
    for (const TBevelCase& c : BevelCases()) {
        SCOPED_TRACE(c.Name);
        TLmBevel bevel;
        c.Setup(bevel);
        TRect measured{0, 0, 40, 30};
        bevel.GetVisibleArea(measured);
        EXPECT_EQ(measured, (TRect{c.Thickness, c.Thickness, 40 - c.Thickness, 30 - c.Thickness}));

        TCanvas canvas = Filled(40, 30, clRed);
        TRect painted{0, 0, 40, 30};
        bevel.Paint(canvas, painted);
        EXPECT_EQ(painted, measured);
        // Paint leaves the inside alone and covers every ring up to it.
        EXPECT_EQ(canvas.Pixels(painted.Left, painted.Top), clRed);
        if (c.Thickness > 0) {
            EXPECT_NE(canvas.Pixels(c.Thickness - 1, 15), clRed);
        }
    }
}

TEST(Bevel, HugeWidthsDoNotOverflowTheInset) {
    TLmBevel bevel;
    bevel.SetBorderWidth(2147483647);
    bevel.SetOuterWidth(2147483647);
    TRect rect{0, 0, 10, 10};
    bevel.GetVisibleArea(rect);
    EXPECT_EQ(rect, (TRect{2147483647, 2147483647, -2147483647 - 1, -2147483647 - 1}));
}

// The colours met walking in from the left and from the right edge along the
// middle row. Legend: B border, # black outline, H/S outer highlight/shadow,
// O outer space, j/t inner highlight/shadow, i inner space.
std::pair<std::string, std::string> Edges(const TLmBevel& Bevel) {
    TCanvas canvas = Filled(30, 30, clWhite);
    TRect rect{0, 0, 30, 30};
    Bevel.Paint(canvas, rect);
    const std::map<TColor, char> legend{{clBlack, '#'}, {RGB(1, 0, 0), 'B'}, {RGB(2, 0, 0), 'H'}, {RGB(3, 0, 0), 'S'},
                                        {RGB(4, 0, 0), 'O'}, {RGB(5, 0, 0), 'j'}, {RGB(6, 0, 0), 't'},
                                        {RGB(7, 0, 0), 'i'}, {clWhite, '.'}};
    const std::string row = Picture(canvas, legend)[15];
    const std::string left = row.substr(0, row.find('.'));
    std::string right(row.rbegin(), row.rend());
    right = right.substr(0, right.find('.'));
    return {left, right};
}

TEST(Bevel, RingsLieInTheirOrderFromTheOutsideIn) {
    struct Case {
        TLmBevelOutlineStyle OuterOutline, InnerOutline;
        TLmBevelStyle OuterStyle, InnerStyle;
        const char* Left;
        const char* Right;
    };
    const std::array<Case, 5> cases{{
        {osOuter, osOuter, bsRaised, bsRaised, "B#HO#ji", "B#SO#ti"},
        {osInner, osInner, bsRaised, bsLowered, "BH#Ot#i", "BS#Oj#i"},
        {osNone, osInner, bsLowered, bsRaised, "BSOj#i", "BHOt#i"},
        {osOuter, osNone, bsNone, bsLowered, "B#Oti", "B#Oji"},
        {osInner, osOuter, bsNone, bsNone, "B#O#i", "B#O#i"},
    }};
    for (const Case& c : cases) {
        TLmBevel bevel;
        bevel.SetBorderWidth(1);
        bevel.SetBorderColor(RGB(1, 0, 0));
        bevel.SetOuterHighlight(RGB(2, 0, 0));
        bevel.SetOuterShadow(RGB(3, 0, 0));
        bevel.SetOuterSpace(1);
        bevel.SetOuterColor(RGB(4, 0, 0));
        bevel.SetInnerHighlight(RGB(5, 0, 0));
        bevel.SetInnerShadow(RGB(6, 0, 0));
        bevel.SetInnerColor(RGB(7, 0, 0));
        bevel.SetOuterOutline(c.OuterOutline);
        bevel.SetInnerOutline(c.InnerOutline);
        bevel.SetOuterStyle(c.OuterStyle);
        bevel.SetInnerStyle(c.InnerStyle);
        const auto [left, right] = Edges(bevel);
        EXPECT_EQ(left, c.Left) << "expected left edge " << c.Left;
        EXPECT_EQ(right, c.Right) << "expected right edge " << c.Right;
    }
}

TEST(Bevel, InvisibleBevelPaintsNothing) {
    TLmBevel bevel;
    bevel.SetVisible(false);
    TCanvas canvas = Filled(6, 6, clRed);
    TRect rect{0, 0, 6, 6};
    bevel.Paint(canvas, rect);
    EXPECT_EQ(rect, (TRect{0, 0, 6, 6}));
    EXPECT_EQ(Picture(canvas, {{clRed, '.'}}), (std::vector<std::string>(6, "......")));
}

}  // namespace
