// SPDX-License-Identifier: GPL-3.0-or-later
// The LED control: its pixels off and on, its outline and owner drawing, when
// it repaints and raises OnChange, and its place in form files.

#include <gtest/gtest.h>

#include <QBitmap>
#include <QFont>
#include <QEnterEvent>
#include <memory>

#include "led/LmLeds.h"
#include "tests/led/LedTestSupport.h"
#include "tests/toolkit/ui/QtTestSupport.h"
#include "toolkit/core/FormFile.h"
#include "toolkit/ui/CanvasImage.h"

namespace {

TColor Green(int G) { return RGB(0, G, 0); }
TColor Red(int R) { return RGB(R, 0, 0); }

// The console's LED, set as its form file stores it.
void MakeConsoleLed(TLmUserLed& Led) {
    Led.SetBounds(0, 0, 33, 25);
    TLmBevel& bevel = *Led.GetBevel();
    bevel.SetInnerShadow(clGreen);
    bevel.SetInnerHighlight(clLime);
    bevel.SetInnerWidth(1);
    bevel.SetInnerStyle(bsNone);
    bevel.SetInnerSpace(1);
    bevel.SetInnerColor(clBtnFace);
    bevel.SetOuterShadow(clBtnShadow);
    bevel.SetOuterHighlight(clBtnHighlight);
    bevel.SetOuterStyle(bsRaised);
    bevel.SetOuterOutline(osOuter);
    TLmPaletteEx& palette = *Led.GetPaletteEx();
    palette.SetLow1(clGreen);
    palette.SetHigh1(clLime);
    palette.SetLow2(clBlack);
    palette.SetHigh2(clLime);
}

// What an LED with the default bevel shows at (X, Y): Outline rings of
// OutlineColor, the black outline, the raised ring (its top-right and
// bottom-left corners dark), the face-coloured ring, then face row colours.
TColor ExpectedPixel(int W, int H, int X, int Y, int Outline, TColor OutlineColor,
                     const std::function<TColor(int Row)>& Face) {
    const int k = std::min({X, Y, W - 1 - X, H - 1 - Y});
    if (k < Outline) return OutlineColor;
    const int ring = k - Outline;
    if (ring == 0) return clBlack;
    if (ring == 1) {
        const bool topLeft = (X == k && Y < H - 1 - k) || (Y == k && X < W - 1 - k);
        return topLeft ? kHighlight : kShadow;
    }
    if (ring == 2) return kFace;
    return Face(Y - Outline - 3);
}

void ExpectRows(const TCanvas& Canvas, int Outline, TColor OutlineColor, const std::function<TColor(int Row)>& Face) {
    const int w = Canvas.Width(), h = Canvas.Height();
    for (int y = 0; y < h; ++y) {
        std::vector<TColor> actual, expected;
        for (int x = 0; x < w; ++x) {
            actual.push_back(Canvas.Pixels(x, y));
            expected.push_back(ExpectedPixel(w, h, x, y, Outline, OutlineColor, Face));
        }
        EXPECT_EQ(actual, expected) << "row " << y;
    }
}

// Logs its paints, in order with the LED's OnChange.
class TLoggingLed : public TLmUserLed {
public:
    explicit TLoggingLed(TComponent* AOwner = nullptr) : TLmUserLed(AOwner) {
        SetOnChange([this](TObject* Sender) {
            EXPECT_EQ(Sender, this);
            Log.push_back("change");
        });
    }
    void Paint() override {
        Log.push_back("paint");
        TLmUserLed::Paint();
    }
    std::vector<std::string> Log;
};

using Log = std::vector<std::string>;

// Runs the paints that earlier changes asked for.
void FlushPaints() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

class LedTest : public testing::Test {
protected:
    TFixedSysColors FColors;
};

// ---- pixels -----------------------------------------------------------------

TEST_F(LedTest, ConsoleLedOffRowByRow) {
    TLmUserLed led(nullptr);
    MakeConsoleLed(led);
    led.Paint();
    ExpectRows(led.Canvas(), 0, clBlack, [](int row) { return Green(128 - (128 * row) / 19); });
    EXPECT_EQ(led.Canvas().Pixels(3, 3), Green(128));
    EXPECT_EQ(led.Canvas().Pixels(29, 21), Green(7));
}

TEST_F(LedTest, ConsoleLedOnRowByRow) {
    TLmUserLed led(nullptr);
    MakeConsoleLed(led);
    led.SetActive(true);
    led.Paint();
    ExpectRows(led.Canvas(), 0, clBlack, [](int) { return clLime; });
}

TEST_F(LedTest, DefaultLedOffAndOn) {
    TLmUserLed led(nullptr);
    EXPECT_EQ(led.ClientRect(), (TRect{0, 0, 20, 10}));
    led.Paint();
    const std::array<TColor, 4> off{Red(128), Red(96), Red(64), Red(32)};
    ExpectRows(led.Canvas(), 0, clBlack, [&](int row) { return off.at(static_cast<std::size_t>(row)); });
    led.SetActive(true);
    led.Paint();
    const std::array<TColor, 4> on{Red(255), Red(192), Red(128), Red(64)};
    ExpectRows(led.Canvas(), 0, clBlack, [&](int row) { return on.at(static_cast<std::size_t>(row)); });
}

TEST_F(LedTest, OutlineMovesBevelAndFaceInward) {
    TLmUserLed led(nullptr);
    led.SetBounds(0, 0, 30, 20);
    led.SetOutlineColor(clBlue);
    led.SetOutlineWidth(2);
    led.Paint();
    // Face (5, 5, 25, 15): ten rows from maroon toward black.
    ExpectRows(led.Canvas(), 2, clBlue, [](int row) { return Red(128 - (128 * row) / 10); });
}

TEST_F(LedTest, NegativeOutlineWidthDrawsNoOutline) {
    TLmUserLed plain(nullptr), negative(nullptr);
    negative.SetOutlineWidth(-3);
    plain.Paint();
    negative.Paint();
    EXPECT_TRUE(std::equal(plain.Canvas().Bits(), plain.Canvas().Bits() + 20 * 10, negative.Canvas().Bits()));
}

TEST_F(LedTest, FaceOfNoHeightPaintsNoRows) {
    TLmUserLed led(nullptr);
    led.SetBounds(0, 0, 20, 6);  // the bevel leaves (3, 3, 17, 3)
    led.Paint();
    EXPECT_EQ(led.Canvas().Pixels(5, 2), kFace);
    EXPECT_EQ(led.Canvas().Pixels(5, 3), kFace);  // the inner ring, not a gradient row
}

TEST_F(LedTest, OwnerDrawGetsTheClientRectAfterTheClear) {
    TLmUserLed led(nullptr);
    led.SetColor(clBlue);
    led.Paint();  // leave something the clear has to remove
    std::vector<TRect> rects;
    led.SetOnDraw([&](TObject* Sender, TCanvas* Canvas, TRect Rect) {
        EXPECT_EQ(Sender, &led);
        EXPECT_EQ(Canvas, &led.Canvas());
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) ASSERT_EQ(Canvas->Pixels(x, y), clBlue) << x << "," << y;
        rects.push_back(Rect);
        Canvas->Brush().SetColor(clRed);
        Canvas->FillRect({0, 0, 1, 1});
    });
    led.SetDrawStyle(dsOwnerDraw);
    led.Paint();
    led.SetActive(true);
    led.GetPaletteEx()->SetHigh1(clWhite);
    led.Paint();
    EXPECT_EQ(rects, (std::vector<TRect>{{0, 0, 20, 10}, {0, 0, 20, 10}}));
    EXPECT_EQ(led.Canvas().Pixels(0, 0), clRed);
    EXPECT_EQ(led.Canvas().Pixels(5, 5), clBlue);
}

TEST_F(LedTest, OwnerDrawWithoutHandlerShowsTheBackground) {
    TLmUserLed led(nullptr);
    led.Paint();
    led.SetDrawStyle(dsOwnerDraw);
    led.Paint();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(led.Canvas().Pixels(x, y), kFace) << x << "," << y;
}

// ---- repaints and OnChange ----------------------------------------------------

// An LED shown in a window, with its log emptied once the first paint is over.
class ShownLedTest : public LedTest {
protected:
    void SetUp() override {
        FLed.SetParentWidget(&FWindow);
        FLed.SetBounds(10, 10, 33, 25);
        ASSERT_TRUE(FWindow.ShowExposed());
        ASSERT_TRUE(WaitFor([this] { return !FLed.Log.empty(); }));
        FlushPaints();
        FLed.Log.clear();
    }
    // What Action logs, synchronously.
    Log Run(const std::function<void()>& Action) {
        FLed.Log.clear();
        Action();
        return FLed.Log;
    }

    TTestWindow FWindow;
    TLoggingLed FLed;
};

TEST_F(ShownLedTest, ActiveRepaintsOnceAndThenRaisesOnChange) {
    EXPECT_EQ(Run([&] { FLed.SetActive(false); }), Log{});
    EXPECT_EQ(Run([&] { FLed.SetActive(true); }), (Log{"paint", "change"}));
    EXPECT_EQ(Run([&] { FLed.SetActive(true); }), Log{});
    EXPECT_EQ(Run([&] { FLed.SetActive(false); }), (Log{"paint", "change"}));
}

TEST_F(ShownLedTest, AppearanceSettersRepaintOnceWithoutOnChange) {
    struct Case {
        const char* Name;
        std::function<void()> Same, Different;
    };
    TLmUserLed other(nullptr);
    other.GetBevel()->SetBorderWidth(2);
    other.GetPaletteEx()->SetLow1(clWhite);
    const std::vector<Case> cases{
        {"OutlineColor", [&] { FLed.SetOutlineColor(clBlack); }, [&] { FLed.SetOutlineColor(clRed); }},
        {"OutlineWidth", [&] { FLed.SetOutlineWidth(0); }, [&] { FLed.SetOutlineWidth(1); }},
        {"DrawStyle", [&] { FLed.SetDrawStyle(dsNormal); }, [&] { FLed.SetDrawStyle(dsOwnerDraw); }},
        {"PaletteEx.Low1", [&] { FLed.GetPaletteEx()->SetLow1(clMaroon); }, [&] { FLed.GetPaletteEx()->SetLow1(clRed); }},
        {"Bevel.OuterSpace", [&] { FLed.GetBevel()->SetOuterSpace(0); }, [&] { FLed.GetBevel()->SetOuterSpace(1); }},
        {"PaletteEx assigned", nullptr, [&] { FLed.SetPaletteEx(other.GetPaletteEx()); }},
        {"Bevel assigned", nullptr, [&] { FLed.SetBevel(other.GetBevel()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Same) {
            EXPECT_EQ(Run(c.Same), Log{});
        }
        EXPECT_EQ(Run(c.Different), Log{"paint"});
    }
    EXPECT_EQ(FLed.GetPaletteEx()->GetLow1(), clWhite);
    EXPECT_EQ(FLed.GetBevel()->GetBorderWidth(), 2);
}

TEST_F(ShownLedTest, UpdateBracketRepaintsOnceAtTheEnd) {
    EXPECT_EQ(Run([&] {
                  FLed.BeginUpdate();
                  FLed.BeginUpdate();
                  FLed.SetActive(true);
                  FLed.SetOutlineWidth(2);
                  FLed.EndUpdate();
              }),
              Log{"change"});
    EXPECT_EQ(Run([&] { FLed.EndUpdate(); }), Log{"paint"});
}

TEST_F(ShownLedTest, RepaintRequestsWhileLoadingPaintNothing) {
    EXPECT_EQ(Run([&] {
                  FLed.BeginLoading();
                  FLed.SetActive(true);
                  FLed.GetBevel()->SetOuterSpace(3);
                  FLed.UpdateControlCanvas();
                  FLed.Loaded();
              }),
              Log{"change"});
    EXPECT_EQ(Run([&] { FLed.SetActive(false); }), (Log{"paint", "change"}));
}

TEST_F(ShownLedTest, ReadingAFormFilePaintsNothingUntilItIsRead) {
    EXPECT_EQ(Run([&] {
                  ReadComponentText(FLed,
                                    "object ConnectedLed: TLmUserLed\n"
                                    "  Bevel.OuterStyle = bsLowered\n"
                                    "  PaletteEx.Low1 = clGreen\n"
                                    "  OutlineWidth = 1\n"
                                    "  Active = True\n"
                                    "end\n");
              }),
              Log{"change"});
    EXPECT_EQ(FLed.GetBevel()->GetOuterStyle(), bsLowered);
    EXPECT_FALSE(FLed.Loading());
    EXPECT_EQ(Run([&] { FLed.SetOutlineWidth(0); }), Log{"paint"});
}

TEST_F(ShownLedTest, TheWindowShowsTheCanvasPixels) {
    MakeConsoleLed(FLed);
    FLed.SetBounds(10, 10, 33, 25);
    for (bool active : {false, true}) {
        FLed.SetActive(active);
        FlushPaints();
        EXPECT_EQ(FLed.Canvas().Pixels(16, 3), active ? clLime : Green(128));
        const QImage shot = ScreenShot(FWindow, QRect(10, 10, 33, 25));
        const QImage expected = CanvasImage(FLed.Canvas(), FWindow.devicePixelRatioF());
        // At a fractional scale the control covers a part of a device pixel
        // more or less than the image, which rounds up.
        ASSERT_LE(std::abs(shot.width() - expected.width()), 1) << "active " << active;
        ASSERT_LE(std::abs(shot.height() - expected.height()), 1) << "active " << active;
        for (int y = 0; y < std::min(shot.height(), expected.height()); ++y)
            for (int x = 0; x < std::min(shot.width(), expected.width()); ++x)
                ASSERT_EQ(shot.pixel(x, y), expected.pixel(x, y)) << "active " << active << " at " << x << "," << y;
    }
}

// ---- hooks and bounds ---------------------------------------------------------

TEST_F(ShownLedTest, NotificationsReachTheirEvents) {
    std::vector<std::string> events;
    const auto record = [&](const char* Name) {
        return [&events, Name, this](TObject* Sender) {
            EXPECT_EQ(Sender, &FLed);
            events.push_back(Name);
        };
    };
    FLed.SetOnMouseEnter(record("enter"));
    FLed.SetOnMouseLeave(record("leave"));
    FLed.SetOnFontChanged(record("font"));
    FLed.SetOnTextChanged(record("text"));

    QEnterEvent enter(QPointF(2, 2), QPointF(12, 12), QPointF(12, 12));
    QCoreApplication::sendEvent(FLed.Widget(), &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(FLed.Widget(), &leave);
    FLed.Widget()->setFont(QFont(QStringLiteral("Serif"), 31));
    FLed.SetText(u"on");
    FLed.SetText(u"on");
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave", "font", "text"}));
}

TEST_F(ShownLedTest, AdjustControlSizeRepaintsWhenTheBoundsStay) {
    EXPECT_EQ(Run([&] { FLed.AdjustControlSize(); }), Log{"paint"});
    EXPECT_EQ(Run([&] {
                  FLed.BeginLoading();
                  FLed.AdjustControlSize();
                  FLed.Loaded();
              }),
              Log{});
}

// Keeps itself square while AutoSize is on; counts SetBounds.
class TSquareLed : public TLoggingLed {
public:
    using TLoggingLed::TLoggingLed;
    void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override {
        Log.push_back("bounds");
        TLoggingLed::SetBounds(ALeft, ATop, AWidth, GetAutoSize() ? AWidth : AHeight);
    }
};

TEST_F(LedTest, UpdateControlBoundsAppliesSizeRulesOnlyWhenAutoSizing) {
    TTestWindow window;
    TSquareLed led;
    led.SetParentWidget(&window);
    ASSERT_TRUE(window.ShowExposed());
    struct Case {
        const char* Name;
        bool AutoSize;
        TAlign Align;
        TRect Before;
        Log Expected;
        TRect After;
    };
    const std::vector<Case> cases{
        {"fixed size", false, alNone, {0, 0, 30, 20}, {"paint"}, {0, 0, 30, 20}},
        {"client aligned", true, alClient, {0, 0, 30, 20}, {"paint"}, {0, 0, 30, 20}},
        {"custom aligned", true, alCustom, {0, 0, 30, 20}, {"paint"}, {0, 0, 30, 20}},
        {"rule changes the size", true, alNone, {0, 0, 30, 20}, {"bounds"}, {0, 0, 30, 30}},
        {"rule keeps the size", true, alTop, {0, 0, 30, 30}, {"bounds", "paint"}, {0, 0, 30, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        led.SetAutoSize(false);
        led.SetBounds(c.Before.Left, c.Before.Top, c.Before.Right, c.Before.Bottom);
        led.SetAutoSize(c.AutoSize);
        led.SetAlign(c.Align);
        FlushPaints();
        led.Log.clear();
        led.UpdateControlBounds();
        EXPECT_EQ(led.Log, c.Expected);
        EXPECT_EQ(led.BoundsRect(), c.After);
    }
}

// ---- settings in form files ---------------------------------------------------

constexpr char kConsoleLedForm[] =
    "object ConnectedLed: TLmUserLed\n"
    "  Left = 107\n"
    "  Top = 7\n"
    "  Width = 33\n"
    "  Height = 25\n"
    "  Bevel.InnerShadow = clGreen\n"
    "  Bevel.InnerHighlight = clLime\n"
    "  Bevel.InnerWidth = 1\n"
    "  Bevel.InnerStyle = bsNone\n"
    "  Bevel.InnerSpace = 1\n"
    "  Bevel.InnerColor = clBtnFace\n"
    "  Bevel.OuterShadow = clBtnShadow\n"
    "  Bevel.OuterHighlight = clBtnHighlight\n"
    "  Bevel.OuterStyle = bsRaised\n"
    "  Bevel.OuterOutline = osOuter\n"
    "  PaletteEx.Low1 = clGreen\n"
    "  PaletteEx.High1 = clLime\n"
    "  PaletteEx.Low2 = clBlack\n"
    "  PaletteEx.High2 = clLime\n"
    "end\n";

std::unique_ptr<TLmUserLed> LoadLed(const std::string& Text) {
    RegisterClass(TLmUserLed::StaticClassInfo());
    std::unique_ptr<TComponent> component(CreateComponentFromText(Text, nullptr));
    auto* led = dynamic_cast<TLmUserLed*>(component.get());
    if (!led) return nullptr;
    component.release();
    return std::unique_ptr<TLmUserLed>(led);
}

TEST_F(LedTest, RegisteredClassIsCreatedByName) {
    RegisterClass(TLmUserLed::StaticClassInfo());
    const TClassInfo* info = FindClass("TLmUserLed");
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(info->Create);
    const std::unique_ptr<TComponent> led(info->Create(nullptr));
    EXPECT_EQ(led->ClassName(), "TLmUserLed");
}

TEST_F(LedTest, ConsoleLedLoadsAndPaintsLikeItsSettings) {
    const auto loaded = LoadLed(kConsoleLedForm);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->BoundsRect(), (TRect{107, 7, 140, 32}));
    EXPECT_FALSE(loaded->GetActive());
    TLmUserLed built(nullptr);
    MakeConsoleLed(built);
    loaded->Paint();
    built.Paint();
    EXPECT_TRUE(std::equal(built.Canvas().Bits(), built.Canvas().Bits() + 33 * 25, loaded->Canvas().Bits()));
}

TEST_F(LedTest, WritingLeavesOutDeclaredDefaults) {
    const auto led = LoadLed(kConsoleLedForm);
    ASSERT_TRUE(led);
    // Active, outline, draw style, Version and the bevel values with defaults
    // (border, outer width, outer space and colour, inner outline, Visible) stay out.
    EXPECT_EQ(WriteComponentText(*led), kConsoleLedForm);
}

TEST_F(LedTest, NonDefaultValuesRoundTrip) {
    const auto led = LoadLed(kConsoleLedForm);
    ASSERT_TRUE(led);
    led->SetActive(true);
    led->SetOutlineColor(clRed);
    led->SetOutlineWidth(2);
    led->SetDrawStyle(dsOwnerDraw);
    led->GetBevel()->SetBorderWidth(3);
    led->GetBevel()->SetVisible(false);
    const std::string text = WriteComponentText(*led);
    for (const char* line : {"  Active = True\n", "  OutlineColor = clRed\n", "  OutlineWidth = 2\n",
                             "  DrawStyle = dsOwnerDraw\n", "  Bevel.BorderWidth = 3\n", "  Bevel.Visible = False\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "missing from\n" << text;
    const auto again = LoadLed(text);
    ASSERT_TRUE(again);
    EXPECT_EQ(WriteComponentText(*again), text);
    EXPECT_TRUE(again->GetActive());
    EXPECT_EQ(again->GetDrawStyle(), dsOwnerDraw);
}

TEST_F(LedTest, VersionIsFixedAndNeverStored) {
    TLmUserLed led(nullptr);
    led.SetVersion("9.9");
    EXPECT_EQ(led.GetVersion(), "2.2.1");
    EXPECT_EQ(WriteComponentText(led).find("Version"), std::string::npos);
    const auto loaded = LoadLed("object L: TLmUserLed\n  Version = '1.0'\nend\n");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetVersion(), "2.2.1");
}

// A form that binds the LED's events to its published methods.
class TLedForm : public TComponent {
    OSTRA_CLASSINFO()
public:
    using TComponent::TComponent;
    void LedDraw(TObject* Sender, TCanvas*, TRect Rect) { Draws.emplace_back(Sender, Rect); }
    void LedChange(TObject*) { ++Changes; }
    std::vector<std::pair<TObject*, TRect>> Draws;
    int Changes = 0;
};

const TClassInfo& TLedForm::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TLedForm>("TLedForm", &TComponent::StaticClassInfo())
                                       .Method<TLmUserLedDrawEvent>("LedDraw", &TLedForm::LedDraw)
                                       .Method<TNotifyEvent>("LedChange", &TLedForm::LedChange)
                                       .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TLedForm)

TEST_F(LedTest, EventsBindToTheFormsMethods) {
    RegisterClass(TLmUserLed::StaticClassInfo());
    constexpr char kForm[] =
        "object Form: TLedForm\n"
        "  object Led: TLmUserLed\n"
        "    DrawStyle = dsOwnerDraw\n"
        "    OnChange = LedChange\n"
        "    OnDraw = LedDraw\n"
        "  end\n"
        "end\n";
    TLedForm form(nullptr);
    ReadComponentText(form, kForm);
    auto* led = dynamic_cast<TLmUserLed*>(form.FindComponent("Led"));
    ASSERT_NE(led, nullptr);
    led->SetActive(true);
    led->Paint();
    EXPECT_EQ(form.Changes, 1);
    ASSERT_EQ(form.Draws.size(), 1u);
    EXPECT_EQ(form.Draws[0].first, led);
    EXPECT_EQ(form.Draws[0].second, (TRect{0, 0, 20, 10}));
    const std::string text = WriteComponentText(form);
    EXPECT_NE(text.find("    OnChange = LedChange\n    OnDraw = LedDraw\n"), std::string::npos) << text;
}

// ---- the hand cursor ----------------------------------------------------------

TEST(HandCursor, IsScreenCursor99AfterStartUp) {
    const QCursor& cursor = Screen->Cursors[LMCURSORHANDPOINT];
    ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(10, 5));
    const QImage bitmap = cursor.bitmap().toImage(), mask = cursor.mask().toImage();
    ASSERT_EQ(bitmap.size(), QSize(32, 32));
    // Black at the fingertip, white inside the finger, nothing in the corner.
    EXPECT_EQ(bitmap.pixelColor(10, 5), QColor(Qt::black));
    EXPECT_EQ(mask.pixelColor(10, 5), QColor(Qt::black));
    EXPECT_EQ(bitmap.pixelColor(10, 8), QColor(Qt::white));
    EXPECT_EQ(mask.pixelColor(10, 8), QColor(Qt::black));
    EXPECT_EQ(mask.pixelColor(0, 0), QColor(Qt::white));
}

}  // namespace
