// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/PlotWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSaveFile>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <limits>

#include "console/ConsoleMenus.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/PlotView.h"

namespace {

QDoubleSpinBox* RangeBox(QWidget& Parent) {
    auto* box = new QDoubleSpinBox(&Parent);
    box->setRange(-std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
    box->setDecimals(3);
    box->setMinimumWidth(90);
    return box;
}

// Writes a file whole or not at all: a failure leaves what was there.
void SaveFile(const QString& Path, const std::function<bool(QSaveFile&)>& Write) {
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly) || !Write(file) || !file.commit())
        throw Exception((QStringLiteral("The plot could not be exported: ") + file.errorString() + QStringLiteral("\n") + Path)
                            .toStdString());
}

}  // namespace

TPlotWindow::TPlotWindow(TForm3& Form) : TComponent(&Form), FForm(Form), FStart(std::chrono::steady_clock::now()) {
    SetName("Plot");
    // A window of its own, closed with the console.
    FWindow = new QWidget(Form.Frame(), Qt::Window);
    FWindow->setWindowTitle(QStringLiteral("Plot"));
    FWindow->resize(760, 440);
    auto* layout = new QVBoxLayout(FWindow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildMenu(*layout);
    auto* bar = new QToolBar(FWindow);
    layout->addWidget(bar);
    FView = new TPlotView(FSamples, FWindow);
    layout->addWidget(FView, 1);
    BuildToolBar(*bar);
    FView->OnChangedByUser = [this] { ShowState(); };
    ShowState();

    QAction* plot = ConsoleMenu(Form, QStringLiteral("&View")).addAction(QStringLiteral("Pl&ot"));
    QObject::connect(plot, &QAction::triggered, FWindow, [this] { Open(); });
    Form.Received().AddLineListener(TReceivedPipeline::kRankPlot, [this](std::u16string_view Line) { ReceiveLine(Line); });
}

TPlotWindow::~TPlotWindow() = default;

void TPlotWindow::BuildMenu(QLayout& Layout) {
    auto* menus = new QMenuBar(FWindow);
    Layout.setMenuBar(menus);
    QMenu& file = *menus->addMenu(QStringLiteral("&File"));
    QObject::connect(file.addAction(QStringLiteral("Export &CSV…")), &QAction::triggered, FWindow, [this] {
        ChooseExport(QStringLiteral("Export CSV"), QStringLiteral("Comma-separated values (*.csv)"), &TPlotWindow::ExportCsv);
    });
    QObject::connect(file.addAction(QStringLiteral("Export &PNG…")), &QAction::triggered, FWindow, [this] {
        ChooseExport(QStringLiteral("Export PNG"), QStringLiteral("PNG pictures (*.png)"), &TPlotWindow::ExportPng);
    });
    file.addSeparator();
    QObject::connect(file.addAction(QStringLiteral("C&lear")), &QAction::triggered, FWindow, [this] { Clear(); });
    file.addSeparator();
    QAction* close = file.addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence::Close);
    QObject::connect(close, &QAction::triggered, FWindow, &QWidget::close);
}

void TPlotWindow::BuildToolBar(QToolBar& Bar) {
    FPause = Bar.addAction(QStringLiteral("Pause"));
    FPause->setCheckable(true);
    QObject::connect(FPause, &QAction::toggled, FWindow, [this](bool On) { FView->SetPaused(On); });
    Bar.addSeparator();
    FAxis = new QComboBox(&Bar);
    FAxis->addItems({QStringLiteral("Sample number"), QStringLiteral("Arrival time")});
    Bar.addWidget(FAxis);
    QObject::connect(FAxis, &QComboBox::currentIndexChanged, FWindow, [this](int Index) {
        FView->SetAxis(Index == 0 ? TPlotView::SampleAxis : TPlotView::TimeAxis);
    });
    Bar.addWidget(new QLabel(QStringLiteral(" Keep "), &Bar));
    FKeep = new QSpinBox(&Bar);
    FKeep->setRange(static_cast<int>(TPlotSamples::MinKeep), static_cast<int>(TPlotSamples::MaxKeep));
    FKeep->setGroupSeparatorShown(true);
    FKeep->setSingleStep(1000);
    FKeep->setSuffix(QStringLiteral(" samples"));
    FKeep->setValue(static_cast<int>(FSamples.Keep()));
    Bar.addWidget(FKeep);
    QObject::connect(FKeep, &QSpinBox::editingFinished, FWindow, [this] { SetKeep(static_cast<uint64_t>(FKeep->value())); });
    Bar.addSeparator();
    FAutoRange = new QCheckBox(QStringLiteral("Automatic range"), &Bar);
    Bar.addWidget(FAutoRange);
    QObject::connect(FAutoRange, &QCheckBox::toggled, FWindow, [this](bool On) {
        // Fixed where it stands, until the user says otherwise.
        On ? FView->SetAutoRange(true) : FView->SetRange(FView->Low(), FView->High());
        ShowState();
    });
    FLow = RangeBox(Bar);
    FHigh = RangeBox(Bar);
    Bar.addWidget(FLow);
    Bar.addWidget(new QLabel(QStringLiteral(" to "), &Bar));
    Bar.addWidget(FHigh);
    for (QDoubleSpinBox* box : {FLow, FHigh})
        QObject::connect(box, &QDoubleSpinBox::editingFinished, FWindow, [this] { FView->SetRange(FLow->value(), FHigh->value()); });
}

void TPlotWindow::ShowState() {
    const QSignalBlocker pause(FPause), automatic(FAutoRange), low(FLow), high(FHigh);
    FPause->setChecked(FView->Paused());
    FAutoRange->setChecked(FView->AutoRange());
    FLow->setEnabled(!FView->AutoRange());
    FHigh->setEnabled(!FView->AutoRange());
    FLow->setValue(FView->Low());
    FHigh->setValue(FView->High());
}

void TPlotWindow::Open() {
    if (!IsOpen()) {
        if (FSamples.Empty()) FStart = std::chrono::steady_clock::now();
        // Beside the console, the first time.
        if (!FPlaced) {
            const QRect console = FForm.Frame()->frameGeometry();
            FWindow->move(console.right() + 8, console.top());
            FPlaced = true;
        }
    }
    FWindow->show();
    FWindow->raise();
    FWindow->activateWindow();
}

bool TPlotWindow::IsOpen() const { return FWindow->isVisible(); }

void TPlotWindow::ReceiveLine(std::u16string_view Line) {
    if (!IsOpen()) return;
    const double time = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    if (!FReader.Read(UnicodeToUtf8(UnicodeString(Line)), FValues)) return;
    FSamples.Append(time, FValues);
    if (FReader.SeriesNames() != FShownNames) {
        FShownNames = FReader.SeriesNames();
        FView->SetSeriesNames(FShownNames);
    }
    FView->SamplesChanged();
}

void TPlotWindow::SetKeep(uint64_t Rows) {
    FSamples.SetKeep(Rows);
    const QSignalBlocker keep(FKeep);
    FKeep->setValue(static_cast<int>(FSamples.Keep()));
    FView->SamplesChanged();
}

void TPlotWindow::Clear() {
    FSamples.Clear();
    FReader.Clear();
    FStart = std::chrono::steady_clock::now();
    FShownNames.clear();
    FView->SetSeriesNames({});
}

void TPlotWindow::ChooseExport(const QString& Title, const QString& Filter,
                               void (TPlotWindow::*Export)(const QString&) const) {
    const QString path = QFileDialog::getSaveFileName(FWindow, Title, {}, Filter);
    if (!path.isEmpty()) RunHandled([&] { (this->*Export)(path); });
}

void TPlotWindow::ExportCsv(const QString& Path) const {
    SaveFile(Path, [this](QSaveFile& File) {
        bool written = true;
        FSamples.WriteCsv(FReader.SeriesNames(), [&](std::string_view Piece) {
            const auto size = static_cast<qint64>(Piece.size());
            written = written && File.write(Piece.data(), size) == size;
        });
        return written;
    });
}

void TPlotWindow::ExportPng(const QString& Path) const {
    const QImage picture = FView->grab().toImage();
    SaveFile(Path, [&picture](QSaveFile& File) { return picture.save(&File, "PNG"); });
}

void AttachPlot(TForm3& Form) { new TPlotWindow(Form); }
