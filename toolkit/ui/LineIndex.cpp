// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/LineIndex.h"

#include <algorithm>

namespace {

// Packed blocks read back and kept unpacked: what is in view, what a search
// reads, the first line, and one more.
constexpr std::size_t kCachedBlocks = 4;

uint64_t ZigZag(uint64_t Difference) {
    const auto signedDifference = static_cast<int64_t>(Difference);
    return (Difference << 1) ^ static_cast<uint64_t>(signedDifference >> 63);
}

uint64_t UnZigZag(uint64_t Value) { return (Value >> 1) ^ (~(Value & 1) + 1); }

void PutVarint(std::vector<uint8_t>& Out, uint64_t Value) {
    for (; Value >= 0x80; Value >>= 7) Out.push_back(static_cast<uint8_t>(Value | 0x80));
    Out.push_back(static_cast<uint8_t>(Value));
}

// Reads on as long as there are bytes; what is missing reads as 0.
uint64_t GetVarint(const uint8_t*& At, const uint8_t* End) {
    uint64_t value = 0;
    for (unsigned shift = 0; At < End && shift < 64; shift += 7) {
        const uint8_t byte = *At++;
        value |= uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) break;
    }
    return value;
}

}  // namespace

TLineIndex::TLineIndex(std::size_t BlockLines) : FBlockLines(std::max<std::size_t>(BlockLines, 2)), FCache(kCachedBlocks) {
    Clear();
}

void TLineIndex::SetStore(TStore Store) { FStore = std::move(Store); }

void TLineIndex::Clear() {
    FBlocks.clear();
    FBlocks.emplace_back();
    FBlocks.back().Lines.emplace_back();
    FFirst = 0;
    FEnd = 1;
    FLastBlock = 0;
    FCache.Clear();
}

// ---- finding lines -----------------------------------------------------------

std::size_t TLineIndex::BlockOf(uint64_t Line) const {
    const auto holds = [&](std::size_t Block) {
        const TBlock& block = FBlocks[Block];
        return block.Start <= Line && Line - block.Start < block.LineCount();
    };
    // Readers go on from the block they read last, and look at the first line and the last one between.
    if (FLastBlock < FBlocks.size() && holds(FLastBlock)) return FLastBlock;
    if (holds(0)) return 0;
    if (holds(FBlocks.size() - 1)) return FBlocks.size() - 1;
    const auto after = std::upper_bound(FBlocks.begin(), FBlocks.end(), Line,
                                        [](uint64_t L, const TBlock& Block) { return L < Block.Start; });
    FLastBlock = static_cast<std::size_t>(after - FBlocks.begin()) - 1;
    return FLastBlock;
}

TLineIndex::TLine TLineIndex::Get(std::size_t Line) const {
    const uint64_t line = FFirst + Line;
    const TBlock& block = FBlocks[BlockOf(line)];
    return Absolute(block, Entries(block)[line - block.Start]);
}

// The first block's first line may be dropped already.
TLineIndex::TLine TLineIndex::FirstOf(std::size_t Block) const {
    if (Block == 0) return Get(0);
    const TBlock& block = FBlocks[Block];
    return Absolute(block, block.Packed ? block.First : block.Lines.front());
}

const std::vector<TLineIndex::TLine>& TLineIndex::Entries(const TBlock& Block) const {
    if (!Block.Packed) return Block.Lines;
    return *FCache.Get(Block.Id, [&](std::vector<TLine>& Lines) {
        Lines = Unpacked(Block);
        return true;
    });
}

// ---- packing -----------------------------------------------------------------

// Each line after the first is told by how it differs from the one before:
// its cells, and, only where the line before was not plain text (its length
// not its cells, or its units not right before this line's), that length and
// the step in the data. Rows follow from the cells.
void TLineIndex::Pack(TBlock& Block, const TLine& Next) {
    std::vector<TLine>& lines = Block.Lines;
    Block.PosBase += lines.front().Pos;
    Block.RowBase += lines.front().Row;
    const uint64_t nextPos = Next.Pos - Block.PosBase;
    const uint64_t firstPos = lines.front().Pos;
    bool contiguous = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const uint64_t nextData = i + 1 < lines.size() ? lines[i + 1].Data : Next.Data;
        const uint64_t length = (i + 1 < lines.size() ? lines[i + 1].Pos - firstPos : nextPos) - (lines[i].Pos - firstPos) - 1;
        contiguous = contiguous && nextData - lines[i].Data == length;
        Block.WidestLine = std::max(Block.WidestLine, lines[i].Cells);
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(lines.size() + lines.size() / 8);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const TLine& before = lines[i - 1];
        const TLine& line = lines[i];
        const uint64_t length = line.Pos - before.Pos - 1;
        const uint64_t step = line.Data - before.Data;
        const bool plain = length == before.Cells && step == length;
        PutVarint(bytes, ZigZag(line.Cells - before.Cells) << 1 | (plain ? 0 : 1));
        if (plain) continue;
        PutVarint(bytes, length);
        PutVarint(bytes, ZigZag(step));
    }
    Block.First = {lines.front().Data, lines.front().Cells, 0, 0};
    Block.Count = lines.size();
    Block.Units = nextPos - Block.Count;
    Block.Packed = true;
    Block.Id = FNextId++;
    // Assigning {} would keep the capacity.
    std::vector<TLine>().swap(lines);
    // Only text that lies in one piece goes out: what a failed read gives back is then still whole.
    if (contiguous && FStore.Write) Block.StoredAt = FStore.Write(bytes.data(), bytes.size());
    if (Block.StoredAt) Block.StoredBytes = bytes.size();
    else Block.Bytes = std::move(bytes);
}

std::vector<TLineIndex::TLine> TLineIndex::Unpacked(const TBlock& Block) const {
    std::vector<uint8_t> stored;
    std::vector<TLine> lines(Block.Count);
    lines.front() = Block.First;
    if (Block.StoredAt) {
        stored.resize(Block.StoredBytes);
        if (!FStore.Read || !FStore.Read(*Block.StoredAt, stored.data(), stored.size())) {
            // Lost from the store: the block's text shows as one line after empty ones.
            for (std::size_t i = 1; i < lines.size(); ++i) lines[i] = {Block.First.Data, 0, i, i};
            lines.back().Cells = Block.Units;
            return lines;
        }
    }
    const std::vector<uint8_t>& bytes = Block.StoredAt ? stored : Block.Bytes;
    const uint8_t* at = bytes.data();
    const uint8_t* end = at + bytes.size();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const TLine& before = lines[i - 1];
        const uint64_t tag = GetVarint(at, end);
        uint64_t length = before.Cells;
        uint64_t step = length;
        if (tag & 1) {
            length = GetVarint(at, end);
            step = UnZigZag(GetVarint(at, end));
        }
        lines[i] = {before.Data + step, before.Cells + UnZigZag(tag >> 1), before.Row + RowsFor(before.Cells),
                    before.Pos + length + 1};
    }
    return lines;
}

void TLineIndex::Unpack(TBlock& Block) {
    if (!Block.Packed) return;
    Block.Lines = Unpacked(Block);
    Block.Packed = false;
    std::vector<uint8_t>().swap(Block.Bytes);
    Block.StoredAt.reset();
}

// ---- changing ----------------------------------------------------------------

void TLineIndex::Push(const TLine& Line) {
    if (FBlocks.back().Lines.size() >= FBlockLines) {
        Pack(FBlocks.back(), Line);
        TBlock& block = FBlocks.emplace_back();
        block.Start = FEnd;
        block.PosBase = Line.Pos;
        block.RowBase = Line.Row;
    }
    Append(FBlocks.back(), Line);
    ++FEnd;
}

// The blocks the lines lie in become one plain block.
void TLineIndex::Splice(std::size_t First, std::size_t Count, const std::vector<TLine>& Lines) {
    const uint64_t first = FFirst + First;
    const std::size_t firstBlock = BlockOf(first);
    const std::size_t lastBlock = Count == 0 ? firstBlock : BlockOf(first + Count - 1);
    Unpack(FBlocks[firstBlock]);
    for (std::size_t other = firstBlock + 1; other <= lastBlock; ++other) {
        const TBlock& next = FBlocks[other];
        for (const TLine& line : Entries(next)) Append(FBlocks[firstBlock], Absolute(next, line));
    }
    FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(firstBlock + 1),
                  FBlocks.begin() + static_cast<std::ptrdiff_t>(lastBlock + 1));
    TBlock& block = FBlocks[firstBlock];
    const auto at = block.Lines.begin() + static_cast<std::ptrdiff_t>(first - block.Start);
    std::vector<TLine> fresh;
    for (const TLine& line : Lines) fresh.push_back(Relative(block, line));
    block.Lines.insert(block.Lines.erase(at, at + static_cast<std::ptrdiff_t>(Count)), fresh.begin(), fresh.end());
    for (std::size_t later = firstBlock + 1; later < FBlocks.size(); ++later) FBlocks[later].Start += Lines.size() - Count;
    FEnd += Lines.size() - Count;
    FLastBlock = firstBlock;
}

void TLineIndex::Shift(std::size_t From, uint64_t Places, uint64_t Rows) {
    if ((Places == 0 && Rows == 0) || From >= Size()) return;
    const uint64_t from = FFirst + From;
    std::size_t block = BlockOf(from);
    // Within a block the lines before From stay: those after it move one by one.
    if (from > std::max(FBlocks[block].Start, FFirst)) {
        TBlock& inside = FBlocks[block];
        Unpack(inside);
        for (auto line = inside.Lines.begin() + static_cast<std::ptrdiff_t>(from - inside.Start); line != inside.Lines.end(); ++line) {
            line->Pos += Places;
            line->Row += Rows;
        }
        ++block;
    }
    for (; block < FBlocks.size(); ++block) {
        FBlocks[block].PosBase += Places;
        FBlocks[block].RowBase += Rows;
    }
}

void TLineIndex::KeepFirst(std::size_t Count) {
    FEnd = FFirst + std::max<std::size_t>(Count, 1);
    const std::size_t last = BlockOf(FEnd - 1);
    FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(last + 1), FBlocks.end());
    TBlock& block = FBlocks.back();
    Unpack(block);
    block.Lines.resize(FEnd - block.Start);
}

void TLineIndex::DropFront(std::size_t Count) {
    FFirst += std::min<uint64_t>(Count, Size() - 1);
    while (FBlocks.front().Start + FBlocks.front().LineCount() <= FFirst) FBlocks.pop_front();
    FLastBlock = 0;
}

// ---- rows --------------------------------------------------------------------

uint64_t TLineIndex::RowsFor(uint64_t Cells) const {
    return FColumns == 0 ? 1 : std::max<uint64_t>(1, (Cells + FColumns - 1) / FColumns);
}

void TLineIndex::SetColumns(uint64_t Columns) {
    FColumns = Columns;
    FCache.Clear();
    uint64_t row = FBlocks.front().RowBase;
    for (TBlock& block : FBlocks) {
        block.RowBase = row;
        row += block.Packed ? RowsOf(block) : LayOutRows(block.Lines);
    }
}

uint64_t TLineIndex::LayOutRows(std::vector<TLine>& Lines) const {
    uint64_t row = 0;
    for (TLine& line : Lines) {
        line.Row = row;
        row += RowsFor(line.Cells);
    }
    return row;
}

// A block whose lines all fit in a row is counted without reading it.
uint64_t TLineIndex::RowsOf(const TBlock& Block) const {
    if (FColumns == 0 || Block.WidestLine <= FColumns) return Block.Count;
    uint64_t rows = 0;
    for (const TLine& line : Entries(Block)) rows += RowsFor(line.Cells);
    return rows;
}
