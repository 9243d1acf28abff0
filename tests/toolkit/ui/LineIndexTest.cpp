// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/LineIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

using TLine = TLineIndex::TLine;

constexpr uint64_t kEditedData = uint64_t{1} << 63;

// A store in memory whose writes fail while asked to, and whose reads fail
// once it is told to lose what it holds.
struct TMemoryStore {
    std::vector<uint8_t> Bytes;
    bool Full = false;
    bool Lost = false;
    std::size_t Writes = 0;

    TLineIndex::TStore Store() {
        return {
            .Write = [this](const void* Data, std::size_t Size) -> std::optional<uint64_t> {
                if (Full) return std::nullopt;
                ++Writes;
                const uint64_t at = Bytes.size();
                Bytes.insert(Bytes.end(), static_cast<const uint8_t*>(Data), static_cast<const uint8_t*>(Data) + Size);
                return at;
            },
            .Read = [this](uint64_t Offset, void* Data, std::size_t Size) {
                if (Lost || Offset + Size > Bytes.size()) return false;
                std::memcpy(Data, Bytes.data() + Offset, Size);
                return true;
            },
        };
    }
};

// The index as plain entries, one a line, changed as a text store changes
// it: units added to the last line, lines ended, lines written anew in the
// middle, the end cut, the front dropped, the columns changed.
class TIndexModel {
public:
    explicit TIndexModel(std::size_t BlockLines) : FIndex(BlockLines) { FIndex.SetStore(FStore.Store()); }

    void AddUnits(uint64_t Units, uint64_t ExtraCells) {
        FDataEnd += Units;
        FLines.back().Cells += Units + ExtraCells;
        FIndex.LastCells() += Units + ExtraCells;
    }
    void EndLine() {
        const TLine last = FLines.back();
        const TLine line{FDataEnd, 0, last.Row + RowsFor(last.Cells), last.Pos + (FDataEnd - last.Data) + 1};
        FLines.push_back(line);
        FIndex.Push(line);
    }
    // Count lines from First (never the last one) become Fresh edited lines.
    void Rewrite(std::size_t First, std::size_t Count, std::size_t Fresh, std::mt19937& Random) {
        std::vector<TLine> lines;
        uint64_t pos = FLines[First].Pos;
        uint64_t row = FLines[First].Row;
        for (std::size_t i = 0; i < Fresh; ++i) {
            const uint64_t length = Random() % 90;
            lines.push_back({kEditedData | FEditEnd, length, row, pos});
            FEditEnd += length;
            pos += length + 1;
            row += RowsFor(length);
        }
        const TLine after = FLines[First + Count];
        const auto at = FLines.begin() + static_cast<std::ptrdiff_t>(First);
        FLines.insert(FLines.erase(at, at + static_cast<std::ptrdiff_t>(Count)), lines.begin(), lines.end());
        for (auto line = FLines.begin() + static_cast<std::ptrdiff_t>(First + Fresh); line != FLines.end(); ++line) {
            line->Pos += pos - after.Pos;
            line->Row += row - after.Row;
        }
        FIndex.Splice(First, Count, lines);
        FIndex.Shift(First + Fresh, pos - after.Pos, row - after.Row);
    }
    void KeepFirst(std::size_t Count) {
        FLines.resize(Count);
        FIndex.KeepFirst(Count);
        FDataEnd = FLines.back().Data + FLines.back().Cells;
    }
    void DropFront(std::size_t Count) {
        FLines.erase(FLines.begin(), FLines.begin() + static_cast<std::ptrdiff_t>(Count));
        FIndex.DropFront(Count);
    }
    void SetColumns(uint64_t Columns) {
        FColumns = Columns;
        FIndex.SetColumns(Columns);
        // The index counts from where its first block starts, which may lie before the first line.
        FLines.front().Row = FIndex.Get(0).Row;
        for (std::size_t line = 1; line < FLines.size(); ++line)
            FLines[line].Row = FLines[line - 1].Row + RowsFor(FLines[line - 1].Cells);
    }

    void ExpectSame(const std::string& Step) const {
        ASSERT_EQ(FIndex.Size(), FLines.size()) << Step;
        for (std::size_t line = 0; line < FLines.size(); ++line) {
            const TLine got = FIndex.Get(line);
            ASSERT_EQ(got, FLines[line]) << Step << ", line " << line;
        }
        ASSERT_EQ(FIndex.Last(), FIndex.Get(FLines.size() - 1)) << Step;
    }
    // Finding by place agrees with the plain entries.
    void ExpectFound(uint64_t Pos) const {
        const auto want = std::partition_point(FLines.begin(), FLines.end(), [&](const TLine& L) { return L.Pos <= Pos; });
        EXPECT_EQ(FIndex.PartitionPoint([&](const TLine& L) { return L.Pos <= Pos; }),
                  static_cast<std::size_t>(want - FLines.begin()))
            << "place " << Pos;
    }

    std::size_t Size() const { return FLines.size(); }
    const TLine& Front() const { return FLines.front(); }
    const TLine& Back() const { return FLines.back(); }
    TMemoryStore& Store() { return FStore; }
    const TLineIndex& Index() const { return FIndex; }

private:
    uint64_t RowsFor(uint64_t Cells) const { return FColumns == 0 ? 1 : std::max<uint64_t>(1, (Cells + FColumns - 1) / FColumns); }

    TMemoryStore FStore;
    TLineIndex FIndex;
    std::vector<TLine> FLines{TLine{}};
    uint64_t FDataEnd = 0;
    uint64_t FEditEnd = 0;
    uint64_t FColumns = 0;
};

}  // namespace

// Thousands of random changes of every kind, with blocks of a few lines so
// that packing, unpacking, merging and dropping meet at every kind of border.
TEST(LineIndex, AgreesWithPlainEntriesThroughRandomChanges) {
    for (const std::size_t blockLines : {std::size_t{2}, std::size_t{5}, std::size_t{16}}) {
        std::mt19937 random(static_cast<unsigned>(7 + blockLines));
        TIndexModel model(blockLines);
        for (int step = 0; step < 3000; ++step) {
            const unsigned kind = random() % 100;
            const std::string name = "block " + std::to_string(blockLines) + ", step " + std::to_string(step);
            if (kind < 55) {
                // Mostly plain text; now and then tabs, a long line, or an empty one.
                const uint64_t units = random() % 8 == 0 ? random() % 400 : random() % 70;
                model.AddUnits(units, random() % 6 == 0 ? random() % 20 : 0);
                model.EndLine();
            } else if (kind < 70 && model.Size() > 1) {
                const std::size_t first = random() % (model.Size() - 1);
                const std::size_t count = 1 + random() % std::min<std::size_t>(model.Size() - 1 - first, 3 * blockLines);
                model.Rewrite(first, count, 1 + random() % 4, random);
            } else if (kind < 76) {
                model.KeepFirst(model.Size() - random() % std::min<std::size_t>(model.Size(), 2 * blockLines + 1));
                if (model.Size() == 0) model.KeepFirst(1);
            } else if (kind < 84) {
                model.DropFront(random() % std::min<std::size_t>(model.Size(), 2 * blockLines + 1));
            } else if (kind < 90) {
                model.SetColumns(random() % 4 == 0 ? 0 : 1 + random() % 80);
            } else if (kind < 93) {
                model.Store().Full = !model.Store().Full;
            } else {
                model.ExpectFound(model.Front().Pos + random() % (model.Back().Pos - model.Front().Pos + 100));
                continue;
            }
            model.ExpectSame(name);
            if (testing::Test::HasFatalFailure()) return;
        }
        EXPECT_GT(model.Store().Writes, 0u) << "block " << blockLines;
    }
}

// Plain 64-byte lines pack into about a byte each.
TEST(LineIndex, PacksPlainLinesIntoAByteEach) {
    TIndexModel model(4096);
    for (int line = 0; line < 3 * 4096; ++line) {
        model.AddUnits(64, 0);
        model.EndLine();
    }
    model.ExpectSame("plain lines");
    EXPECT_EQ(model.Store().Writes, 3u);
    EXPECT_LE(model.Store().Bytes.size(), 3u * 4096u);
}

// A store that loses what it holds gives back the block's text as one line,
// so the lines after it still start where they did and nothing is read beyond the text.
TEST(LineIndex, ShowsABlockTheStoreLostAsOneLine) {
    TIndexModel model(4);
    for (uint64_t line = 0; line < 12; ++line) {
        model.AddUnits(line, 0);
        model.EndLine();
    }
    model.Store().Lost = true;
    const TLineIndex& index = model.Index();
    ASSERT_EQ(index.Size(), 13u);
    for (std::size_t line = 0; line < 4; ++line) EXPECT_EQ(index.Get(line).Data, 0u) << line;
    for (std::size_t line = 0; line < 3; ++line) EXPECT_EQ(index.Get(line + 1).Pos - index.Get(line).Pos, 1u) << line;
    // The last line of the block ends where the next block starts: its units are the block's.
    EXPECT_EQ(index.Get(4).Pos - index.Get(3).Pos - 1, 0u + 1 + 2 + 3);
    EXPECT_EQ(index.Get(4).Data, 6u);
    EXPECT_EQ(index.Get(12).Data, 66u);
}
