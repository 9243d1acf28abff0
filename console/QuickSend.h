// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// View > Quick send: a row of up to twelve buttons above the client area,
// pressed with the mouse or with F1–F12. Each sends its command (with escapes
// or as hex) and its own line ending; one with a repeat period sends until
// it is pressed again. Repeats stop when the port closes.

#include <QString>
#include <array>
#include <memory>
#include <vector>

#include "console/comexample.h"
#include "transfer/CommandText.h"
#include "transfer/RepeatSender.h"

class QAction;
class QSettings;
class QToolBar;
class QToolButton;

struct TQuickButton {
    QString Name;
    QString Command;
    bool Hex = false;       // the command is pairs of hex digits; otherwise escapes are read
    int Ending = -1;        // a TLineEnding, or -1 for none
    int RepeatMs = 0;       // 0: once a press

    static constexpr int kMinRepeatMs = 10;
    static constexpr int kMaxRepeatMs = 3600 * 1000;
    bool Defined() const { return !Command.isEmpty(); }
};

class TQuickSend : public TComponent, public TSessionWatcher {
public:
    static constexpr int kButtons = 12;

    explicit TQuickSend(TForm3& Form);
    ~TQuickSend() override;

    void SetShown(bool On);
    bool Shown() const;
    void SetButtons(const std::array<TQuickButton, kButtons>& Buttons);
    const std::array<TQuickButton, kButtons>& Buttons() const { return FButtons; }
    // What pressing button Index (from 0) does: send once, or start or stop repeating.
    void Press(int Index);
    bool Repeating(int Index) const;
    QToolButton* Button(int Index) const { return FWidgets[static_cast<std::size_t>(Index)]; }

    void Load(QSettings& Store);
    void Save(QSettings& Store) const;

    void ClosingPort() override { StopRepeats(); }
    void Disconnected(bool) override { StopRepeats(); }

private:
    void Edit();
    void Rebuild();
    void StopRepeats();
    void ShowRepeats();
    AnsiString BytesOf(const TQuickButton& Button) const;

    TForm3& FForm;
    QAction* FShownItem;
    QToolBar* FBar;
    std::array<TQuickButton, kButtons> FButtons;
    std::array<QToolButton*, kButtons> FWidgets{};
    std::array<std::unique_ptr<TRepeatSender>, kButtons> FRepeats;
};

// Called once from FormCreate.
void AttachQuickSend(TForm3& Form);
