// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Terminal mode: a full VT/xterm screen (libvterm's screen layer) for
// shells and full-screen programs. Bytes from the device draw on it; keys
// become the bytes xterm sends for them; lines that scroll off the top of
// the main screen go to whoever keeps the scrollback.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/CsiBound.h"
#include "terminal/TextStyle.h"

struct VTerm;
struct VTermScreen;

class TTerminalScreen {
public:
    enum TKey : uint8_t {
        kyEnter, kyTab, kyBackspace, kyEscape, kyUp, kyDown, kyLeft, kyRight,
        kyInsert, kyDelete, kyHome, kyEnd, kyPageUp, kyPageDown, kyFunction1,
    };
    enum TModifier : uint8_t { mdShift = 1, mdAlt = 2, mdControl = 4 };

    // A line of text with the style of each unit.
    struct TLine {
        std::u16string Text;
        std::vector<TTextStyle> Styles;
    };
    using TOutput = std::function<void(std::string_view Bytes)>;
    using TScrolledOff = std::function<void(const TLine& Line)>;

    TTerminalScreen(int Rows, int Columns);
    ~TTerminalScreen();
    TTerminalScreen(const TTerminalScreen&) = delete;
    TTerminalScreen& operator=(const TTerminalScreen&) = delete;

    // Keys, pastes and answers to the program's requests go to Output.
    void SetOutput(TOutput Output) { FOutput = std::move(Output); }
    void SetScrolledOff(TScrolledOff ScrolledOff) { FScrolledOff = std::move(ScrolledOff); }

    void Write(std::string_view Bytes);
    void Resize(int Rows, int Columns);
    int Rows() const { return FRows; }
    int Columns() const { return FColumns; }
    // Row Row of the screen, blank cells as spaces, wide characters once.
    TLine Line(int Row) const;
    int CursorRow() const;
    int CursorColumn() const;
    bool CursorVisible() const { return FCursorVisible; }
    // Whether anything on the screen changed since the last call.
    bool TakeChanged();

    // F1 is kyFunction1, F12 is kyFunction1 + 11.
    void Key(int Key, uint8_t Modifiers);
    void Character(char32_t Character, uint8_t Modifiers);
    // Bracketed when the program asked for it.
    void Paste(std::u16string_view Text);

    // libvterm's callbacks.
    void OnOutput(const char* Bytes, std::size_t Length);
    void OnPushLine(int Columns, const void* Cells);
    void OnCursorVisible(bool Visible) { FCursorVisible = Visible; }
    void OnDamage() { FChanged = true; }

private:
    void Input(std::string_view Bytes);
    TLine LineOfCells(int Columns, const void* Cells) const;

    VTerm* FTerm;
    VTermScreen* FScreen;
    int FRows;
    int FColumns;
    TOutput FOutput;
    TScrolledOff FScrolledOff;
    TCsiBound FBound;
    bool FCursorVisible = true;
    bool FChanged = true;
};
