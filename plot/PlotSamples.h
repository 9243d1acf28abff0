// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The samples a plot keeps: the last N rows of up to 32 series, each row with
// the time it arrived. Rows live in a ring of fixed chunks, so a long session
// costs no more than N rows; a chunk of a series is made only once the series
// has a value in it. Every 64 values keep their smallest and largest, so the
// extent of a long stretch (a pixel column of a wide view) costs a few reads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plot/PlotLineReader.h"

class TPlotSamples {
public:
    static constexpr uint64_t MinKeep = 100;
    static constexpr uint64_t MaxKeep = 10'000'000;
    static constexpr uint64_t DefaultKeep = 100'000;

    explicit TPlotSamples(uint64_t Keep = DefaultKeep);

    uint64_t Keep() const { return FKeep; }
    // Keeps the newest Keep rows (clamped to MinKeep..MaxKeep), their
    // numbers unchanged.
    void SetKeep(uint64_t Keep);
    void Clear();

    // A row that arrived at Time (seconds, not before the last row's);
    // Values[i] is series i's value, PlotMissing where it has none.
    void Append(double Time, const std::vector<double>& Values);

    // Rows are numbered from 0, the first one appended after a Clear; First
    // is the oldest kept, End one after the newest.
    uint64_t First() const { return FFirst; }
    uint64_t End() const { return FEnd; }
    bool Empty() const { return FFirst == FEnd; }
    std::size_t SeriesCount() const { return FSeriesCount; }
    double Time(uint64_t Row) const;
    double Value(std::size_t Series, uint64_t Row) const;
    // The first kept row that arrived at or after Time; End when none did.
    uint64_t RowAt(double Time) const;

    struct TExtent {
        double Min;
        double Max;
        bool Empty() const { return Min > Max; }
    };
    // The smallest and largest finite values of Series in rows From..To-1.
    TExtent Extent(std::size_t Series, uint64_t From, uint64_t To) const;

    // Every kept row as comma-separated values: a header of "time" and the
    // series' Names, then the time in seconds and one column per series,
    // empty where a row has no value. Written in pieces to Write.
    void WriteCsv(const std::vector<std::string>& Names, const std::function<void(std::string_view)>& Write) const;

    // What the kept rows take, in bytes.
    std::size_t MemoryBytes() const;

private:
    static constexpr uint64_t kBlockRows = 64;
    static constexpr uint64_t kChunkBlocks = 64;
    static constexpr uint64_t kChunkRows = kBlockRows * kChunkBlocks;

    struct TSeriesChunk {
        std::array<double, kChunkRows> Values;
        std::array<double, kChunkBlocks> Min;
        std::array<double, kChunkBlocks> Max;
    };
    // Times are kept as an offset from the block's first one, in half the room.
    struct TChunk {
        std::array<double, kChunkBlocks> BlockTime{};
        std::array<float, kChunkRows> TimeOffset{};
        std::array<std::unique_ptr<TSeriesChunk>, PlotMaxSeries> Series;
    };

    void Restart(uint64_t Row);
    TChunk& ChunkOf(uint64_t Row);
    const TChunk* FindChunk(uint64_t Row) const;
    static std::size_t RowIn(uint64_t Row) { return static_cast<std::size_t>(Row % kChunkRows); }
    TSeriesChunk& SeriesChunk(TChunk& Chunk, std::size_t Series);

    uint64_t FKeep;
    uint64_t FSlots = 0;  // rows the ring holds: Keep rounded up to whole chunks
    std::vector<std::unique_ptr<TChunk>> FChunks;
    uint64_t FStart = 0;  // the first row written into this ring
    uint64_t FFirst = 0;
    uint64_t FEnd = 0;
    std::size_t FSeriesCount = 0;
    double FLastTime = 0;
};
