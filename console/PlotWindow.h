// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// View > Plot: a window of its own beside the console that plots the numbers
// in received lines as they arrive. Lines are read while the window is open;
// closing it stops nothing else, and its samples stay for the next opening.

#include <QString>
#include <chrono>
#include <cstdint>

#include "console/comexample.h"
#include "plot/PlotLineReader.h"
#include "plot/PlotSamples.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLayout;
class QSpinBox;
class QToolBar;
class QWidget;
class TPlotView;

class TPlotWindow : public TComponent {
public:
    explicit TPlotWindow(TForm3& Form);
    ~TPlotWindow() override;

    void Open();
    bool IsOpen() const;
    QWidget& Window() const { return *FWindow; }
    TPlotView& View() const { return *FView; }
    const TPlotSamples& Samples() const { return FSamples; }
    const TPlotLineReader& Reader() const { return FReader; }

    // A received line, its terminal codes gone; read while the window is open.
    void ReceiveLine(std::u16string_view Line);
    void SetKeep(uint64_t Rows);
    void Clear();
    // Every kept sample as comma-separated values, and the view as a picture.
    void ExportCsv(const QString& Path) const;
    void ExportPng(const QString& Path) const;

private:
    void BuildMenu(QLayout& Layout);
    void BuildToolBar(QToolBar& Bar);
    void ShowState();
    void ChooseExport(const QString& Title, const QString& Filter, void (TPlotWindow::*Export)(const QString&) const);

    TForm3& FForm;
    TPlotLineReader FReader;
    TPlotSamples FSamples;
    std::vector<double> FValues;
    std::vector<std::string> FShownNames;
    std::chrono::steady_clock::time_point FStart;
    QWidget* FWindow;
    bool FPlaced = false;
    TPlotView* FView;
    QAction* FPause = nullptr;
    QComboBox* FAxis = nullptr;
    QSpinBox* FKeep = nullptr;
    QCheckBox* FAutoRange = nullptr;
    QDoubleSpinBox* FLow = nullptr;
    QDoubleSpinBox* FHigh = nullptr;
};

// Called once from FormCreate.
void AttachPlot(TForm3& Form);
