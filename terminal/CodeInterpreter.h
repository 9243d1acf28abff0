// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Terminal codes applied to a store of lines, as the received area shows
// them: colours and attributes, a CR that returns to the start of the line,
// BS, erasing, cursor movement within the screen (the last rows of the
// store), scrolling regions, inserting and deleting characters and lines,
// and answers to the device's status, position and attribute requests. libvterm's parser splits the
// codes; what they do to the lines is done here.
//
// Text outside a sequence, the common case, never goes through the parser;
// a sequence is fed to it in small steps so that the parser's end of it is
// known, through a bound on the arguments of a CSI (TCsiBound).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "terminal/CsiBound.h"
#include "terminal/TextSink.h"

struct VTerm;

class TCodeInterpreter {
public:
    using TReply = std::function<void(const std::string& Bytes)>;
    using TBell = std::function<void()>;

    explicit TCodeInterpreter(TTextSink& Sink);
    ~TCodeInterpreter();
    TCodeInterpreter(const TCodeInterpreter&) = delete;
    TCodeInterpreter& operator=(const TCodeInterpreter&) = delete;

    // Where answers to the device's requests go.
    void SetReply(TReply Reply) { FReply = std::move(Reply); }
    // BEL is ignored unless a bell is set.
    void SetBell(TBell Bell) { FBell = std::move(Bell); }

    void Write(std::u16string_view Text);
    // A new session: no LF seen yet, plain style, no sequence half read.
    void Reset();
    // The store got lines of someone else's at its end: go on after them.
    void MoveToEnd();
    const TTextStyle& Style() const { return FStyle; }

    // libvterm's parser callbacks.
    int OnText(const char* Bytes, std::size_t Length);
    int OnControl(unsigned char Control);
    int OnEscape(const char* Bytes, std::size_t Length);
    int OnCsi(const char* Leader, const long Arguments[], int Count, const char* Intermediates, char Command);
    int OnString();

private:
    // Rows from the top of the screen, both kept.
    struct TRegion {
        std::size_t Top;
        std::size_t Bottom;
    };
    struct TCursor {
        std::size_t Row = 0;  // from the top of the screen
        uint64_t Column = 0;
        TTextStyle Style;
    };

    void WritePlain(std::u16string_view Text, std::size_t& At);
    bool AtTheEnd() const;
    void AppendLines(std::u16string_view Text, std::size_t& At);
    void WriteInSequence(std::u16string_view Text, std::size_t& At);
    void Feed(std::string_view Bytes);
    void Control(char16_t Control);
    void Put(std::u16string_view Text);
    void LineFeed(bool ToColumnZero);
    void ReverseIndex();
    void CarriageReturn();
    void SelectGraphicRendition(const long Arguments[], int Count);
    // One code of SGR with its first sub-parameter (-1 when it has none).
    void ApplyCode(long Code, long Sub);
    void Erase(char Command, long Mode);
    void ClearScreen();
    void EditCharacters(char Command, uint64_t Count);
    void Reply(const std::string& Bytes);
    void SaveCursor();
    void RestoreCursor();
    void SetRegion(const long Arguments[], int Count);
    TRegion Region() const;
    bool PartialRegion() const;
    void MakeScreenRows();
    void ScrollUp(std::size_t FromRow, std::size_t Count, bool IntoScrollback);
    void ScrollDown(std::size_t FromRow, std::size_t Count);
    void EditLines(char Command, std::size_t Count);
    std::size_t RowUp(std::size_t Count) const;
    std::size_t RowDown(std::size_t Count) const;

    std::size_t CursorLine() const { return FSink.LineCount() - 1 - FFromEnd; }
    std::size_t ScreenTop() const;
    std::size_t CursorRow() const;
    std::size_t Rows() const;
    uint64_t Columns() const;
    TTextSink::Position LineEnd(std::size_t Line) const { return FSink.LineStart(Line) + FSink.LineLength(Line); }
    void MoveToRow(std::size_t Row);
    void SetColumn(uint64_t Column);

    TTextSink& FSink;
    VTerm* FTerm;
    TReply FReply;
    TBell FBell;
    TTextStyle FStyle;
    std::size_t FFromEnd = 0;  // lines below the cursor's
    uint64_t FColumn = 0;
    TCursor FSaved;
    // The scrolling region as set; only a region short of the whole screen
    // changes what a line feed does.
    bool FRegionSet = false;
    TRegion FRegion{0, 0};
    bool FSeenLineFeed = false;
    bool FCRHeldLineEnd = false;  // a CR just ended a line of a device that sends no LF
    bool FInSequence = false;  // the parser is inside a sequence
    TCsiBound FBound;
};
