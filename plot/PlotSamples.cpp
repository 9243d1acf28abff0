// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/PlotSamples.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

void AppendNumber(std::string& Out, double Value) {
    if (IsPlotMissing(Value)) return;
    if (std::isnan(Value)) {
        Out += "nan";
    } else if (std::isinf(Value)) {
        Out += Value < 0 ? "-inf" : "inf";
    } else {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, Value);
        Out.append(text, result.ptr);
    }
}

// A header field as comma-separated values want it: quoted when it holds a
// comma, a quote or a line end, its quotes doubled.
void AppendField(std::string& Out, const std::string& Text) {
    if (Text.find_first_of(",\"\r\n") == std::string::npos) {
        Out += Text;
        return;
    }
    Out += '"';
    for (const char c : Text) {
        if (c == '"') Out += '"';
        Out += c;
    }
    Out += '"';
}

}  // namespace

TPlotSamples::TPlotSamples(uint64_t Keep) : FKeep(std::clamp(Keep, MinKeep, MaxKeep)) { Restart(0); }

void TPlotSamples::Restart(uint64_t Row) {
    FSlots = (FKeep + kChunkRows - 1) / kChunkRows * kChunkRows;
    FChunks.clear();
    FChunks.resize(static_cast<std::size_t>(FSlots / kChunkRows));
    FStart = FFirst = FEnd = Row;
}

void TPlotSamples::Clear() {
    Restart(0);
    FSeriesCount = 0;
    FLastTime = 0;
}

void TPlotSamples::SetKeep(uint64_t Keep) {
    Keep = std::clamp(Keep, MinKeep, MaxKeep);
    if (Keep == FKeep) return;
    TPlotSamples kept(Keep);
    kept.Restart(std::max(FFirst, FEnd - std::min(FEnd, Keep)));
    std::vector<double> values(FSeriesCount);
    for (uint64_t row = kept.FStart; row < FEnd; ++row) {
        for (std::size_t series = 0; series < FSeriesCount; ++series) values[series] = Value(series, row);
        kept.Append(Time(row), values);
    }
    *this = std::move(kept);
}

TPlotSamples::TChunk& TPlotSamples::ChunkOf(uint64_t Row) {
    std::unique_ptr<TChunk>& chunk = FChunks[static_cast<std::size_t>(Row % FSlots / kChunkRows)];
    if (!chunk) chunk = std::make_unique<TChunk>();
    return *chunk;
}

const TPlotSamples::TChunk* TPlotSamples::FindChunk(uint64_t Row) const {
    return FChunks[static_cast<std::size_t>(Row % FSlots / kChunkRows)].get();
}

TPlotSamples::TSeriesChunk& TPlotSamples::SeriesChunk(TChunk& Chunk, std::size_t Series) {
    std::unique_ptr<TSeriesChunk>& values = Chunk.Series[Series];
    if (!values) {
        // The rows before this one had no value of the series.
        values = std::make_unique<TSeriesChunk>();
        values->Values.fill(PlotMissing);
        values->Min.fill(kInfinity);
        values->Max.fill(-kInfinity);
    }
    return *values;
}

void TPlotSamples::Append(double Time, const std::vector<double>& Values) {
    Time = std::max(Time, FLastTime);
    FLastTime = Time;
    const uint64_t row = FEnd;
    TChunk& chunk = ChunkOf(row);
    const std::size_t in = RowIn(row);
    const std::size_t block = in / kBlockRows;
    // A block starts afresh: its first row of this round of the ring.
    const bool blockStart = in % kBlockRows == 0 || row == FStart;
    if (blockStart) chunk.BlockTime[block] = Time;
    chunk.TimeOffset[in] = static_cast<float>(Time - chunk.BlockTime[block]);
    FSeriesCount = std::max(FSeriesCount, std::min(Values.size(), PlotMaxSeries));
    for (std::size_t series = 0; series < FSeriesCount; ++series) {
        const double value = series < Values.size() ? Values[series] : PlotMissing;
        if (!chunk.Series[series] && IsPlotMissing(value)) continue;
        TSeriesChunk& values = SeriesChunk(chunk, series);
        values.Values[in] = value;
        if (blockStart) {
            values.Min[block] = kInfinity;
            values.Max[block] = -kInfinity;
        }
        if (std::isfinite(value)) {
            values.Min[block] = std::min(values.Min[block], value);
            values.Max[block] = std::max(values.Max[block], value);
        }
    }
    ++FEnd;
    if (FEnd - FFirst > FKeep) ++FFirst;
}

double TPlotSamples::Time(uint64_t Row) const {
    const TChunk& chunk = *FindChunk(Row);
    const std::size_t in = RowIn(Row);
    return chunk.BlockTime[in / kBlockRows] + chunk.TimeOffset[in];
}

double TPlotSamples::Value(std::size_t Series, uint64_t Row) const {
    if (Series >= FSeriesCount || Row < FFirst || Row >= FEnd) return PlotMissing;
    const TSeriesChunk* values = FindChunk(Row)->Series[Series].get();
    return values ? values->Values[RowIn(Row)] : PlotMissing;
}

uint64_t TPlotSamples::RowAt(double At) const {
    uint64_t low = FFirst, high = FEnd;
    while (low < high) {
        const uint64_t middle = low + (high - low) / 2;
        if (Time(middle) < At) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

TPlotSamples::TExtent TPlotSamples::Extent(std::size_t Series, uint64_t From, uint64_t To) const {
    TExtent extent{kInfinity, -kInfinity};
    From = std::max(From, FFirst);
    To = std::min(To, FEnd);
    if (Series >= FSeriesCount) return extent;
    const auto fold = [&extent](double Min, double Max) {
        extent.Min = std::min(extent.Min, Min);
        extent.Max = std::max(extent.Max, Max);
    };
    uint64_t row = From;
    while (row < To) {
        const TSeriesChunk* values = FindChunk(row)->Series[Series].get();
        const uint64_t chunkEnd = std::min(To, row - row % kChunkRows + kChunkRows);
        if (!values) {
            row = chunkEnd;
            continue;
        }
        for (; row < chunkEnd; ++row) {
            const std::size_t in = RowIn(row);
            // Whole blocks, all of this round of the ring, by their extent.
            if (in % kBlockRows == 0 && row + kBlockRows <= chunkEnd) {
                fold(values->Min[in / kBlockRows], values->Max[in / kBlockRows]);
                row += kBlockRows - 1;
            } else if (const double value = values->Values[in]; std::isfinite(value)) {
                fold(value, value);
            }
        }
    }
    return extent;
}

void TPlotSamples::WriteCsv(const std::vector<std::string>& Names,
                            const std::function<void(std::string_view)>& Write) const {
    std::string out = "time";
    for (std::size_t series = 0; series < FSeriesCount; ++series) {
        out += ',';
        AppendField(out, series < Names.size() ? Names[series] : std::to_string(series + 1));
    }
    out += "\r\n";
    constexpr std::size_t kPiece = 1 << 16;
    for (uint64_t row = FFirst; row < FEnd; ++row) {
        char time[32];
        std::snprintf(time, sizeof time, "%.3f", Time(row));
        out += time;
        for (std::size_t series = 0; series < FSeriesCount; ++series) {
            out += ',';
            AppendNumber(out, Value(series, row));
        }
        out += "\r\n";
        if (out.size() >= kPiece) {
            Write(out);
            out.clear();
        }
    }
    Write(out);
}

std::size_t TPlotSamples::MemoryBytes() const {
    std::size_t bytes = sizeof *this + FChunks.capacity() * sizeof(FChunks[0]);
    for (const auto& chunk : FChunks) {
        if (!chunk) continue;
        bytes += sizeof(TChunk);
        for (const auto& series : chunk->Series)
            if (series) bytes += sizeof(TSeriesChunk);
    }
    return bytes;
}
