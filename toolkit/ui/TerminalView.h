// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The received area in terminal mode: a TTerminalScreen the size of the
// area, painted cell by cell, with keys going straight to the device as
// xterm sends them. Ctrl+Shift+C copies the screen's text, Ctrl+Shift+V
// pastes. A serial line carries no window size, so a label in the corner
// says what to tell the device ("stty rows R cols C").

#include <QTimer>
#include <QWidget>

#include "terminal/TerminalScreen.h"

class QLabel;

class TTerminalView : public QWidget {
public:
    explicit TTerminalView(QWidget* Parent = nullptr);

    TTerminalScreen& Screen() { return FScreen; }
    // Draws Bytes from the device; the painting follows once per frame.
    void Write(std::string_view Bytes);
    // Backspace sends BS rather than DEL.
    void SetBackspaceSendsBS(bool On) { FBackspaceSendsBS = On; }
    bool BackspaceSendsBS() const { return FBackspaceSendsBS; }
    std::u16string ScreenText() const;
    QString SizeText() const;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool focusNextPrevChild(bool Next) override;

private:
    void MeasureFont();
    void FitScreen();
    bool SendKey(const QKeyEvent& Event);

    TTerminalScreen FScreen{24, 80};
    QLabel* FSizeLabel;
    QTimer FFrame;
    qreal FCellWidth = 8;
    int FRowHeight = 16;
    int FAscent = 12;
    bool FBackspaceSendsBS = false;
};
