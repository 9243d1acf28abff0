// SPDX-License-Identifier: GPL-3.0-or-later
// View > Plot beside the console window: what it reads from received lines
// while text keeps arriving, a stream of the demo device's PLOT lines read
// exactly, and the exports, on a pseudo-terminal with real files.

#include <QAction>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdlib>
#include <sstream>

#include "console/PlotWindow.h"
#include "demo/DemoDevice.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"
#include "toolkit/ui/PlotView.h"
#include "toolkit/ui/TextView.h"

namespace {

class Plot : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowConnectedWindow();
    }

    TPlotWindow& Window() const { return Part<TPlotWindow>("Plot"); }
    const TPlotSamples& Samples() const { return Window().Samples(); }
    QString Shown() const { return ToQString(Form->Memo1->View().Text()); }

    void OpenPlot() const {
        for (const QAction* menu : Form->MenuBar()->actions())
            if (menu->text() == "&View")
                for (QAction* item : menu->menu()->actions())
                    if (item->text() == "Pl&ot") return item->trigger();
        FAIL() << "no View > Plot";
    }

    // Sends Bytes and waits until the received area ends with Shown.
    void Receive(const std::string& Bytes, const QString& Shown) {
        Pty.Send(Bytes);
        ASSERT_TRUE(Pump([&] { return this->Shown().endsWith(Shown); })) << this->Shown().toStdString();
    }

    std::vector<double> Row(uint64_t Row) const {
        std::vector<double> values;
        for (std::size_t series = 0; series < Samples().SeriesCount(); ++series) values.push_back(Samples().Value(series, Row));
        return values;
    }

    TPty Pty;
    TPortMap Map{"COM5=" + Pty.SlavePath()};
    QTemporaryDir Folder;
};

TEST_F(Plot, OpensBesideTheConsoleAndClosingItStopsNothingElse) {
    Receive("a:0\r\n", "a:0\n");  // before the plot opens: not read
    OpenPlot();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window().Window()));
    EXPECT_GE(Window().Window().x(), Form->Frame()->frameGeometry().right());

    // Text keeps arriving in the received area while the plot reads it; a
    // line in colour is shown and read without its terminal codes.
    Receive("log line\r\na:1\r\n\x1b[32mb=5\x1b[0m\r\n", "\nb=5\n");
    ASSERT_EQ(Samples().End(), 2u);
    EXPECT_EQ(Window().Reader().SeriesNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Samples().Value(0, 0), 1);
    EXPECT_TRUE(IsPlotMissing(Samples().Value(1, 0)));
    EXPECT_EQ(Samples().Value(1, 1), 5);
    ASSERT_TRUE(Pump([&] { return Window().View().SeriesNames().size() == 2; }));

    Window().Window().close();
    Receive("a:2\r\nmore\r\n", "more\n");
    EXPECT_TRUE(Form->Connected());
    EXPECT_EQ(Samples().End(), 2u);  // not read while closed
    OpenPlot();
    EXPECT_TRUE(Window().Window().isVisible());
    EXPECT_EQ(Samples().End(), 2u);  // and kept for the next opening
    EXPECT_TRUE(Errors.empty());
}

TEST_F(Plot, ReadsEverySampleOfTheDemoDevicesStreamAsSent) {
    OpenPlot();
    // The demo device plays with a clock of the test's own: 2,000 lines, a
    // tenth of a second's worth at a time, less than the pty holds.
    const TDemoDevice::TClock::time_point start{};
    TDemoDevice device(start);
    device.Receive("PLOT 1000\r", start);
    constexpr uint64_t kLines = 2000;
    std::string sent;
    for (int tenth = 0;; ++tenth) {
        device.Produce(start + std::chrono::milliseconds(100 * tenth));
        std::string piece(device.Output());
        device.Consume(piece.size());
        sent += piece;
        Pty.Send(piece);
        // Whole lines only, so that the count below is the lines sent.
        const auto lines = static_cast<uint64_t>(std::count(sent.begin(), sent.end(), '\n')) - 1;
        ASSERT_TRUE(Pump([&] { return Samples().End() == lines; }))
            << Samples().End() << " of " << lines;
        if (lines >= kLines) break;
    }
    EXPECT_EQ(Window().Reader().SeriesNames(), (std::vector<std::string>{"sin", "cos", "noise"}));
    for (uint64_t row = 0; row < kLines; ++row) {
        std::vector<double> expected(3);
        std::istringstream line(TDemoDevice::PlotLine(row, 1000));
        for (double& value : expected) {
            std::string field;
            std::getline(line, field, ',');
            value = std::strtod(field.c_str() + field.find(':') + 1, nullptr);
        }
        ASSERT_EQ(Row(row), expected) << row;
    }
}

TEST_F(Plot, ExportsTheSamplesAsCsvAndTheViewAsAPicture) {
    OpenPlot();
    Receive("x,y\r\n1,2\r\n3;-4.5e-3\r\ny=nan\r\n", "nan\n");
    const QString csv = Folder.filePath("samples.csv");
    Window().ExportCsv(csv);
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression expected(QStringLiteral("^time,x,y,y\r\n"
                                                     "\\d+\\.\\d{3},1,2,\r\n"
                                                     "\\d+\\.\\d{3},3,-0\\.0045,\r\n"
                                                     "\\d+\\.\\d{3},,,nan\r\n$"));
    EXPECT_TRUE(expected.match(text).hasMatch()) << text.toStdString();

    const QString png = Folder.filePath("view.png");
    Window().ExportPng(png);
    const QImage picture(png);
    EXPECT_EQ(picture.size(), Window().View().size() * Window().View().devicePixelRatio());

    // A place that cannot be written says so, and leaves what was there.
    EXPECT_THROW(Window().ExportCsv(Folder.filePath("missing/samples.csv")), Exception);
    try {
        Window().ExportPng(Folder.filePath("missing/view.png"));
    } catch (const Exception& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith("The plot could not be exported: ")) << e.what();
        EXPECT_TRUE(QString::fromUtf8(e.what()).endsWith("missing/view.png")) << e.what();
    }
    EXPECT_EQ(QImage(png).size(), picture.size());
}

}  // namespace
