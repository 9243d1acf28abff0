// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The View menu's ways of showing received data: terminal codes applied (on
// by default) or shown as they came, the bell, control characters by name,
// a time stamp at the start of each line, a hex view of the bytes in place
// of the text, a limit on the lines kept, and finding text in the received
// area (F3 and Shift+F3 find again).
// Every other option is off by default; the setters are where remembered
// settings restore them.

#include <QString>
#include <chrono>
#include <cstdint>

#include "console/comexample.h"

class QAction;
class THexView;

// Shows bytes 0–31 other than tab by their names; CR and LF only when asked,
// and then they still end lines (a CR LF pair ends one line, after both names).
class TControlNames {
public:
    bool LineEnds = false;
    UnicodeString Shown(const UnicodeString& Text);
    // A CR named last is held until it is known whether an LF pairs with it;
    // a pause ends the wait.
    UnicodeString Flush();

private:
    bool FHeldCR = false;
};

// Puts the local time a line's first character arrived before the line.
class TLineStamper {
public:
    using TClock = std::chrono::system_clock;
    // A line still open after a pause this long ends there.
    static constexpr std::chrono::milliseconds kPause{500};
    static UnicodeString StampOf(TClock::time_point Time);

    // LineOpen: the text shown so far ends inside a line; Paused: nothing
    // arrived for longer than kPause before Text.
    UnicodeString Stamped(const UnicodeString& Text, TClock::time_point Arrival, bool LineOpen, bool Paused);

private:
    bool FAfterCR = false;
};

class TReceivedViews : public TComponent {
public:
    explicit TReceivedViews(TForm3& Form);

    // Showing control characters by name shows the codes as they came, whatever this says.
    void SetTerminalCodes(bool On);
    bool TerminalCodes() const { return FTerminalCodes; }
    void SetBell(bool On);
    bool Bell() const { return FBell; }
    void SetTimestamps(bool On);
    bool Timestamps() const { return FTimestamps; }
    void SetShowControls(bool On);
    bool ShowControls() const { return FShowControls; }
    void SetControlLineEnds(bool On);
    bool ControlLineEnds() const { return FNames.LineEnds; }
    // The hex view stands over the received area; keys still go to the area.
    void SetHexView(bool On);
    bool HexView() const;
    THexView& Hex() const { return *FHex; }
    // 0 keeps every line, of the text and of the hex view's bytes.
    void SetScrollback(uint64_t Lines);
    uint64_t Scrollback() const { return FScrollback; }

    // Selects the next (or previous) place where Text stands, from the
    // selection on, wrapping round; false when it is nowhere.
    bool Find(const QString& Text, bool Forward);
    const QString& FindText() const { return FFindText; }

private:
    // The pipeline's text stages: control characters by name, then time stamps.
    void NameControls(UnicodeString& Text);
    void StampLines(UnicodeString& Text);
    void AskFind();
    void AskScrollback();
    void FindAgain(bool Forward);
    bool LineOpen() const;
    void ShowChecks();
    void ChooseInterpretation();

    TForm3& FForm;
    TControlNames FNames;
    TLineStamper FStamper;
    TLineStamper::TClock::time_point FArrival{};
    bool FPaused = false;  // nothing arrived for longer than a pause before the text at hand
    bool FTerminalCodes = true;
    bool FBell = false;
    bool FTimestamps = false;
    bool FShowControls = false;
    uint64_t FScrollback = 0;
    QString FFindText;
    QAction* FTerminalCodesItem;
    QAction* FBellItem;
    QAction* FTimestampsItem;
    QAction* FControlsItem;
    QAction* FLineEndsItem;
    QAction* FScrollbackItem;
    QAction* FHexItem;
    THexView* FHex;
};

// Called once from FormCreate.
void AttachReceivedViews(TForm3& Form);
