// SPDX-License-Identifier: GPL-3.0-or-later
// How the console window keeps up with what a device sends: the cost of one
// received block (median processor time of the main thread) early and late in
// a long session, the memory the shown text
// takes, and a paced stream through a pseudo-terminal at the fastest listed
// rate, watched from the event loop and from the writer.
//
// Also: finding text in the long session, typing a key in its middle and at
// its end, and the memory of a stream four times as long under a limit of
// 100,000 lines.
//
// With "colours": log lines of one colour and a reset each against plain
// lines, their memory, and terminal mode showing seq's output through a pty.
//
// bench_display [megabytes of the long session, 50] [seconds of each stream, 20] [colours]

#include <QApplication>
#include <algorithm>
#include <ctime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/BenchSupport.h"
#include "console/FormParts.h"
#include "console/ReceivedViews.h"
#include "console/TerminalMode.h"
#include "toolkit/ui/HexView.h"
#include "toolkit/ui/TerminalView.h"
#include "console/comexample.h"
#include "tests/support/Pty.h"
#include "toolkit/ui/TextView.h"

namespace {

constexpr std::size_t kBlock = 4096;
constexpr std::size_t kMegabyte = 1 << 20;
constexpr std::size_t kRecord = 64;
constexpr double kBytesPerSecond = 92160;  // 921,600 baud, 10 bits a byte

// Record Index of a stream: 62 bytes of number and letters, then CR LF, or
// 64 bytes without a line end. A coloured one starts with a colour and ends
// with a reset before its line end, in the same 64 bytes.
std::string Record(uint64_t Index, bool LineEnds, bool Coloured = false) {
    char number[16];
    std::snprintf(number, sizeof number, "%010llu ", static_cast<unsigned long long>(Index));
    std::string record = std::string(Coloured ? "\x1b[0;32m" : "") + number;
    while (record.size() < kRecord) record += static_cast<char>('a' + (Index + record.size()) % 26);
    if (LineEnds) record.replace(kRecord - 2, 2, "\r\n");
    if (Coloured) record.replace(kRecord - 6, 4, "\x1b[0m");
    return record;
}

std::string Stream(uint64_t FirstRecord, std::size_t Bytes, bool LineEnds, bool Coloured = false) {
    std::string stream;
    for (uint64_t i = FirstRecord; stream.size() < Bytes; ++i) stream += Record(i, LineEnds, Coloured);
    return stream;
}

// The text the window should show for a stream: line ends become "\n", colours go.
QString Shown(const std::string& Stream) {
    QString text = QString::fromLatin1(Stream.data(), static_cast<qsizetype>(Stream.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.remove(QRegularExpression(QStringLiteral("\x1b\\[[0-9;]*m")));
    return text;
}

double ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

bool AtTheEnd(const TTextView& View) {
    const QScrollBar& bar = *View.verticalScrollBar();
    return bar.value() == bar.maximum();
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> Values) {
    std::nth_element(Values.begin(), Values.begin() + Values.size() / 2, Values.end());
    return Values[Values.size() / 2];
}

// Feeds the receive handler with 4 KB blocks and lets the window paint after
// each; returns the median cost of a block over the first megabyte and over
// the last. The cost is the main thread's processor time, so other work on the
// machine does not count.
std::pair<double, double> BlockCosts(TForm3& Form, std::size_t Megabytes, bool LineEnds, bool Coloured = false) {
    Form.Memo1->Clear();
    const std::size_t blocks = Megabytes * kMegabyte / kBlock;
    const std::size_t perMegabyte = kMegabyte / kBlock;
    const std::string stream = Stream(0, kMegabyte, LineEnds, Coloured);  // repeated: only the cost counts here
    std::vector<double> first, last;
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t offset = (i % perMegabyte) * kBlock;
        const double start = ThreadCpuMs();
        Form.OrvelSerialPort1Receive(nullptr, stream.substr(offset, kBlock));
        Application->ProcessMessages();
        const double ms = ThreadCpuMs() - start;
        if (i < perMegabyte) first.push_back(ms);
        if (i >= blocks - perMegabyte) last.push_back(ms);
    }
    return {Median(first), Median(last)};
}

// Memory is read on the first session only: a later one reuses what the first freed.
void ReportBlockCosts(TForm3& Form, std::size_t Megabytes, bool LineEnds, bool Memory) {
    const char* kind = LineEnds ? "lines" : "no line break";
    const double before = ResidentMegabytes();
    const auto [first, last] = BlockCosts(Form, Megabytes, LineEnds);
    const double grown = ResidentMegabytes() - before;
    const std::string at = std::to_string(Megabytes) + " MB";
    PrintFigure(std::string("4 KB block, ") + kind + ", first MB", first, "ms", 1.0);
    PrintFigure(std::string("4 KB block, ") + kind + ", at " + at, last, "ms", last / first, "target <= 1.5");
    PrintFigure(std::string("view at the end, ") + kind, AtTheEnd(Form.Memo1->View()) ? 1 : 0, "yes", 1.0);
    if (!Memory) return;
    const double perByte = grown * 1e6 / static_cast<double>(Megabytes * kMegabyte);
    PrintFigure(std::string("resident bytes per byte shown, ") + kind, perByte, "B/B", perByte / 3, "target ratio <= 1");
}

// A search that finds nothing reads the whole session; the baseline is the
// same search over one plain string of the same text.
void ReportSearch(TForm3& Form, std::size_t Megabytes) {
    TTextView& view = Form.Memo1->View();
    const std::u16string needle = u"0000000000 zz";  // never in a record: every line is read
    const std::u16string plain = view.Text();
    QElapsedTimer timer;
    timer.start();
    const bool inPlain = plain.find(needle) != std::u16string::npos;
    const double baseline = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    view.SetSelection(0, 0);
    timer.start();
    const bool found = view.Find(needle, true);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const std::string at = std::to_string(Megabytes) + " MB";
    PrintFigure("find, nothing found, plain string of " + at, baseline, "ms", 1.0, inPlain ? "FOUND?" : "");
    PrintFigure("find in the received area, nothing found, " + at, ms, "ms", ms / baseline, found ? "FOUND?" : "");
    PrintFigure("  against the 1 s target", ms, "ms", ms / 1000, "target ratio <= 0.5");
    timer.start();
    const bool last = view.Find(u"0000000000 ", false);  // backwards round to the last record with that number
    const double back = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    PrintFigure("find backwards round the end", back, "ms", back / baseline, last ? "" : "NOT FOUND");
}

// One key typed into the long session at Place(i) for key i, the window
// painting after each; the median processor time of the main thread.
template <class TPlace>
double KeyCost(TForm3& Form, TPlace&& Place) {
    TTextView& view = Form.Memo1->View();
    std::vector<double> costs;
    for (int i = 0; i < 21; ++i) {
        const TTextView::Position at = Place(i);
        const double start = ThreadCpuMs();
        view.SetSelection(at, at);
        view.InsertText(u"x");
        Application->ProcessMessages();
        costs.push_back(ThreadCpuMs() - start);
    }
    return Median(costs);
}

// Typing in the middle of a long session against typing at its end: the
// same place for each key, as when a user edits a line, and a new line for
// each key, where the lines after the last place move once.
void ReportTyping(TForm3& Form, std::size_t Megabytes) {
    const TTextLines& lines = Form.Memo1->View().Lines();
    const auto inLine = [&](std::size_t Line) { return lines.LineStart(Line) + lines.LineLength(Line) / 2; };
    const double atEnd = KeyCost(Form, [&](int) { return Form.Memo1->View().Length(); });
    const double samePlace = KeyCost(Form, [&](int i) { return inLine(10) + static_cast<uint64_t>(i); });
    const double newPlace = KeyCost(Form, [&](int i) { return inLine(20 + 1000 * static_cast<std::size_t>(i)); });
    const std::string at = std::to_string(Megabytes) + " MB";
    PrintFigure("key typed at the end of " + at, atEnd, "ms", 1.0);
    PrintFigure("key typed near the start, one place", samePlace, "ms", samePlace / atEnd, "target <= 1.5");
    PrintFigure("key typed near the start, a new line each", newPlace, "ms", newPlace / atEnd);
}

// Resident memory after a quarter of the stream and at its end, with the
// oldest lines dropped past the limit.
void ReportScrollback(TForm3& Form, std::size_t Megabytes) {
    constexpr std::size_t kLimit = 100000;
    Form.Memo1->Clear();
    FormPart<TReceivedViews>(Form, "ReceivedViews").SetScrollback(kLimit);
    const std::string stream = Stream(0, kMegabyte, true);
    const std::size_t blocks = Megabytes * kMegabyte / kBlock;
    double quarter = 0;
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t offset = (i % (kMegabyte / kBlock)) * kBlock;
        Form.OrvelSerialPort1Receive(nullptr, stream.substr(offset, kBlock));
        if (i % 64 == 0) Application->ProcessMessages();
        if (i + 1 == blocks / 4) quarter = ResidentMegabytes();
    }
    const double end = ResidentMegabytes();
    const std::size_t lines = Form.Memo1->View().Lines().LineCount();
    PrintFigure("limit 100,000 lines: lines kept after " + std::to_string(Megabytes) + " MB", static_cast<double>(lines),
                "lines", static_cast<double>(lines) / kLimit);
    PrintFigure("  resident after a quarter", quarter, "MB", 1.0);
    PrintFigure("  resident at the end", end, "MB", end / quarter, "target ratio <= 1.05");
    FormPart<TReceivedViews>(Form, "ReceivedViews").SetScrollback(0);
}

// A long session with no line limit: the text past the memory budget goes to
// the scrollback file. Resident memory half way and at the end, the time the
// stream took, then the first line scrolled into view and the first
// megabyte's marker found from the first line and from the end (reading all
// of the file back). Feed takes each block as the window or the bare view does.
template <class TFeed>
void ReportSpill(const std::string& Name, TTextView& View, std::size_t Megabytes, TFeed&& Feed) {
    constexpr std::size_t kSpillBlock = 64 * 1024;
    View.Clear();
    const std::string stream = Stream(0, kMegabyte, true);
    const std::size_t blocks = Megabytes * kMegabyte / kSpillBlock;
    const double before = ResidentMegabytes();
    double half = 0;
    QElapsedTimer timer;
    timer.start();
    Feed("marker of the first megabyte\r\n");
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t offset = (i % (kMegabyte / kSpillBlock)) * kSpillBlock;
        Feed(stream.substr(offset, kSpillBlock));
        if (i % 16 == 0) Application->ProcessMessages();
        if (i + 1 == blocks / 2) half = ResidentMegabytes();
    }
    Application->ProcessMessages();
    const double streamed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double end = ResidentMegabytes();
    const std::string at = std::to_string(Megabytes) + " MB";
    PrintFigure(Name + ": " + at + " of 64-byte lines streamed in", streamed, "s", 1.0,
                View.Lines().ScrollbackError().empty() ? "" : "FILE FAILED");
    PrintFigure("  resident before", before, "MB", 1.0);
    PrintFigure("  resident half way", half, "MB", half / 200, "target ratio <= 1");
    PrintFigure("  resident at the end", end, "MB", end / 200, "target ratio <= 1");
    PrintFigure("  growth over the second half", end - half, "MB", (end - half) / half, "target: flat");

    timer.start();
    View.ScrollRows(-static_cast<int64_t>(View.Lines().RowCount()));
    Application->ProcessMessages();
    const double top = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const std::u16string first = View.Lines().LineText(View.Lines().LineOfRow(View.TopRow()));
    PrintFigure("  scroll to the first line and paint it", top, "ms", 1.0, first.starts_with(u"marker") ? "" : "WRONG LINE");
    const std::u16string needle = u"marker of the first";
    View.SetSelection(0, 0);
    timer.start();
    const bool fromTop = View.Find(needle, true);
    const double forward = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    PrintFigure("  find the first MB's marker from the first line", forward, "ms", 1.0, fromTop ? "" : "NOT FOUND");
    View.SetSelection(View.Length(), View.Length());
    timer.start();
    const bool fromEnd = View.Find(needle, false);
    const double backward = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    PrintFigure("  find it backwards from the end (reads " + at + " back)", backward, "ms", 1.0, fromEnd ? "" : "NOT FOUND");
    View.Clear();
}

struct TStreamFigures {
    double LongestGapMs = 0;
    double LongestWriteMs = 0;
    double ShownAfterEndS = -1;
    // From the stream's start until all was shown: the wall-clock time, the
    // processor time of the program (the writer left out) and of its main thread.
    double Seconds = 0;
    double ProgramCpuS = 0;
    double MainThreadCpuS = 0;
    std::size_t Sent = 0;
    bool Exact = false;
    bool AtEnd = false;
};

// Writes the stream to the pty's master at the line rate, in slices every 5 ms,
// timing each blocking write; adds its own processor time to CpuS at the end.
void PacedWriter(int Master, const std::string& Stream, double Rate, std::atomic<double>& LongestWriteMs,
                 std::atomic<bool>& Done, double& CpuS) {
    const auto start = TClock::now();
    std::size_t sent = 0;
    for (int tick = 1; sent < Stream.size(); ++tick) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(5 * tick));
        const auto due = static_cast<std::size_t>(Rate * 0.005 * tick);
        const std::size_t target = std::min(due, Stream.size());
        while (sent < target) {
            const auto before = TClock::now();
            const ssize_t n = write(Master, Stream.data() + sent, target - sent);
            const double ms = SecondsSince(before) * 1e3;
            if (ms > LongestWriteMs) LongestWriteMs = ms;
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
    }
    CpuS = ThreadCpuSeconds();
    Done = true;
}

TStreamFigures LiveStream(TForm3& Form, TPty& Pty, double Rate, double Seconds, bool LineEnds, bool Coloured) {
    TStreamFigures figures;
    Form.Memo1->Clear();
    const std::string stream = Stream(0, static_cast<std::size_t>(Rate * Seconds), LineEnds, Coloured);
    const QString expected = Shown(stream);
    figures.Sent = stream.size();

    std::atomic<double> longestWrite{0};
    std::atomic<bool> done{false};
    QEventLoop loop;
    QElapsedTimer sinceTick, sinceDone;
    sinceTick.start();
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        figures.LongestGapMs = std::max(figures.LongestGapMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - 5);
        sinceTick.start();
        if (!done) return;
        if (!sinceDone.isValid()) sinceDone.start();
        if (Form.Memo1->GetTextLength() >= expected.size() || sinceDone.elapsed() > 30000) loop.quit();
    });
    ticker.start();
    const double programBefore = ProcessCpuSeconds();
    const double mainBefore = ThreadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    double writerCpu = 0;
    std::thread writer(PacedWriter, Pty.Master(), std::cref(stream), Rate, std::ref(longestWrite), std::ref(done),
                       std::ref(writerCpu));
    loop.exec();
    writer.join();
    figures.Seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    figures.ProgramCpuS = ProcessCpuSeconds() - programBefore - writerCpu;
    figures.MainThreadCpuS = ThreadCpuSeconds() - mainBefore;
    figures.ShownAfterEndS = static_cast<double>(sinceDone.elapsed()) / 1e3;
    figures.LongestWriteMs = longestWrite;
    figures.Exact = ToQString(Form.Memo1->GetText()) == expected;
    figures.AtEnd = AtTheEnd(Form.Memo1->View());
    return figures;
}

void ReportLiveStream(TForm3& Form, TPty& Pty, double Rate, double Seconds, bool LineEnds, bool Coloured = false) {
    const std::string kind = Coloured ? "coloured 64-byte lines" : LineEnds ? "64-byte lines" : "no line break";
    const std::string rate = Rate == kBytesPerSecond ? "921,600 baud" : std::to_string(static_cast<long long>(Rate)) + " B/s";
    const TStreamFigures f = LiveStream(Form, Pty, Rate, Seconds, LineEnds, Coloured);
    PrintFigure(rate + ", " + kind + ": bytes sent", static_cast<double>(f.Sent), "B", 1.0);
    PrintFigure("  all shown, in order", f.Exact ? 1 : 0, "yes", f.Exact ? 1.0 : 0.0);
    PrintFigure("  view at the end", f.AtEnd ? 1 : 0, "yes", f.AtEnd ? 1.0 : 0.0);
    PrintFigure("  longest event-loop gap", f.LongestGapMs, "ms", f.LongestGapMs / 100, "target ratio <= 1");
    PrintFigure("  writer held back (longest write)", f.LongestWriteMs, "ms", f.LongestWriteMs / 50, "target ratio <= 1");
    PrintFigure("  all shown after the stream ended", f.ShownAfterEndS, "s", f.ShownAfterEndS, "target <= 1");
    const double share = f.ProgramCpuS / f.Seconds;
    PrintFigure("  processor time of the program", share * 100, "% of a core", share / 0.05, "target ratio <= 1 at 115,200 baud");
    const double main = f.MainThreadCpuS / f.Seconds;
    PrintFigure("  of it the main thread", main * 100, "% of a core", main, "over 1: it cannot keep up");
}

// Coloured lines first, so their memory is read on a fresh heap. That session
// also pays the page faults of its growth, so the block costs of plain and
// coloured lines are compared afterwards, each a megabyte on the heap it left.
void ReportColours(TForm3& Form, std::size_t Megabytes) {
    const double before = ResidentMegabytes();
    const auto [first, last] = BlockCosts(Form, Megabytes, true, true);
    const double grown = ResidentMegabytes() - before;
    const double plain = BlockCosts(Form, 1, true).first;
    const double coloured = BlockCosts(Form, 1, true, true).first;
    PrintFigure("4 KB block, plain lines, first MB", plain, "ms", 1.0);
    PrintFigure("4 KB block, coloured lines, first MB", coloured, "ms", coloured / plain, "target <= 1.3");
    PrintFigure("4 KB block, coloured lines, at " + std::to_string(Megabytes) + " MB", last, "ms", last / first,
                "target <= 1.5");
    const double perByte = grown * 1e6 / static_cast<double>(Megabytes * kMegabyte);
    PrintFigure("resident bytes per byte received, coloured lines", perByte, "B/B", perByte / 3.5, "target ratio <= 1");
}

// seq's output as a shell's terminal sends it (LF as CR LF), written to the
// pty as fast as it takes it, shown in terminal mode; the event loop is timed.
void ReportTerminalMode(TForm3& Form, TPty& Pty) {
    FormPart<TTerminalMode>(Form, "TerminalMode").SetOn(true);
    std::string output;
    if (FILE* seq = popen("seq 1 3000000", "r")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, seq)) > 0;) output.append(buffer, n);
        pclose(seq);
    }
    std::string stream;
    stream.reserve(output.size() * 9 / 8);
    for (const char c : output) stream += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::atomic<bool> done{false};
    double longestGap = 0;
    QEventLoop loop;
    QElapsedTimer sinceTick, total;
    sinceTick.start();
    total.start();
    QTimer ticker;
    ticker.setInterval(5);
    const std::u16string last = u"3000000";
    TTerminalView& view = FormPart<TTerminalMode>(Form, "TerminalMode").View();
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - 5);
        sinceTick.start();
        if (done && (view.ShownText().find(last) != std::u16string::npos || total.elapsed() > 300000)) loop.quit();
    });
    ticker.start();
    std::thread writer([&] {
        for (std::size_t sent = 0; sent < stream.size();) {
            const ssize_t n = write(Pty.Master(), stream.data() + sent, std::min<std::size_t>(65536, stream.size() - sent));
            if (n > 0) sent += static_cast<std::size_t>(n);
            else if (errno != EINTR && errno != EAGAIN) break;
        }
        done = true;
    });
    loop.exec();
    writer.join();
    const bool shown = view.ShownText().find(last) != std::u16string::npos;
    PrintFigure("terminal mode, seq 1 3000000 (" + std::to_string(stream.size()) + " B): last line shown", shown ? 1 : 0,
                "yes", shown ? 1.0 : 0.0);
    PrintFigure("  in", static_cast<double>(total.elapsed()) / 1e3, "s", 1.0);
    PrintFigure("  longest event-loop gap", longestGap, "ms", longestGap / 100, "target ratio <= 1");
    FormPart<TTerminalMode>(Form, "TerminalMode").SetOn(false);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const double seconds = argc > 2 ? std::strtod(argv[2], nullptr) : 20;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TPty pty;
    const TPortMap map("COM5=" + pty.SlavePath());
    Application->Initialize();
    Application->CreateForm(Form3);
    Form3->Show();
    Application->ProcessMessages();

    // One session a process, so that memory one freed does not count for the next.
    if (argc > 3 && std::string(argv[3]) == "spill") {
        const std::string where = argc > 4 ? argv[4] : "window";
        if (where == "window") {
            ReportSpill("window (hex history too)", Form3->Memo1->View(), megabytes,
                        [&](const std::string& Block) { Form3->OrvelSerialPort1Receive(nullptr, Block); });
            const TByteHistory& hex = FormPart<TReceivedViews>(*Form3, "ReceivedViews").Hex().History();
            PrintFigure("  the hex view's bytes in memory", static_cast<double>(hex.BytesInMemory()) / 1e6, "MB",
                        static_cast<double>(hex.BytesInMemory()) / static_cast<double>(hex.End() - hex.First()));
            return 0;
        }
        TTextView alone;
        alone.resize(800, 600);
        alone.show();
        // The baseline, "memory": all of it in memory, as before the scrollback file.
        if (where == "memory") alone.SetScrollback(0);
        ReportSpill("text view alone, " + where, alone, megabytes,
                    [&](const std::string& Block) { alone.AppendText(std::u16string(Block.begin(), Block.end())); });
        return 0;
    }
    // bench_display 0 SECONDS rate BYTES_PER_SECOND [colours]: only the live stream of (coloured) lines at that rate.
    if (argc > 4 && std::string(argv[3]) == "rate") {
        Form3->cb_portlist->SetText(u"COM5");
        Form3->b_ConnectClick(nullptr);
        if (!Form3->Connected()) return 1;
        const bool coloured = argc > 5 && std::string(argv[5]) == "colours";
        ReportLiveStream(*Form3, pty, std::strtod(argv[4], nullptr), seconds, true, coloured);
        Form3->b_ConnectClick(nullptr);
        return 0;
    }
    if (argc > 3 && std::string(argv[3]) == "colours") {
        ReportColours(*Form3, megabytes);
        Form3->cb_portlist->SetText(u"COM5");
        Form3->b_ConnectClick(nullptr);
        if (!Form3->Connected()) return 1;
        ReportTerminalMode(*Form3, pty);
        Form3->b_ConnectClick(nullptr);
        return 0;
    }
    ReportBlockCosts(*Form3, megabytes, true, true);
    ReportSearch(*Form3, megabytes);
    ReportTyping(*Form3, megabytes);
    ReportBlockCosts(*Form3, megabytes, false, false);
    ReportScrollback(*Form3, 4 * megabytes);

    Form3->cb_portlist->SetText(u"COM5");
    Form3->b_ConnectClick(nullptr);
    if (!Form3->Connected()) {
        std::fprintf(stderr, "could not open COM5\n");
        return 1;
    }
    ReportLiveStream(*Form3, pty, kBytesPerSecond, seconds, true);
    ReportLiveStream(*Form3, pty, kBytesPerSecond, seconds, false);
    Form3->b_ConnectClick(nullptr);
    return 0;
}
