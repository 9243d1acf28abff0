// SPDX-License-Identifier: GPL-3.0-or-later
// The samples a plot keeps: the last N rows through many rounds of the ring,
// the extent of a stretch against a plain scan, times, and the CSV export.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "plot/PlotSamples.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Row r's value of series s; some rows have none, a few are not finite.
double Made(std::size_t Series, uint64_t Row) {
    if ((Row + Series) % 7 == 3) return PlotMissing;
    if (Row % 1001 == 5) return Series % 2 ? kInf : std::numeric_limits<double>::quiet_NaN();
    return std::sin(static_cast<double>(Row) * 0.01 + static_cast<double>(Series)) * 100 + static_cast<double>(Row % 13);
}

void AppendMade(TPlotSamples& Samples, uint64_t Rows, std::size_t Series) {
    std::vector<double> values(Series);
    for (uint64_t row = Samples.End(); Rows-- > 0; ++row) {
        for (std::size_t s = 0; s < Series; ++s) values[s] = Made(s, row);
        Samples.Append(static_cast<double>(row) / 1000, values);
    }
}

bool SameValue(double A, double B) {
    if (IsPlotMissing(A) || IsPlotMissing(B)) return IsPlotMissing(A) && IsPlotMissing(B);
    return A == B || (std::isnan(A) && std::isnan(B));
}

TPlotSamples::TExtent Scanned(const TPlotSamples& Samples, std::size_t Series, uint64_t From, uint64_t To) {
    TPlotSamples::TExtent extent{kInf, -kInf};
    for (uint64_t row = From; row < To; ++row) {
        const double value = Samples.Value(Series, row);
        if (!std::isfinite(value)) continue;
        extent.Min = std::min(extent.Min, value);
        extent.Max = std::max(extent.Max, value);
    }
    return extent;
}

TEST(PlotSamples, KeepsTheLastNRowsThroughManyRoundsOfTheRing) {
    TPlotSamples samples(10'000);
    AppendMade(samples, 55'555, 3);
    EXPECT_EQ(samples.End(), 55'555u);
    EXPECT_EQ(samples.First(), 45'555u);
    EXPECT_EQ(samples.SeriesCount(), 3u);
    for (uint64_t row = samples.First(); row < samples.End(); ++row) {
        EXPECT_NEAR(samples.Time(row), static_cast<double>(row) / 1000, 1e-5);
        for (std::size_t s = 0; s < 3; ++s) ASSERT_TRUE(SameValue(samples.Value(s, row), Made(s, row))) << s << " " << row;
    }
    EXPECT_TRUE(IsPlotMissing(samples.Value(0, samples.First() - 1)));
    EXPECT_TRUE(IsPlotMissing(samples.Value(3, samples.First())));
}

TEST(PlotSamples, ChangingNKeepsTheNewestRowsAndTheirNumbers) {
    TPlotSamples samples(5000);
    AppendMade(samples, 12'345, 2);
    samples.SetKeep(1000);
    EXPECT_EQ(samples.First(), 11'345u);
    EXPECT_EQ(samples.End(), 12'345u);
    AppendMade(samples, 100, 2);
    samples.SetKeep(50);  // below the least, kept at it
    EXPECT_EQ(samples.Keep(), TPlotSamples::MinKeep);
    samples.SetKeep(1'000'000);
    AppendMade(samples, 5000, 2);
    EXPECT_EQ(samples.First(), 12'345u);
    for (uint64_t row = samples.First(); row < samples.End(); ++row)
        for (std::size_t s = 0; s < 2; ++s) ASSERT_TRUE(SameValue(samples.Value(s, row), Made(s, row))) << s << " " << row;
    EXPECT_NEAR(samples.Time(samples.First()), 12.345, 1e-6);
    samples.Clear();
    EXPECT_TRUE(samples.Empty());
    EXPECT_EQ(samples.SeriesCount(), 0u);
}

TEST(PlotSamples, ExtentOfAnyStretchEqualsAPlainScan) {
    TPlotSamples samples(20'000);
    AppendMade(samples, 50'000, 2);
    // A series that starts late, in the middle of a chunk.
    std::vector<double> late{PlotMissing, PlotMissing, 42};
    samples.Append(60, late);
    std::mt19937_64 random(7);
    for (int i = 0; i < 2000; ++i) {
        const uint64_t from = samples.First() + random() % 20'000;
        const uint64_t to = from + random() % (samples.End() - from + 1);
        for (std::size_t s = 0; s < 3; ++s) {
            const auto extent = samples.Extent(s, from, to);
            const auto scanned = Scanned(samples, s, from, to);
            ASSERT_EQ(extent.Min, scanned.Min) << s << " " << from << ".." << to;
            ASSERT_EQ(extent.Max, scanned.Max) << s << " " << from << ".." << to;
        }
    }
    EXPECT_TRUE(samples.Extent(0, 10, 20).Empty());  // dropped long ago
}

TEST(PlotSamples, FindsTheRowOfATime) {
    TPlotSamples samples;
    for (const double time : {0.5, 0.5, 1.0, 2.0, 2.0, 3.5}) samples.Append(time, {1});
    EXPECT_EQ(samples.RowAt(0), 0u);
    EXPECT_EQ(samples.RowAt(0.5), 0u);
    EXPECT_EQ(samples.RowAt(0.7), 2u);
    EXPECT_EQ(samples.RowAt(2.0), 3u);
    EXPECT_EQ(samples.RowAt(3.6), 6u);
    samples.Append(1.0, {2});  // a clock that went back counts as the last time
    EXPECT_EQ(samples.Time(6), 3.5);
}

TEST(PlotSamples, ExportsEveryKeptRowAsCsv) {
    TPlotSamples samples(100);
    for (int i = 0; i < 3; ++i) samples.Append(0.001 * i, {static_cast<double>(-i)});
    samples.Append(1.25, {0.1, 2, 1e-7});
    samples.Append(2.5, {std::numeric_limits<double>::quiet_NaN(), -kInf, PlotMissing});
    samples.Append(3600.125, {PlotMissing, 123456789012345678.0, 1e300});
    std::string csv;
    std::size_t pieces = 0;
    samples.WriteCsv({"sin", "a,\"b\""}, [&](std::string_view Piece) {
        csv += Piece;
        ++pieces;
    });
    EXPECT_EQ(csv,
              "time,sin,\"a,\"\"b\"\"\",3\r\n"
              "0.000,0,,\r\n"
              "0.001,-1,,\r\n"
              "0.002,-2,,\r\n"
              "1.250,0.1,2,1e-07\r\n"
              "2.500,nan,-inf,\r\n"
              "3600.125,,123456789012345680,1e+300\r\n");

    // Long exports go out in pieces, every kept row once.
    pieces = 0;
    TPlotSamples many(1'000'000);
    AppendMade(many, 200'000, 4);
    std::size_t lines = 0;
    many.WriteCsv({}, [&](std::string_view Piece) {
        lines += static_cast<std::size_t>(std::count(Piece.begin(), Piece.end(), '\n'));
        ++pieces;
    });
    EXPECT_EQ(lines, 200'001u);
    EXPECT_GT(pieces, 10u);
}

TEST(PlotSamples, TakesAtMost16BytesAKeptValue) {
    for (const std::size_t series : {std::size_t{1}, std::size_t{8}, PlotMaxSeries}) {
        TPlotSamples samples(100'000);
        AppendMade(samples, 150'000, series);
        const double perValue = static_cast<double>(samples.MemoryBytes()) / (100'000.0 * static_cast<double>(series));
        EXPECT_LE(perValue, 16) << series;
    }
}

}  // namespace
