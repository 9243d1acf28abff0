// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where each line of a long text starts: in the stored data, in places and
// in rows, and how many cells it takes. Lines are kept in blocks of a fixed
// count. The block that takes the appends, and any block an edit touches,
// holds plain entries; a full block is packed into about a byte a line and,
// where a store is given, written out to it, so the index of a session of
// any length takes little memory. Packed blocks are read back through a
// small cache. Places and rows of a block are counted from bases kept with
// it, so moving every later line costs one addition a block.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "toolkit/ui/SmallCache.h"

class TLineIndex {
public:
    struct TLine {
        uint64_t Data = 0;   // where the line's units start
        uint64_t Cells = 0;  // cells it takes
        uint64_t Row = 0;    // rows before it
        uint64_t Pos = 0;    // places before it
        bool operator==(const TLine&) const = default;
    };
    // Where packed blocks go: Write gives where they went (nothing when they
    // could not go, and they stay in memory), Read brings them back.
    struct TStore {
        std::function<std::optional<uint64_t>(const void* Data, std::size_t Bytes)> Write;
        std::function<bool(uint64_t Offset, void* Data, std::size_t Bytes)> Read;
    };

    static constexpr std::size_t kBlockLines = 4096;

    explicit TLineIndex(std::size_t BlockLines = kBlockLines);
    // Blocks already written stay where they are; what is packed next goes to Store.
    void SetStore(TStore Store);
    // One empty line at the start.
    void Clear();

    std::size_t Size() const { return static_cast<std::size_t>(FEnd - FFirst); }
    TLine Get(std::size_t Line) const;
    TLine Last() const { return Absolute(FBlocks.back(), FBlocks.back().Lines.back()); }
    // The last line's cells, which appends count up; its row and place are
    // counted from its block's bases.
    uint64_t& LastCells() { return FBlocks.back().Lines.back().Cells; }
    void Push(const TLine& Line);
    // The last line starts anew, empty, at Data.
    void RestartLast(uint64_t Data) { FBlocks.back().Lines.back() = {Data, 0, FBlocks.back().Lines.back().Row, FBlocks.back().Lines.back().Pos}; }
    // Puts Lines in place of Count lines from First; the lines after them stay as they are.
    void Splice(std::size_t First, std::size_t Count, const std::vector<TLine>& Lines);
    // Moves the lines from From on by Places places and Rows rows.
    void Shift(std::size_t From, uint64_t Places, uint64_t Rows);
    // Keeps the first Count lines.
    void KeepFirst(std::size_t Count);
    void DropFront(std::size_t Count);

    // 0 columns: every line takes one row. Row starts follow from the cells.
    void SetColumns(uint64_t Columns);
    uint64_t RowsFor(uint64_t Cells) const;

    // The first line for which Holds is false, where it holds for a prefix of the lines.
    template <class Pred>
    std::size_t PartitionPoint(Pred&& Holds) const {
        std::size_t low = 0;
        std::size_t high = FBlocks.size();
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (Holds(FirstOf(middle))) low = middle + 1;
            else high = middle;
        }
        if (low == 0) return 0;
        const TBlock& block = FBlocks[low - 1];
        const std::vector<TLine>& lines = Entries(block);
        const uint64_t skip = low == 1 ? FFirst - block.Start : 0;
        std::size_t inLow = static_cast<std::size_t>(skip) + 1;  // the first line is known to hold
        std::size_t inHigh = lines.size();
        while (inLow < inHigh) {
            const std::size_t middle = inLow + (inHigh - inLow) / 2;
            if (Holds(Absolute(block, lines[middle]))) inLow = middle + 1;
            else inHigh = middle;
        }
        return static_cast<std::size_t>(block.Start + inLow - FFirst);
    }

private:
    struct TBlock {
        uint64_t Start = 0;  // the line number of its first line, counted since the last Clear
        uint64_t PosBase = 0;
        uint64_t RowBase = 0;
        std::vector<TLine> Lines;  // while plain: Pos and Row counted from the bases
        // Once packed:
        bool Packed = false;
        uint64_t Id = 0;
        std::size_t Count = 0;
        TLine First;                  // the first line, Pos and Row 0
        std::vector<uint8_t> Bytes;   // the lines after the first, or empty while in the store
        std::optional<uint64_t> StoredAt;
        std::size_t StoredBytes = 0;
        uint64_t WidestLine = 0;
        uint64_t Units = 0;  // the units of its lines, when they lie one after the other in the data
        std::size_t LineCount() const { return Packed ? Count : Lines.size(); }
    };

    std::size_t BlockOf(uint64_t Line) const;
    static TLine Absolute(const TBlock& Block, TLine Line) {
        Line.Pos += Block.PosBase;
        Line.Row += Block.RowBase;
        return Line;
    }
    static TLine Relative(const TBlock& Block, TLine Line) {
        Line.Pos -= Block.PosBase;
        Line.Row -= Block.RowBase;
        return Line;
    }
    static void Append(TBlock& Block, const TLine& Line) { Block.Lines.push_back(Relative(Block, Line)); }
    TLine FirstOf(std::size_t Block) const;
    // A block's lines, Pos and Row counted from its bases.
    const std::vector<TLine>& Entries(const TBlock& Block) const;
    std::vector<TLine> Unpacked(const TBlock& Block) const;
    // Next: the line after the block, which tells how long its last line is.
    void Pack(TBlock& Block, const TLine& Next);
    void Unpack(TBlock& Block);
    // Counts the rows of Lines anew from the first; the rows of all of them.
    uint64_t LayOutRows(std::vector<TLine>& Lines) const;
    uint64_t RowsOf(const TBlock& Block) const;

    std::size_t FBlockLines;
    TStore FStore;
    std::deque<TBlock> FBlocks;
    uint64_t FFirst = 0;  // lines dropped from the front
    uint64_t FEnd = 0;    // FFirst plus the lines
    uint64_t FColumns = 0;
    uint64_t FNextId = 1;
    mutable TSmallCache<std::vector<TLine>> FCache;  // unpacked blocks by id
    mutable std::size_t FLastBlock = 0;
};
