// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/TerminalScreen.h"

#include <vterm.h>

#include <algorithm>
#include <utility>

#include "terminal/Palette.h"
#include "toolkit/core/SysUtils.h"

namespace {

TTerminalScreen& Of(void* User) { return *static_cast<TTerminalScreen*>(User); }

int Damage(VTermRect, void* User) {
    Of(User).OnDamage();
    return 1;
}
int MoveRect(VTermRect, VTermRect, void* User) {
    Of(User).OnDamage();
    return 1;
}
int MoveCursor(VTermPos, VTermPos, int, void* User) {
    Of(User).OnDamage();
    return 1;
}
int SetTermProp(VTermProp Prop, VTermValue* Value, void* User) {
    if (Prop == VTERM_PROP_CURSORVISIBLE) Of(User).OnCursorVisible(Value->boolean != 0);
    Of(User).OnDamage();
    return 1;
}
int PushLine(int Columns, const VTermScreenCell* Cells, void* User) {
    Of(User).OnPushLine(Columns, Cells);
    return 1;
}
void Output(const char* Bytes, size_t Length, void* User) { Of(User).OnOutput(Bytes, Length); }

const VTermScreenCallbacks kCallbacks = {Damage, MoveRect, MoveCursor, SetTermProp, nullptr, nullptr, PushLine, nullptr};

int32_t ColourOf(const VTermScreen* Screen, VTermColor Colour, bool Foreground) {
    if (Foreground ? VTERM_COLOR_IS_DEFAULT_FG(&Colour) : VTERM_COLOR_IS_DEFAULT_BG(&Colour))
        return TTextStyle::kDefaultColour;
    if (VTERM_COLOR_IS_INDEXED(&Colour)) return PaletteColour(Colour.indexed.idx);
    vterm_screen_convert_color_to_rgb(Screen, &Colour);
    return Colour.rgb.red << 16 | Colour.rgb.green << 8 | Colour.rgb.blue;
}

TTextStyle StyleOf(const VTermScreen* Screen, const VTermScreenCell& Cell) {
    TTextStyle style{ColourOf(Screen, Cell.fg, true), ColourOf(Screen, Cell.bg, false), 0};
    if (Cell.attrs.bold) style.Attributes |= TTextStyle::atBold;
    if (Cell.attrs.italic) style.Attributes |= TTextStyle::atItalic;
    if (Cell.attrs.underline) style.Attributes |= TTextStyle::atUnderline;
    if (Cell.attrs.reverse) style.Attributes |= TTextStyle::atReverse;
    return style;
}

void AppendCodePoint(std::u16string& Text, uint32_t CodePoint) {
    if (CodePoint < 0x10000) {
        Text += static_cast<char16_t>(CodePoint);
        return;
    }
    CodePoint -= 0x10000;
    Text += static_cast<char16_t>(0xD800 + (CodePoint >> 10));
    Text += static_cast<char16_t>(0xDC00 + (CodePoint & 0x3FF));
}

const VTermKey kKeys[] = {VTERM_KEY_ENTER, VTERM_KEY_TAB,  VTERM_KEY_BACKSPACE, VTERM_KEY_ESCAPE, VTERM_KEY_UP,
                          VTERM_KEY_DOWN,  VTERM_KEY_LEFT, VTERM_KEY_RIGHT,     VTERM_KEY_INS,    VTERM_KEY_DEL,
                          VTERM_KEY_HOME,  VTERM_KEY_END,  VTERM_KEY_PAGEUP,    VTERM_KEY_PAGEDOWN};

}  // namespace

TTerminalScreen::TTerminalScreen(int Rows, int Columns)
    : FTerm(vterm_new(Rows, Columns)), FScreen(vterm_obtain_screen(FTerm)), FRows(Rows), FColumns(Columns) {
    vterm_set_utf8(FTerm, 1);
    vterm_output_set_callback(FTerm, Output, this);
    vterm_screen_set_callbacks(FScreen, &kCallbacks, this);
    vterm_screen_enable_altscreen(FScreen, 1);
    vterm_screen_reset(FScreen, 1);
}

TTerminalScreen::~TTerminalScreen() { vterm_free(FTerm); }

void TTerminalScreen::Write(std::string_view Bytes) {
    // Through the bound on CSI arguments, in pieces between the separators it holds back.
    std::size_t start = 0;
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        if (FBound.Pass(static_cast<unsigned char>(Bytes[i]))) continue;
        Input(Bytes.substr(start, i - start));
        start = i + 1;
    }
    Input(Bytes.substr(start));
}

// libvterm's screen takes stack in proportion to what one call gives it
// (about 4 bytes a byte): 2 MB at once overflow a thread's 8 MB stack, and
// far less Windows' 1 MB one.
void TTerminalScreen::Input(std::string_view Bytes) {
    constexpr std::size_t kPiece = 4096;
    for (std::size_t at = 0; at < Bytes.size(); at += kPiece) {
        const std::string_view piece = Bytes.substr(at, kPiece);
        vterm_input_write(FTerm, piece.data(), piece.size());
    }
}

void TTerminalScreen::Resize(int Rows, int Columns) {
    FRows = std::max(1, Rows);
    FColumns = std::max(1, Columns);
    vterm_set_size(FTerm, FRows, FColumns);
    FChanged = true;
}

TTerminalScreen::TLine TTerminalScreen::LineOfCells(int Columns, const void* Cells) const {
    const auto* cells = static_cast<const VTermScreenCell*>(Cells);
    TLine line;
    for (int column = 0; column < Columns; ++column) {
        const VTermScreenCell& cell = cells[column];
        if (cell.chars[0] == 0xFFFFFFFF) continue;  // the right half of a wide character
        const std::size_t start = line.Text.size();
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i]; ++i) AppendCodePoint(line.Text, cell.chars[i]);
        if (line.Text.size() == start) line.Text.push_back(u' ');
        line.Styles.resize(line.Text.size(), StyleOf(FScreen, cell));
    }
    return line;
}

TTerminalScreen::TLine TTerminalScreen::Line(int Row) const {
    std::vector<VTermScreenCell> cells(static_cast<std::size_t>(FColumns));
    for (int column = 0; column < FColumns; ++column)
        vterm_screen_get_cell(FScreen, VTermPos{Row, column}, &cells[static_cast<std::size_t>(column)]);
    return LineOfCells(FColumns, cells.data());
}

int TTerminalScreen::CursorRow() const {
    VTermPos position;
    vterm_state_get_cursorpos(vterm_obtain_state(FTerm), &position);
    return position.row;
}

int TTerminalScreen::CursorColumn() const {
    VTermPos position;
    vterm_state_get_cursorpos(vterm_obtain_state(FTerm), &position);
    return position.col;
}

bool TTerminalScreen::TakeChanged() { return std::exchange(FChanged, false); }

void TTerminalScreen::OnOutput(const char* Bytes, std::size_t Length) {
    if (FOutput) FOutput(std::string_view(Bytes, Length));
}

void TTerminalScreen::OnPushLine(int Columns, const void* Cells) {
    if (!FScrolledOff) return;
    // Blank cells at the end of a line were never written: they are left out.
    const auto* cells = static_cast<const VTermScreenCell*>(Cells);
    int used = Columns;
    while (used > 0 && (cells[used - 1].chars[0] == 0 || cells[used - 1].chars[0] == ' ') &&
           VTERM_COLOR_IS_DEFAULT_BG(&cells[used - 1].bg))
        --used;
    FScrolledOff(LineOfCells(used, Cells));
}

void TTerminalScreen::Key(int Key, uint8_t Modifiers) {
    const auto mod = static_cast<VTermModifier>(Modifiers);
    if (Key >= kyFunction1) vterm_keyboard_key(FTerm, static_cast<VTermKey>(VTERM_KEY_FUNCTION(Key - kyFunction1 + 1)), mod);
    else vterm_keyboard_key(FTerm, kKeys[Key], mod);
}

void TTerminalScreen::Character(char32_t Character, uint8_t Modifiers) {
    vterm_keyboard_unichar(FTerm, Character, static_cast<VTermModifier>(Modifiers));
}

void TTerminalScreen::Paste(std::u16string_view Text) {
    vterm_keyboard_start_paste(FTerm);
    const std::string utf8 = UnicodeToUtf8(std::u16string(Text));
    OnOutput(utf8.data(), utf8.size());
    vterm_keyboard_end_paste(FTerm);
}
