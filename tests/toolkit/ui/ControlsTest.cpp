// SPDX-License-Identifier: GPL-3.0-or-later
// Controls over Qt widgets: placement, painting through the canvas, cursors,
// system colours and what happens to errors raised while painting.

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "tests/toolkit/ui/QtTestSupport.h"
#include "toolkit/ui/CanvasImage.h"
#include "toolkit/ui/Controls.h"
#include "toolkit/core/Thread.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/Forms.h"
#include "toolkit/ui/PaletteSysColors.h"
#include "toolkit/ui/Screen.h"

#ifdef _WIN32
#include "toolkit/core/PlatformSysColor.h"
#endif

namespace {

constexpr TColor RGB(int R, int G, int B) { return R | (G << 8) | (B << 16); }

class TPlainControl : public TControl {
public:
    explicit TPlainControl(TComponent* AOwner, QWidget* Widget = new QWidget) : TControl(AOwner, Widget) {}
};

// Paints with OnPaint (nothing by default) and counts its paints.
class TTestGraphic : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    void Paint() override {
        ++Paints;
        if (OnPaint) OnPaint(Canvas());
    }
    int Paints = 0;
    std::function<void(TCanvas&)> OnPaint;
};

QRgb ToQRgb(TColor Color) { return qRgb(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF); }

// ---- placement ------------------------------------------------------------------

TEST(Control, BoundsMoveTheWidget) {
    TPlainControl control(nullptr);
    control.SetBounds(5, 6, 70, 80);
    EXPECT_EQ(control.Widget()->geometry(), QRect(5, 6, 70, 80));
    EXPECT_EQ(control.BoundsRect(), (TRect{5, 6, 75, 86}));
    EXPECT_EQ(control.ClientRect(), (TRect{0, 0, 70, 80}));
    control.SetLeft(1);
    control.SetHeight(-9);  // kept as given, shown as nothing
    EXPECT_EQ(control.GetHeight(), -9);
    EXPECT_EQ(control.Widget()->geometry(), QRect(1, 6, 70, 0));
}

TEST(Control, ShowsOnlyOncePlacedAndVisible) {
    TTestWindow window;
    ASSERT_TRUE(window.ShowExposed());
    TPlainControl parent(nullptr, new QWidget), child(nullptr);
    EXPECT_FALSE(child.Widget()->isVisible());

    parent.SetParentWidget(&window);
    child.SetParentComponent(&parent);  // what a form file does for a nested control
    EXPECT_EQ(child.Widget()->parentWidget(), parent.Widget());
    EXPECT_TRUE(child.Widget()->isVisible());

    child.SetVisible(false);
    EXPECT_FALSE(child.Widget()->isVisible());
    child.SetVisible(true);
    EXPECT_TRUE(child.Widget()->isVisible());

    TComponent notAControl(nullptr);
    child.SetParentComponent(&notAControl);
    EXPECT_EQ(child.Widget()->parentWidget(), parent.Widget());
}

TEST(Control, EitherSideMayGoFirst) {
    // The parent's widget goes first and takes the child's widget with it.
    auto* parent = new TPlainControl(nullptr);
    auto* child = new TPlainControl(parent);
    child->SetParentComponent(parent);
    delete parent;  // owns the child: both controls end here without a double free

    // The child goes first and leaves the parent's widget.
    TPlainControl owner(nullptr);
    auto* first = new TPlainControl(&owner);
    first->SetParentComponent(&owner);
    const QPointer<QWidget> widget = first->Widget();
    delete first;
    EXPECT_TRUE(widget.isNull());
    EXPECT_TRUE(owner.Widget()->findChildren<QWidget*>().isEmpty());

    // A control whose widget Qt deleted is still safe to use and delete.
    TPlainControl outer(nullptr);
    auto* inner = new TPlainControl(nullptr);
    inner->SetParentComponent(&outer);
    delete outer.Widget();
    EXPECT_EQ(inner->Widget(), nullptr);
    inner->SetBounds(1, 2, 3, 4);
    inner->Repaint();
    delete inner;
}

TEST(Control, TextChangeNotifiesOnlyOnChange) {
    class TTextControl : public TPlainControl {
    public:
        using TPlainControl::TPlainControl;
        int Changes = 0;

    protected:
        void CMTextChanged() override { ++Changes; }
    } control(nullptr);
    control.SetText(u"Connect");
    control.SetText(u"Connect");
    control.SetText(u"Disconnect");
    EXPECT_EQ(control.Changes, 2);
    EXPECT_EQ(control.GetText(), u"Disconnect");
}

// ---- mouse ----------------------------------------------------------------------

class TClickWidget : public QWidget {
public:
    int Presses = 0;
    int DoubleClicks = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++Presses; }
    void mouseDoubleClickEvent(QMouseEvent*) override { ++DoubleClicks; }
};

TEST(Control, DoubleClicksArriveAsPressesUnlessTaken) {
    for (bool takesDoubleClicks : {true, false}) {
        auto* widget = new TClickWidget;
        TPlainControl control(nullptr, widget);
        TControlStyle style = control.GetControlStyle();
        takesDoubleClicks ? style.Include(csDoubleClicks) : style.Exclude(csDoubleClicks);
        control.SetControlStyle(style);
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(1, 1), QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &click);
        EXPECT_EQ(widget->DoubleClicks, takesDoubleClicks ? 1 : 0);
        EXPECT_EQ(widget->Presses, takesDoubleClicks ? 0 : 1);
    }
}

TEST(Control, CursorsComeFromTheScreenTable) {
    Screen->Cursors[1234] = QCursor(Qt::CrossCursor);
    TPlainControl control(nullptr);
    control.SetCursor(1234);
    EXPECT_EQ(control.Widget()->cursor().shape(), Qt::CrossCursor);
    control.SetCursor(crDefault);
    EXPECT_EQ(control.Widget()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(Screen->Cursors[4321].shape(), Qt::ArrowCursor);
}

// ---- painting -------------------------------------------------------------------

class ShownGraphicTest : public testing::Test {
protected:
    void SetUp() override {
        FControl.SetParentWidget(&FWindow);
        FControl.SetBounds(4, 4, 6, 3);
        ASSERT_TRUE(FWindow.ShowExposed());
        ASSERT_TRUE(WaitFor([this] { return FControl.Paints > 0; }));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        FControl.Paints = 0;
    }
    TTestWindow FWindow;
    TTestGraphic FControl{nullptr};
};

TEST_F(ShownGraphicTest, RepaintPaintsNowAndInvalidateLater) {
    FControl.Repaint();
    EXPECT_EQ(FControl.Paints, 1);
    FControl.Invalidate();
    EXPECT_EQ(FControl.Paints, 1);
    EXPECT_TRUE(WaitFor([this] { return FControl.Paints == 2; }));
}

TEST_F(ShownGraphicTest, CanvasFollowsTheControlsSize) {
    FControl.SetBounds(0, 0, 9, 7);
    EXPECT_EQ(FControl.Canvas().Width(), 9);
    EXPECT_EQ(FControl.Canvas().Height(), 7);
    FControl.SetWidth(100000);  // a mistake: the canvas stays within bounds
    EXPECT_LE(FControl.Canvas().Width(), 8192);
}

TEST_F(ShownGraphicTest, ControlsThatAreNotOpaqueShowTheirColourUnderneath) {
    FControl.SetColor(clRed);
    FControl.OnPaint = [](TCanvas& Canvas) {
        Canvas.Brush().SetColor(clBlue);
        Canvas.FillRect({0, 0, 1, 1});
    };
    FControl.Repaint();
    EXPECT_EQ(FControl.Canvas().Pixels(0, 0), clBlue);
    EXPECT_EQ(FControl.Canvas().Pixels(5, 2), clRed);
    const QImage shot = ScreenShot(FWindow, QRect(4, 4, 6, 3));
    EXPECT_EQ(shot.pixel(0, 0), ToQRgb(clBlue));
    EXPECT_EQ(shot.pixel(shot.width() - 1, shot.height() - 1), ToQRgb(clRed));

    // An opaque control paints everything itself: what it leaves alone stays.
    FControl.SetControlStyle(FControl.GetControlStyle().Include(csOpaque));
    EXPECT_TRUE(FControl.Widget()->testAttribute(Qt::WA_OpaquePaintEvent));
    FControl.SetColor(clLime);
    FControl.Repaint();
    EXPECT_EQ(FControl.Canvas().Pixels(5, 2), clRed);
}

TEST_F(ShownGraphicTest, ErrorsWhilePaintingGoToTheHandler) {
    std::vector<std::string> errors;
    const TExceptionHandler previous = SetExceptionHandler([&](std::exception_ptr Error) {
        try {
            std::rethrow_exception(Error);
        } catch (const std::exception& e) {
            errors.push_back(e.what());
        }
    });
    FControl.OnPaint = [](TCanvas&) { throw std::runtime_error("no paint today"); };
    FControl.Repaint();
    SetExceptionHandler(previous);
    EXPECT_EQ(errors, (std::vector<std::string>{"no paint today"}));
}

// ---- on screen ----------------------------------------------------------------

TCanvas Checkerboard() {
    TCanvas canvas(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            canvas.Brush().SetColor((x + y) % 2 ? clBlack : RGB(x * 40, y * 80, 7));
            canvas.FillRect({x, y, x + 1, y + 1});
        }
    return canvas;
}

TEST(CanvasImage, WholeRatiosGiveExactBlocks) {
    const TCanvas canvas = Checkerboard();
    for (int ratio : {1, 2, 3}) {
        const QImage image = CanvasImage(canvas, ratio);
        ASSERT_EQ(image.size(), QSize(3 * ratio, 2 * ratio));
        EXPECT_EQ(image.devicePixelRatio(), ratio);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(image.pixel(x, y), ToQRgb(canvas.Pixels(x / ratio, y / ratio))) << x << "," << y;
    }
}

TEST(CanvasImage, FractionalRatiosNeverBlendPixels) {
    const TCanvas canvas = Checkerboard();
    const QImage image = CanvasImage(canvas, 1.5);
    ASSERT_EQ(image.size(), QSize(5, 3));  // 4.5 x 3 rounded up
    EXPECT_EQ(image.devicePixelRatio(), 1.5);
    // Each device pixel has the colour of the logical pixel under its centre,
    // and every logical pixel keeps at least one device pixel.
    const std::array<int, 5> columns{0, 1, 1, 2, 2};
    const std::array<int, 3> rows{0, 1, 1};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.pixel(x, y), ToQRgb(canvas.Pixels(columns[x], rows[y]))) << x << "," << y;
}

TEST(CanvasImage, EmptyCanvasGivesNoImage) {
    EXPECT_TRUE(CanvasImage(TCanvas(0, 5), 2).isNull());
    EXPECT_EQ(CanvasImage(Checkerboard(), 0).size(), QSize(3, 2));  // no ratio: one to one
}

// ---- system colours -------------------------------------------------------------

// The button, shadow, highlight and text colours of a palette; the rest from the fixed table.
TEST(SysColors, PaletteColoursGiveTheButtonAndTextColours) {
    const QPalette saved = QGuiApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::Button, QColor(10, 20, 30));
    palette.setColor(QPalette::Dark, QColor(40, 50, 60));
    palette.setColor(QPalette::Light, QColor(70, 80, 90));
    palette.setColor(QPalette::WindowText, QColor(1, 2, 3));
    QGuiApplication::setPalette(palette);
    EXPECT_EQ(PaletteSysColor(COLOR_BTNFACE), RGB(10, 20, 30));
    EXPECT_EQ(PaletteSysColor(COLOR_BTNSHADOW), RGB(40, 50, 60));
    EXPECT_EQ(PaletteSysColor(COLOR_BTNHIGHLIGHT), RGB(70, 80, 90));
    EXPECT_EQ(PaletteSysColor(COLOR_WINDOWTEXT), RGB(1, 2, 3));
    EXPECT_EQ(PaletteSysColor(3), DefaultSysColor(3));
    // Linux has no system colours of its own, so GetSysColor follows the
    // palette there; Windows answers from its own settings, whatever Qt's
    // palette says.
#ifdef _WIN32
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), PlatformSysColor(COLOR_BTNFACE) & 0xFFFFFF);
#else
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(10, 20, 30));
#endif
    QGuiApplication::setPalette(saved);
}

// ---- the main thread's hand-offs in the event loop ------------------------------

TEST(MainThreadHandOffs, AChainOfThemLetsTimersRunBetweenItsLinks) {
    // Received data reaches the window this way, a slice at a time, while its
    // painting runs on timers.
    Application->Initialize();
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    constexpr std::size_t kLinks = 20;
    std::vector<int> ticksAtLink;
    QEventLoop loop;
    std::function<void()> link = [&] {
        ticksAtLink.push_back(ticks);
        if (ticksAtLink.size() < kLinks)
            TThread::Queue(link);
        else
            loop.quit();
    };
    TThread::Queue(link);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(ticksAtLink.size(), kLinks);
    for (std::size_t i = 1; i < kLinks; ++i) EXPECT_GT(ticksAtLink[i], ticksAtLink[i - 1]) << "link " << i;
}

}  // namespace
