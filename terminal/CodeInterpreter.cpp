// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/CodeInterpreter.h"

#include <vterm.h>

#include <algorithm>

#include "terminal/Palette.h"
#include "toolkit/core/SysUtils.h"

namespace {

constexpr char16_t kBell = 0x07;
constexpr char16_t kBackspace = 0x08;
constexpr char16_t kTab = 0x09;
constexpr char16_t kLineFeed = 0x0A;
constexpr char16_t kCarriageReturn = 0x0D;
constexpr char16_t kCancel = 0x18;
constexpr char16_t kSubstitute = 0x1A;
constexpr char16_t kEscape = 0x1B;
// C1 controls that the parser reports for ESC D, ESC E and ESC M.
constexpr unsigned char kIndex = 0x84;
constexpr unsigned char kNextLine = 0x85;
constexpr unsigned char kReverseIndex = 0x8D;
// No count moves or inserts further than this, whatever a sequence asks.
constexpr long kMaxCount = 1 << 16;

bool IsC0(char16_t Unit) { return Unit < 0x20; }
bool IsCsiParameter(char16_t Unit) { return Unit >= 0x20 && Unit <= 0x3F; }

std::string Encoded(std::u16string_view Text, std::size_t At, std::size_t& Used) {
    const char16_t unit = Text[At];
    Used = 1;
    if (unit < 0x80) return std::string(1, static_cast<char>(unit));
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && At + 1 < Text.size() && Text[At + 1] >= 0xDC00 &&
                      Text[At + 1] <= 0xDFFF;
    if (pair) Used = 2;
    return UnicodeToUtf8(std::u16string(Text.substr(At, Used)));
}

long CountOf(long Argument) {
    const long count = CSI_ARG_COUNT(Argument);
    return std::clamp(count, 1L, kMaxCount);
}

long Mode(long Argument) { return CSI_ARG_OR(Argument, 0); }

std::u16string Spaces(uint64_t Count) { return std::u16string(Count, u' '); }

// Callbacks of libvterm's parser, handed to the interpreter.
int TextCallback(const char* Bytes, size_t Length, void* User) {
    return static_cast<TCodeInterpreter*>(User)->OnText(Bytes, Length);
}
int ControlCallback(unsigned char Control, void* User) {
    return static_cast<TCodeInterpreter*>(User)->OnControl(Control);
}
int EscapeCallback(const char* Bytes, size_t Length, void* User) {
    return static_cast<TCodeInterpreter*>(User)->OnEscape(Bytes, Length);
}
int CsiCallback(const char* Leader, const long Arguments[], int Count, const char* Intermediates, char Command,
                void* User) {
    return static_cast<TCodeInterpreter*>(User)->OnCsi(Leader, Arguments, Count, Intermediates, Command);
}
int StringCallback(const char*, size_t, void* User) { return static_cast<TCodeInterpreter*>(User)->OnString(); }

const VTermParserCallbacks kCallbacks = {TextCallback,   ControlCallback, EscapeCallback, CsiCallback,
                                         StringCallback, StringCallback,  nullptr};

}  // namespace

TCodeInterpreter::TCodeInterpreter(TTextSink& Sink) : FSink(Sink), FTerm(vterm_new(25, 80)) {
    vterm_set_utf8(FTerm, 1);
    vterm_parser_set_callbacks(FTerm, &kCallbacks, this);
    MoveToEnd();
}

TCodeInterpreter::~TCodeInterpreter() { vterm_free(FTerm); }

void TCodeInterpreter::Reset() {
    // CAN leaves any sequence the parser is in.
    Feed("\x18");
    FInSequence = false;
    FBound.Reset();
    FStyle = {};
    FSaved = {};
    FRegionSet = false;
    FSeenLineFeed = FCRHeldLineEnd = false;
    MoveToEnd();
}

void TCodeInterpreter::MoveToEnd() {
    FFromEnd = 0;
    FColumn = FSink.LineLength(FSink.LineCount() - 1);
}

// ---- feeding the parser --------------------------------------------------------

void TCodeInterpreter::Write(std::u16string_view Text) {
    // The store may have lost lines to a limit or to the user since.
    FFromEnd = std::min(FFromEnd, FSink.LineCount() - 1);
    std::size_t at = 0;
    while (at < Text.size()) {
        if (FInSequence) WriteInSequence(Text, at);
        else WritePlain(Text, at);
    }
}

void TCodeInterpreter::WritePlain(std::u16string_view Text, std::size_t& At) {
    if (AtTheEnd()) AppendLines(Text, At);
    if (At == Text.size()) return;
    const auto control = std::find_if(Text.begin() + static_cast<std::ptrdiff_t>(At), Text.end(),
                                      [](char16_t Unit) { return IsC0(Unit) && Unit != kTab; });
    const auto end = static_cast<std::size_t>(control - Text.begin());
    if (end > At) Put(Text.substr(At, end - At));
    At = end;
    if (At == Text.size()) return;
    const char16_t unit = Text[At++];
    if (unit != kEscape) return Control(unit);
    FInSequence = true;
    FBound.Pass(unit);
    Feed("\x1b");
}

bool TCodeInterpreter::AtTheEnd() const {
    return FFromEnd == 0 && !FCRHeldLineEnd && !FRegionSet && FColumn == FSink.LineLength(FSink.LineCount() - 1);
}

// At the end of the text, lines and their ends (LF, or CR LF) go to the store
// in one piece, as plain text always did; a lone CR and other controls stop it.
void TCodeInterpreter::AppendLines(std::u16string_view Text, std::size_t& At) {
    std::size_t end = At;
    std::size_t lastLine = std::u16string_view::npos;
    while (end < Text.size()) {
        const char16_t unit = Text[end];
        const bool pair = unit == kCarriageReturn && end + 1 < Text.size() && Text[end + 1] == kLineFeed;
        if (unit == kLineFeed || pair) {
            end += pair ? 2 : 1;
            lastLine = end;
            FSeenLineFeed = true;
        } else if (IsC0(unit) && unit != kTab) {
            break;
        } else {
            ++end;
        }
    }
    if (end == At) return;
    FSink.Append(Text.substr(At, end - At), FStyle);
    FColumn = lastLine == std::u16string_view::npos ? FColumn + (end - At) : end - lastLine;
    At = end;
}

// One unit at a time, so that the parser's callbacks tell where the sequence
// ended; only the parameters of a CSI, which cannot end it, go in one piece.
void TCodeInterpreter::WriteInSequence(std::u16string_view Text, std::size_t& At) {
    if ((FBound.AfterEscape() || FBound.InCsi()) && Text[At] >= 0x80) {
        // No sequence goes on with a character outside ASCII: it ends there and the character shows.
        Feed("\x18");
        FInSequence = false;
        FBound.Reset();
        return;
    }
    if (FBound.InCsi() && IsCsiParameter(Text[At])) {
        std::string batch;
        for (; At < Text.size() && IsCsiParameter(Text[At]); ++At)
            if (FBound.Pass(Text[At])) batch += static_cast<char>(Text[At]);
        // The final byte goes with them; what keeps the CSI open or ends it otherwise goes on its own.
        if (At < Text.size() && Text[At] >= 0x40 && Text[At] < 0x7F) {
            FBound.Pass(Text[At]);
            batch += static_cast<char>(Text[At++]);
        }
        return Feed(batch);
    }
    const char16_t unit = Text[At];
    std::size_t used = 0;
    const std::string bytes = Encoded(Text, At, used);
    At += used;
    if (unit == kCancel || unit == kSubstitute) FInSequence = false;
    if (FBound.Pass(unit)) Feed(bytes);
}

void TCodeInterpreter::Feed(std::string_view Bytes) { vterm_input_write(FTerm, Bytes.data(), Bytes.size()); }

int TCodeInterpreter::OnText(const char* Bytes, std::size_t Length) {
    FInSequence = false;
    FBound.Reset();
    const auto end = std::find_if(Bytes, Bytes + Length, [](char Byte) { return IsC0(static_cast<unsigned char>(Byte)) || Byte == 0x7F; });
    const auto eaten = static_cast<std::size_t>(end - Bytes);
    Put(Utf8ToUnicode(std::string(Bytes, eaten)));
    return static_cast<int>(eaten);
}

int TCodeInterpreter::OnControl(unsigned char Control) {
    if (Control < 0x80) {
        this->Control(Control);
        return 1;
    }
    FInSequence = false;
    FBound.Reset();
    if (Control == kIndex || Control == kNextLine) LineFeed(Control == kNextLine);
    else if (Control == kReverseIndex) ReverseIndex();
    return 1;
}

int TCodeInterpreter::OnEscape(const char* Bytes, std::size_t Length) {
    FInSequence = false;
    FBound.Reset();
    if (Length != 1) return 1;  // character sets and the like change nothing here
    if (Bytes[0] == '7') SaveCursor();
    else if (Bytes[0] == '8') RestoreCursor();
    else if (Bytes[0] == 'c') {
        FStyle = {};
        FRegionSet = false;
    }
    return 1;
}

int TCodeInterpreter::OnString() {
    FInSequence = false;
    FBound.Reset();
    return 1;
}

// ---- what the codes do ----------------------------------------------------------

void TCodeInterpreter::Control(char16_t Control) {
    if (Control == kLineFeed) {
        const bool pairsWithCR = FCRHeldLineEnd;
        FSeenLineFeed = true;
        if (!pairsWithCR) LineFeed(true);
        FCRHeldLineEnd = false;
        return;
    }
    FCRHeldLineEnd = false;
    switch (Control) {
        case kCarriageReturn:
            CarriageReturn();
            break;
        case kBackspace:
            if (FColumn > 0) --FColumn;
            break;
        case kBell:
            if (FBell) FBell();
            break;
        default:
            // Shown as it always was.
            Put(std::u16string(1, Control));
            break;
    }
}

// A device that has sent no LF yet ends its lines with CR alone.
void TCodeInterpreter::CarriageReturn() {
    if (FSeenLineFeed) {
        FColumn = 0;
        return;
    }
    LineFeed(true);
    FCRHeldLineEnd = true;
}

void TCodeInterpreter::LineFeed(bool ToColumnZero) {
    if (PartialRegion()) {
        const std::size_t row = CursorRow();
        if (row == Region().Bottom) ScrollUp(Region().Top, 1, true);
        else if (row + 1 < Rows()) MoveToRow(row + 1);
    } else if (FFromEnd == 0) {
        FSink.Append(u"\n", TTextStyle{});
    } else {
        --FFromEnd;
    }
    if (ToColumnZero) FColumn = 0;
}

void TCodeInterpreter::ReverseIndex() {
    const std::size_t row = CursorRow();
    if (row == Region().Top) ScrollDown(row, 1);
    else if (row > 0) MoveToRow(row - 1);
}

void TCodeInterpreter::Put(std::u16string_view Text) {
    FCRHeldLineEnd = false;
    const std::size_t line = CursorLine();
    const uint64_t length = FSink.LineLength(line);
    if (FFromEnd == 0 && FColumn == length) {
        FSink.Append(Text, FStyle);
        FColumn += Text.size();
        return;
    }
    const TTextSink::Position start = FSink.LineStart(line);
    if (FColumn > length) FSink.Put(start + length, start + length, Spaces(FColumn - length), TTextStyle{});
    const uint64_t end = std::min<uint64_t>(FColumn + Text.size(), std::max(length, FColumn));
    FSink.Put(start + FColumn, start + end, Text, FStyle);
    FColumn += Text.size();
}

std::size_t TCodeInterpreter::Rows() const { return static_cast<std::size_t>(std::max(1, FSink.ScreenRows())); }

std::size_t TCodeInterpreter::ScreenTop() const {
    return FSink.LineCount() > Rows() ? FSink.LineCount() - Rows() : 0;
}

std::size_t TCodeInterpreter::CursorRow() const {
    const std::size_t line = CursorLine();
    return line > ScreenTop() ? line - ScreenTop() : 0;
}

uint64_t TCodeInterpreter::Columns() const { return static_cast<uint64_t>(std::max(1, FSink.ScreenColumns())); }

// Rows below the last line are made as they are reached.
void TCodeInterpreter::MoveToRow(std::size_t Row) {
    const std::size_t line = ScreenTop() + std::min(Row, Rows() - 1);
    while (FSink.LineCount() <= line) FSink.Append(u"\n", TTextStyle{});
    FFromEnd = FSink.LineCount() - 1 - line;
}

void TCodeInterpreter::SetColumn(uint64_t Column) { FColumn = std::min(Column, Columns() - 1); }

// ---- scrolling regions ------------------------------------------------------------

// The area may have grown shorter than the region was set for: what is left
// of it, or the whole screen.
TCodeInterpreter::TRegion TCodeInterpreter::Region() const {
    const std::size_t bottom = std::min(FRegion.Bottom, Rows() - 1);
    if (!FRegionSet || FRegion.Top >= bottom) return {0, Rows() - 1};
    return {FRegion.Top, bottom};
}

bool TCodeInterpreter::PartialRegion() const {
    if (!FRegionSet) return false;
    const TRegion region = Region();
    return region.Top > 0 || region.Bottom + 1 < Rows();
}

void TCodeInterpreter::SetRegion(const long Arguments[], int Count) {
    const auto top = static_cast<std::size_t>(CountOf(Count > 0 ? Arguments[0] : CSI_ARG_MISSING)) - 1;
    // A bottom of 0 or none is the screen's last row.
    const long bottom = Count > 1 && Mode(Arguments[1]) > 0 ? CountOf(Arguments[1]) : kMaxCount;
    const std::size_t last = std::min(static_cast<std::size_t>(bottom) - 1, Rows() - 1);
    // A region needs two rows at least.
    if (top >= last) return;
    FRegion = {top, last};
    FRegionSet = true;
    if (PartialRegion()) MakeScreenRows();
    MoveToRow(0);
    FColumn = 0;
}

// Scrolling inside a region works on rows that exist: a short area gets the
// rest of its screen as empty lines.
void TCodeInterpreter::MakeScreenRows() {
    const std::size_t count = FSink.LineCount();
    if (count >= Rows()) return;
    FSink.Append(std::u16string(Rows() - count, u'\n'), TTextStyle{});
    FFromEnd += Rows() - count;
}

// Rows FromRow to the region's bottom move up by Count and empty rows come in
// below. Rows scrolled off the top of the screen stay above it, in the
// scrollback, where that is asked for; elsewhere they are gone.
void TCodeInterpreter::ScrollUp(std::size_t FromRow, std::size_t Count, bool IntoScrollback) {
    MakeScreenRows();
    const TRegion region = Region();
    Count = std::min(Count, region.Bottom - FromRow + 1);
    const std::size_t row = CursorRow();
    const std::size_t last = ScreenTop() + region.Bottom;
    // Counted from the end: a limit on the lines may drop some at the front meanwhile.
    const std::size_t firstFromEnd = FSink.LineCount() - 1 - (ScreenTop() + FromRow) + Count;
    FSink.Put(LineEnd(last), LineEnd(last), std::u16string(Count, u'\n'), TTextStyle{});
    const std::size_t first = FSink.LineCount() - 1 - firstFromEnd;
    if (FromRow > 0 || !IntoScrollback) FSink.Put(FSink.LineStart(first), FSink.LineStart(first + Count), u"", TTextStyle{});
    MoveToRow(row);
}

// Rows FromRow to the region's bottom move down by Count, empty rows come in
// at FromRow and the rows pushed past the bottom are gone.
void TCodeInterpreter::ScrollDown(std::size_t FromRow, std::size_t Count) {
    MakeScreenRows();
    const TRegion region = Region();
    Count = std::min(Count, region.Bottom - FromRow + 1);
    const std::size_t row = CursorRow();
    const std::size_t first = ScreenTop() + FromRow;
    const std::size_t lastFromEnd = FSink.LineCount() - 1 - (ScreenTop() + region.Bottom);
    FSink.Put(FSink.LineStart(first), FSink.LineStart(first), std::u16string(Count, u'\n'), TTextStyle{});
    // What was the bottom row is now Count lines further down, counted from the end as a limit may drop lines.
    const std::size_t last = FSink.LineCount() - 1 - lastFromEnd;
    FSink.Put(LineEnd(last - Count), LineEnd(last), u"", TTextStyle{});
    MoveToRow(row);
}

// Inserting and deleting lines works inside the region only, and returns to the line's start.
void TCodeInterpreter::EditLines(char Command, std::size_t Count) {
    const std::size_t row = CursorRow();
    const TRegion region = Region();
    if (row < region.Top || row > region.Bottom) return;
    if (Command == 'L') ScrollDown(row, Count);
    else ScrollUp(row, Count, false);
    FColumn = 0;
}

// Moving up or down stops at the region's edge when the cursor is inside it.
std::size_t TCodeInterpreter::RowUp(std::size_t Count) const {
    const std::size_t row = CursorRow();
    const std::size_t limit = row >= Region().Top ? Region().Top : 0;
    return row > limit + Count ? row - Count : limit;
}

std::size_t TCodeInterpreter::RowDown(std::size_t Count) const {
    const std::size_t row = CursorRow();
    const std::size_t lastRow = FSink.LineCount() - 1 - ScreenTop();
    const std::size_t limit = std::min(row <= Region().Bottom ? Region().Bottom : Rows() - 1, lastRow);
    return std::min(row + Count, limit);
}

void TCodeInterpreter::SaveCursor() { FSaved = {CursorRow(), FColumn, FStyle}; }

void TCodeInterpreter::RestoreCursor() {
    MoveToRow(FSaved.Row);
    FColumn = FSaved.Column;
    FStyle = FSaved.Style;
}

int TCodeInterpreter::OnCsi(const char* Leader, const long Arguments[], int Count, const char*, char Command) {
    FInSequence = false;
    FBound.Reset();
    const std::string_view leader = Leader ? Leader : "";
    const long first = Count > 0 ? Arguments[0] : CSI_ARG_MISSING;
    const auto n = static_cast<uint64_t>(CountOf(first));
    if (!leader.empty()) {
        if (leader == ">" && Command == 'c' && Mode(first) == 0) Reply("\x1b[>0;10;1c");
        return 1;
    }
    const std::size_t row = CursorRow();
    switch (Command) {
        case 'A': MoveToRow(RowUp(n)); break;
        case 'B': MoveToRow(RowDown(n)); break;
        case 'C': SetColumn(FColumn + n); break;
        case 'D': FColumn = FColumn > n ? FColumn - n : 0; break;
        case 'E': MoveToRow(RowDown(n)); FColumn = 0; break;
        case 'F': MoveToRow(RowUp(n)); FColumn = 0; break;
        case 'G': case '`': SetColumn(n - 1); break;
        case 'd': MoveToRow(n - 1); break;
        case 'H': case 'f':
            MoveToRow(n - 1);
            SetColumn(static_cast<uint64_t>(CountOf(Count > 1 ? Arguments[1] : CSI_ARG_MISSING)) - 1);
            break;
        case 'J': case 'K': Erase(Command, Mode(first)); break;
        case '@': case 'P': case 'X': EditCharacters(Command, n); break;
        case 'L': case 'M': EditLines(Command, static_cast<std::size_t>(n)); break;
        case 'r': SetRegion(Arguments, Count); break;
        case 'm': SelectGraphicRendition(Arguments, Count); break;
        case 'n':
            if (Mode(first) == 5) Reply("\x1b[0n");
            else if (Mode(first) == 6) Reply("\x1b[" + std::to_string(row + 1) + ";" + std::to_string(FColumn + 1) + "R");
            break;
        case 'c':
            if (Mode(first) == 0) Reply("\x1b[?1;2c");
            break;
        case 's': SaveCursor(); break;
        case 'u': RestoreCursor(); break;
        default: break;  // modes and the rest change nothing here
    }
    return 1;
}

void TCodeInterpreter::Reply(const std::string& Bytes) {
    if (FReply) FReply(Bytes);
}

void TCodeInterpreter::Erase(char Command, long Mode) {
    const std::size_t line = CursorLine();
    const TTextSink::Position start = FSink.LineStart(line);
    const uint64_t length = FSink.LineLength(line);
    const uint64_t column = std::min(FColumn, length);
    if (Command == 'J' && Mode >= 2) return ClearScreen();
    if (Mode == 0) {
        FSink.Put(start + column, start + length, u"", TTextStyle{});
        if (Command == 'J' && FFromEnd > 0) {
            // The rows of a region keep their places; otherwise the rows below go.
            const std::u16string rows = FRegionSet ? std::u16string(FFromEnd, u'\n') : u"";
            FSink.Put(start + column, LineEnd(FSink.LineCount() - 1), rows, TTextStyle{});
            if (!FRegionSet) FFromEnd = 0;
        }
    } else if (Mode == 1) {
        if (Command == 'J')
            for (std::size_t above = ScreenTop(); above < line; ++above)
                FSink.Put(FSink.LineStart(above), FSink.LineStart(above) + FSink.LineLength(above), u"", TTextStyle{});
        const uint64_t upTo = std::min(FColumn + 1, length);
        const TTextSink::Position from = FSink.LineStart(line);
        FSink.Put(from, from + upTo, Spaces(upTo), TTextStyle{});
    } else if (Mode == 2) {
        FSink.Put(start, start + length, u"", TTextStyle{});
    }
}

// What was on the screen stays above it; the screen itself starts empty.
void TCodeInterpreter::ClearScreen() {
    const std::size_t row = CursorRow();
    const std::size_t last = FSink.LineCount() - 1;
    if (FSink.LineLength(last) > 0) FSink.Append(u"\n", TTextStyle{});
    FSink.Append(std::u16string(static_cast<std::size_t>(std::max(1, FSink.ScreenRows())) - 1, u'\n'), TTextStyle{});
    MoveToRow(row);
}

void TCodeInterpreter::EditCharacters(char Command, uint64_t Count) {
    const std::size_t line = CursorLine();
    const uint64_t length = FSink.LineLength(line);
    if (FColumn > length) return;
    const TTextSink::Position at = FSink.LineStart(line) + FColumn;
    const uint64_t within = std::min(Count, length - FColumn);
    if (Command == '@') FSink.Put(at, at, Spaces(std::min(Count, Columns())), TTextStyle{});
    else if (Command == 'P') FSink.Put(at, at + within, u"", TTextStyle{});
    else FSink.Put(at, at + within, Spaces(within), TTextStyle{});
}

// ---- colours and attributes -----------------------------------------------------

void TCodeInterpreter::SelectGraphicRendition(const long Arguments[], int Count) {
    if (Count == 0) {
        FStyle = {};
        return;
    }
    for (int i = 0; i < Count; ++i) {
        const long code = Mode(Arguments[i]);
        // Sub-parameters (4:3, 38:2::r:g:b) belong to the code before the first colon.
        int last = i;
        while (last + 1 < Count && CSI_ARG_HAS_MORE(Arguments[last])) ++last;
        const bool colons = last > i;
        if (code == 38 || code == 48) {
            int32_t& target = code == 38 ? FStyle.Foreground : FStyle.Background;
            const int end = colons ? last + 1 : Count;
            const long kind = i + 1 < end ? Mode(Arguments[i + 1]) : 0;
            if (kind == 5 && i + 2 < end) {
                target = PaletteColour(std::clamp(Mode(Arguments[i + 2]), 0L, 255L));
                i += 2;
            } else if (kind == 2) {
                // With colons a colour space may stand before the three values.
                const int values = colons && last - i >= 5 ? i + 3 : i + 2;
                if (values + 2 < end) {
                    const auto channel = [&](int At) { return static_cast<int32_t>(std::clamp(Mode(Arguments[At]), 0L, 255L)); };
                    target = channel(values) << 16 | channel(values + 1) << 8 | channel(values + 2);
                }
                i = std::min(values + 2, end - 1);
            }
            if (colons) i = last;
            continue;
        }
        const long sub = colons ? Mode(Arguments[i + 1]) : -1;
        if (colons) i = last;
        ApplyCode(code, sub);
    }
}

void TCodeInterpreter::ApplyCode(long Code, long Sub) {
    const auto set = [&](TTextStyle::TAttribute Attribute, bool On) {
        FStyle.Attributes = static_cast<uint8_t>(On ? FStyle.Attributes | Attribute : FStyle.Attributes & ~Attribute);
    };
    if (Code == 0) FStyle = {};
    else if (Code == 1) set(TTextStyle::atBold, true);
    else if (Code == 2) set(TTextStyle::atFaint, true);
    else if (Code == 3) set(TTextStyle::atItalic, true);
    else if (Code == 4) set(TTextStyle::atUnderline, Sub != 0);
    else if (Code == 7) set(TTextStyle::atReverse, true);
    else if (Code == 21) set(TTextStyle::atUnderline, true);
    else if (Code == 22) {
        set(TTextStyle::atBold, false);
        set(TTextStyle::atFaint, false);
    } else if (Code == 23) set(TTextStyle::atItalic, false);
    else if (Code == 24) set(TTextStyle::atUnderline, false);
    else if (Code == 27) set(TTextStyle::atReverse, false);
    else if (Code >= 30 && Code <= 37) FStyle.Foreground = PaletteColour(Code - 30);
    else if (Code == 39) FStyle.Foreground = TTextStyle::kDefaultColour;
    else if (Code >= 40 && Code <= 47) FStyle.Background = PaletteColour(Code - 40);
    else if (Code == 49) FStyle.Background = TTextStyle::kDefaultColour;
    else if (Code >= 90 && Code <= 97) FStyle.Foreground = PaletteColour(Code - 90 + 8);
    else if (Code >= 100 && Code <= 107) FStyle.Background = PaletteColour(Code - 100 + 8);
}
