// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of a long session: lines of UTF-16 kept in large chunks with an
// index of where each line starts, laid out on a grid of fixed-width cells
// that wraps at a number of columns. Appending costs what is appended, and
// finding a line, a row or a cell costs a binary search and a short scan,
// however long the text or a single line grows. An edit before the last line
// costs the lines it touches: they are written anew apart from the rest, and
// the lines after them move block by block of the line index. Past a memory
// budget the oldest chunks go to a scrollback file, and the index's packed
// blocks to one beside it; both are read back when needed.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/ui/LineIndex.h"
#include "toolkit/ui/SmallCache.h"

class TScrollbackFile;

// A run of text units that takes one byte a unit while every unit fits in
// one (a device that sends ASCII or Latin-1), and two from the first that
// does not on. Units are set in order, each once.
class TUnitChunk {
public:
    explicit TUnitChunk(std::size_t Capacity = 0) : FCapacity(Capacity) {}
    char16_t Get(std::size_t Index) const { return FWide ? FWide[Index] : FNarrow[Index]; }
    void Set(std::size_t Index, char16_t Unit);
    void CopyTo(std::size_t From, std::size_t Count, std::u16string& Out) const;
    // The units as stored, to write them out and read them back.
    bool Wide() const { return FWide != nullptr; }
    const void* Storage() const;
    std::size_t StorageBytes() const { return FCapacity * (FWide ? 2 : 1); }
    // Fresh storage of that width for all the units, to read them into.
    void* Allocate(bool Wide);

private:
    std::size_t FCapacity;
    std::unique_ptr<uint8_t[]> FNarrow;
    std::unique_ptr<char16_t[]> FWide;
};

class TTextLines {
public:
    // Places in the text: one per UTF-16 unit and one per line end, as in the
    // text joined with "\n".
    using Position = uint64_t;

    // The units of one row of the grid and the cell where each starts.
    struct TRow {
        std::size_t Line = 0;
        uint64_t FirstUnit = 0;  // within the line
        std::u16string Units;
        std::vector<uint64_t> Cells;  // cell of each unit, counted from the line's start
        uint64_t FirstCell = 0;       // the row's first cell, counted from the line's start
        uint64_t EndCell = 0;         // the cell after the row's last unit
        std::vector<uint32_t> Styles;  // the style of each unit; empty while the text has but one style
    };

    // IndexBlockLines: lines in each block of the line index.
    explicit TTextLines(std::size_t IndexBlockLines = TLineIndex::kBlockLines);
    ~TTextLines();

    // Text beyond about Units units in memory goes to a scrollback file in
    // Folder (empty: the user's cache folder) and is read back from there as
    // needed; 0 keeps all of it in memory. Clear removes the file.
    void SetScrollback(uint64_t Units, std::u16string Folder = {});
    // Why the scrollback file could not take text, once it could not; empty till then.
    const std::u16string& ScrollbackError() const { return FScrollbackError; }
    // While the file cannot take text: the front lines that lie beyond the budget.
    std::size_t LinesOverBudget() const;

    // A carriage return, a line feed and the pair of them each end a line,
    // also when the pair is split over two calls.
    void Append(std::u16string_view Text);
    // Replaces the text from From to To; a "\n", "\r" or "\r\n" in Text ends a line.
    void Replace(Position From, Position To, std::u16string_view Text);
    void Clear();
    // Ends the last line unless it is empty and adds Text (line ends left
    // out) as a line of its own that is no received text: a note of the
    // console's own, which views show apart. A CR whose LF may still come
    // keeps waiting for it.
    void AppendNote(std::u16string_view Text);
    bool IsNote(std::size_t Line) const;
    // The text with Mark before each note.
    std::u16string TextMarkingNotes(std::u16string_view Mark) const;
    // Drops the first Lines lines (never the last one); positions after them
    // move back by what was dropped. Costs what is dropped.
    void DropFrontLines(std::size_t Lines);

    Position Length() const;
    std::size_t LineCount() const { return FIndex.Size(); }
    Position LineStart(std::size_t Line) const;
    uint64_t LineLength(std::size_t Line) const;
    std::size_t LineAt(Position Where) const;
    // Line ends come out as "\n".
    std::u16string Text(Position From, Position To) const;
    std::u16string Text() const { return Text(0, Length()); }
    std::u16string LineText(std::size_t Line) const;
    // Where Needle next stands inside one line: the first place at or after
    // From, or (backwards) the last one that ends at or before From.
    std::optional<Position> Find(std::u16string_view Needle, Position From, bool Forward) const;
    char16_t At(std::size_t Line, uint64_t Unit) const { return UnitAtData(LineData(Line) + Unit); }

    // Styles: a number for a run of units, 0 for the plain one, that the view
    // gives meaning to. Kept as the places where the style changes, so text
    // in one style costs nothing more.
    // What Append adds from now on has Style.
    void SetStyle(uint32_t Style);
    // Puts Text in Style ("\n" ends a line) in place of From..To; the text
    // after To keeps its styles. Costs what follows From.
    void Put(Position From, Position To, std::u16string_view Text, uint32_t Style);
    uint32_t StyleAt(std::size_t Line, uint64_t Unit) const { return StyleAtData(LineData(Line) + Unit); }

    // 0 columns: lines are not wrapped.
    void SetColumns(uint64_t Columns);
    uint64_t Columns() const { return FColumns; }
    // Cells where tabs stop, rising; past the last stop the last interval repeats.
    void SetTabStops(std::vector<uint64_t> Stops);
    uint64_t NextTabStop(uint64_t Cell) const;

    uint64_t RowCount() const;
    uint64_t FirstRowOf(std::size_t Line) const { return RowStart(Line) - RowStart(0); }
    uint64_t RowsOf(std::size_t Line) const;
    std::size_t LineOfRow(uint64_t Row) const;
    uint64_t LineCells(std::size_t Line) const { return FIndex.Get(Line).Cells; }
    // The widest line, in cells, since the text was last emptied.
    uint64_t WidestLine() const { return FWidest; }
    TRow Row(uint64_t Row) const;
    // Count rows from First on, each following row of a line read on from
    // where the one before ended.
    std::vector<TRow> Rows(uint64_t First, uint64_t Count) const;
    // The cell before which the unit at Unit of Line stands.
    uint64_t CellOf(std::size_t Line, uint64_t Unit) const;
    // The first unit of Line that starts at Cell or after it.
    uint64_t UnitAt(std::size_t Line, uint64_t Cell) const;

    // Where the cell counting is resumed from: one place every so many units,
    // so a row deep inside an endless line is found with a short scan.
    static constexpr uint64_t kCheckpointSpacing = 512;

private:
    static constexpr uint64_t kChunkUnits = uint64_t{1} << 16;
    // Marks the data offsets of lines that an edit wrote anew.
    static constexpr uint64_t kEdited = uint64_t{1} << 63;

    uint64_t LineData(std::size_t Line) const { return FIndex.Get(Line).Data; }
    Position LinePos(std::size_t Line) const { return FIndex.Get(Line).Pos; }
    uint64_t RowStart(std::size_t Line) const { return FIndex.Get(Line).Row; }
    // Replace, where To lies in the last line, and where it lies before it.
    void ReplaceAtTheEnd(Position From, Position To, std::u16string_view Text);
    void ReplaceInside(std::size_t First, uint64_t FromUnit, std::size_t Last, uint64_t ToUnit, std::u16string_view Text);
    void PushEdited(char16_t Unit);
    // Keeps the first Count lines of the index.
    void KeepLines(std::size_t Count);

    std::optional<uint64_t> FindInData(uint64_t From, uint64_t To, std::u16string_view Needle, bool Forward,
                                       std::u16string& Window) const;
    char16_t UnitAtData(uint64_t Data) const;
    const TUnitChunk& ChunkOf(uint64_t Data) const {
        if (Data & kEdited) return FEditChunks[(Data & ~kEdited) / kChunkUnits];
        const uint64_t chunk = Data / kChunkUnits;
        return chunk < FChunkBase ? SpilledChunk(chunk) : FChunks[chunk - FChunkBase];
    }
    // Moves the oldest chunks to the scrollback file while more are in memory than the budget.
    void Spill();
    // Reads a chunk from the file through a small cache.
    const TUnitChunk& SpilledChunk(uint64_t Chunk) const;
    TUnitChunk LoadChunk(uint64_t Chunk) const;
    // Brings the chunks from Chunk on back into memory, to write in them again.
    void Unspill(uint64_t Chunk);
    void CopyData(uint64_t From, uint64_t To, std::u16string& Out) const;
    void PushUnit(char16_t Unit);
    // Text as a note in the last line, which is empty, and a line end after it.
    void PushNote(std::u16string_view Text);
    void EndLine();
    void TruncateData(Position From);
    uint64_t Advance(uint64_t Cell, char16_t Unit) const;
    // Packed blocks of the line index go to a file of their own while text goes to the scrollback file.
    void StoreIndex();
    void LayOutAnew();
    uint64_t LineEndData(std::size_t Line) const;
    // The last checkpoint inside Line that lies before the cell Cell (or before
    // the unit Unit), as data offset and cell; the line's start when there is none.
    std::pair<uint64_t, uint64_t> ResumePoint(std::size_t Line, uint64_t Cell, uint64_t Unit) const;
    // The data offset of the first unit of Line at Cell or after it, and that unit's cell.
    std::pair<uint64_t, uint64_t> Seek(std::size_t Line, uint64_t Cell) const;
    // Fills Row from the unit at Data, whose cell is Cell, to the end of the row at InLine.
    void ReadRow(TRow& Row, uint64_t InLine, uint64_t Data, uint64_t Cell) const;

    struct TStyleRun {
        uint64_t Data;  // where the run starts
        uint32_t Style;
    };
    uint32_t StyleAtData(uint64_t Data) const;
    // The runs of one style that make the text from From to To.
    std::vector<std::pair<std::u16string, uint32_t>> StyledPieces(Position From, Position To) const;
    uint64_t DataOf(Position Where) const;
    Position PositionOfData(uint64_t Data) const;

    std::deque<TUnitChunk> FChunks;
    std::deque<TStyleRun> FStyleRuns;  // rising; the style before the first is 0
    uint64_t FChunkBase = 0;             // chunks released from the front or in the file
    // The chunks in the scrollback file, from FSpillBase up to FChunkBase.
    struct TSpilled {
        uint64_t Offset;
        bool Wide;
    };
    std::deque<TSpilled> FSpilled;
    uint64_t FSpillBase = 0;
    uint64_t FBudgetChunks = 0;  // 0: no budget
    std::u16string FScrollbackFolder;
    std::unique_ptr<TScrollbackFile> FScrollback;
    std::u16string FScrollbackError;
    mutable TSmallCache<TUnitChunk> FCache;
    uint64_t FDataEnd = 0;               // units stored
    std::deque<TUnitChunk> FEditChunks;  // the lines edits wrote, from kEdited on
    uint64_t FEditEnd = 0;
    TLineIndex FIndex;
    std::unique_ptr<TScrollbackFile> FIndexFile;
    // Line cells before the unit at a multiple of kCheckpointSpacing, kept
    // only that far into a line, where counting from its start costs.
    struct TCheckpoint {
        uint64_t Index;  // the multiple
        uint64_t Cells;
    };
    std::deque<TCheckpoint> FCheckpoints;
    uint64_t FColumns = 0;
    uint64_t FWidest = 0;
    std::vector<uint64_t> FTabStops{8};
    bool FEndsWithCR = false;
    std::set<uint64_t> FNotes;  // data offsets where notes start
};
