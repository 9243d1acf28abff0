// SPDX-License-Identifier: GPL-3.0-or-later
// The plot's costs, each against a baseline of the same run:
//  - reading 8 series at 100,000 lines a second (line splitting, numbers,
//    the ring), against finding the line ends alone; and the console window
//    taking 100,000 values a second in 4 KB blocks with the plot open,
//    against the window with it closed;
//  - one frame (processor time) with 1,000,000 rows of 8 series in view,
//    drawn by QPainter as the extremes of each pixel column, and the same
//    frame with a frame's worth of new rows; against the 16 ms target and,
//    when built with it, QCustomPlot drawing the same data;
//  - bytes per kept value, and resident memory over a simulated hour at
//    N = 10,000,000.
//
// bench_plot [simulated minutes, 60]

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef OSTRA_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

#include "bench/BenchSupport.h"
#include "console/FormParts.h"
#include "console/PlotWindow.h"
#include "console/comexample.h"
#include "plot/PlotLineReader.h"
#include "plot/PlotSamples.h"
#include "toolkit/ui/PlotView.h"

namespace {

constexpr std::size_t kSeries = 8;
constexpr uint64_t kRowsASecond = 100'000;
constexpr uint64_t kRowsInView = 1'000'000;
constexpr double kFrameTarget = 0.016;
constexpr int kWidth = 1000;
constexpr int kHeight = 500;
constexpr int kFrames = 21;

// Row Row of series Series: a wave with noise, so that each pixel column has
// a spread to draw.
double Made(std::size_t Series, uint64_t Row) {
    const double noise = static_cast<double>((Row * 2654435761u + Series * 40503u) % 1000) / 1000.0;
    return std::sin(static_cast<double>(Row) / 20000.0 + static_cast<double>(Series)) * 10 + noise +
           static_cast<double>(Series) * 5;
}

// A second of lines as a device prints them: "s1:…,s2:…,…".
std::string DeviceText(uint64_t Rows) {
    std::string text;
    char value[32];
    for (uint64_t row = 0; row < Rows; ++row) {
        for (std::size_t series = 0; series < kSeries; ++series) {
            std::snprintf(value, sizeof value, "%ss%zu:%.3f", series ? "," : "", series + 1, Made(series, row));
            text += value;
        }
        text += "\r\n";
    }
    return text;
}

void ReportReading() {
    const std::string text = DeviceText(kRowsASecond);
    // The baseline: finding every line end, the least any reader does.
    TClock::time_point start = TClock::now();
    std::size_t ends = 0;
    for (const char* at = text.data(); (at = static_cast<const char*>(std::memchr(at, '\n', text.data() + text.size() - at)));
         ++at)
        ++ends;
    const double baseline = SecondsSince(start);

    TLineSplitter lines;
    TPlotLineReader reader;
    TPlotSamples samples(TPlotSamples::MaxKeep);
    std::vector<double> values;
    start = TClock::now();
    lines.Feed(text, [&](std::string_view Line) {
        if (reader.Read(Line, values)) samples.Append(0, values);
    });
    const double reading = SecondsSince(start);
    if (samples.End() != ends) std::printf("read %llu rows of %zu\n", static_cast<unsigned long long>(samples.End()), ends);
    PrintFigure("reading 1 s of 8 series at 100,000 lines/s", reading, "s", reading / baseline,
                "against finding the line ends; share of one core " + std::to_string(static_cast<int>(reading * 100)) + "%");
}

// The window in 4 KB blocks of 100,000 values a second (12,500 lines of 8),
// with the plot closed and open.
void ReportWindow(TForm3& Form) {
    const std::string text = DeviceText(kRowsASecond / kSeries);
    const auto cost = [&] {
        const double start = ThreadCpuSeconds();
        for (std::size_t offset = 0; offset < text.size(); offset += 4096) {
            Form.OrvelSerialPort1Receive(nullptr, text.substr(offset, 4096));
            Application->ProcessMessages();
        }
        return ThreadCpuSeconds() - start;
    };
    const double closed = cost();
    TPlotWindow& plot = FormPart<TPlotWindow>(Form, "Plot");
    plot.Open();
    const double open = cost();
    PrintFigure("window, 1 s of 100,000 values, plot closed", closed, "s", 1, "processor time of the main thread");
    PrintFigure("window, 1 s of 100,000 values, plot open", open, "s", open / closed,
                std::to_string(plot.Samples().End()) + " rows read; keeps up when under 1 s");
    plot.Window().close();
}

// The median frame, still.
template <class Draw, class AddFrame>
double ReportFrames(const char* Name, Draw&& DrawFrame, AddFrame&& AddRows, double Baseline, const char* Against) {
    std::vector<double> still, live;
    for (int i = 0; i < kFrames; ++i) {
        double start = ThreadCpuSeconds();
        DrawFrame();
        still.push_back(ThreadCpuSeconds() - start);
        start = ThreadCpuSeconds();
        AddRows();
        DrawFrame();
        live.push_back(ThreadCpuSeconds() - start);
    }
    const double stillMedian = Median(still), liveMedian = Median(live);
    PrintFigure(std::string(Name) + ", frame", stillMedian * 1000, "ms", stillMedian / Baseline, Against);
    PrintFigure(std::string(Name) + ", frame with 1/60 s of rows", liveMedian * 1000, "ms", liveMedian / Baseline, Against);
    return stillMedian;
}

double ReportOurFrames() {
    const double before = ResidentBytes();
    TPlotSamples samples(kRowsInView);
    std::vector<double> values(kSeries);
    const auto add = [&](uint64_t Rows) {
        for (uint64_t i = 0; i < Rows; ++i) {
            const uint64_t row = samples.End();
            for (std::size_t s = 0; s < kSeries; ++s) values[s] = Made(s, row);
            samples.Append(static_cast<double>(row) / kRowsASecond, values);
        }
    };
    add(kRowsInView);
    PrintFigure("QPainter: bytes per kept value (ring)", static_cast<double>(samples.MemoryBytes()) / (kRowsInView * kSeries),
                "B", static_cast<double>(samples.MemoryBytes()) / (kRowsInView * kSeries) / 16, "against 16 B");
    PrintFigure("QPainter: resident bytes per kept value", (ResidentBytes() - before) / (kRowsInView * kSeries), "B",
                (ResidentBytes() - before) / (kRowsInView * kSeries) / 16, "against 16 B");
    TPlotView view(samples);
    view.resize(kWidth, kHeight);
    view.SetSeriesNames({"s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8"});
    view.SetSpan(static_cast<double>(kRowsInView));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    return ReportFrames(
        "QPainter: 8 x 1,000,000 rows", [&] { view.render(&image); }, [&] { add(kRowsASecond / 60); }, kFrameTarget,
        "against 16 ms");
}

#ifdef OSTRA_QCUSTOMPLOT
void ReportLibraryFrames(double OurFrame) {
    const double before = ResidentBytes();
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    QVector<double> keys(kRowsInView), values(kRowsInView);
    for (std::size_t s = 0; s < kSeries; ++s) {
        for (uint64_t row = 0; row < kRowsInView; ++row) {
            keys[static_cast<qsizetype>(row)] = static_cast<double>(row);
            values[static_cast<qsizetype>(row)] = Made(s, row);
        }
        plot.addGraph()->setData(keys, values, true);
    }
    keys.clear();
    values.clear();
    keys.squeeze();
    values.squeeze();
    plot.rescaleAxes();
    PrintFigure("QCustomPlot: resident bytes per kept value", (ResidentBytes() - before) / (kRowsInView * kSeries), "B",
                (ResidentBytes() - before) / (kRowsInView * kSeries) / 16, "against 16 B");
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    uint64_t next = kRowsInView;
    ReportFrames(
        "QCustomPlot: 8 x 1,000,000 rows",
        [&] {
            plot.replot(QCustomPlot::rpImmediateRefresh);
            plot.render(&image);
        },
        [&] {
            // The same ring: the newest rows in, as many of the oldest out.
            const uint64_t end = next + kRowsASecond / 60;
            for (int g = 0; g < plot.graphCount(); ++g) {
                for (uint64_t row = next; row < end; ++row)
                    plot.graph(g)->addData(static_cast<double>(row), Made(static_cast<std::size_t>(g), row));
                plot.graph(g)->data()->removeBefore(static_cast<double>(end - kRowsInView));
            }
            plot.xAxis->setRange(static_cast<double>(end - kRowsInView), static_cast<double>(end));
            next = end;
        },
        OurFrame, "against QPainter's frame");
}
#endif

// An hour at 10,000 lines a second into a ring of 10,000,000: resident
// memory once the ring is full, and at the end.
void ReportHour(double Minutes) {
    constexpr uint64_t kHourRate = 10'000;
    const double start = ResidentBytes();
    TPlotSamples samples(TPlotSamples::MaxKeep);
    std::vector<double> values(kSeries);
    const auto fill = [&](uint64_t End) {
        while (samples.End() < End) {
            const uint64_t row = samples.End();
            for (std::size_t s = 0; s < kSeries; ++s) values[s] = Made(s, row);
            samples.Append(static_cast<double>(row) / kHourRate, values);
        }
        return ResidentBytes() - start;
    };
    const double full = fill(TPlotSamples::MaxKeep);
    PrintFigure("N = 10,000,000: resident when full (" + std::to_string(TPlotSamples::MaxKeep / kHourRate / 60) + " min)",
                full / 1e6, "MB", 1, "8 series");
    const double end = fill(static_cast<uint64_t>(Minutes * 60 * kHourRate));
    PrintFigure("N = 10,000,000: resident after " + std::to_string(static_cast<int>(Minutes)) + " min", end / 1e6, "MB",
                end / full, "against the ring when full");
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::strtod(argv[1], nullptr) : 60;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ReportReading();
    // The window takes its blocks straight, without a port.
    Application->Initialize();
    Application->CreateForm(Form3);
    Form3->Show();
    ReportWindow(*Form3);
    delete Form3;
    const double ourFrame = ReportOurFrames();
#ifdef OSTRA_QCUSTOMPLOT
    ReportLibraryFrames(ourFrame);
#else
    (void)ourFrame;
#endif
    ReportHour(minutes);
    return 0;
}
