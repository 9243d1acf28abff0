// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/TextLines.h"

#include <algorithm>

#include <QString>

#include "toolkit/core/SysUtils.h"
#include "toolkit/ui/ScrollbackFile.h"

namespace {

constexpr char16_t kCarriageReturn = u'\r';
constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kTab = u'\t';
// Text kept in memory before the oldest goes to the scrollback file.
constexpr uint64_t kDefaultBudgetUnits = uint64_t{64} << 20;
// Chunks read back from the file: what is in view, what a search reads, and a few more.
constexpr std::size_t kCachedChunks = 4;

uint64_t CeilDiv(uint64_t A, uint64_t B) { return (A + B - 1) / B; }

}  // namespace

void TUnitChunk::Set(std::size_t Index, char16_t Unit) {
    if (!FWide && Unit > 0xFF) {
        // The first unit that needs two bytes: the units before it move over.
        FWide = std::make_unique_for_overwrite<char16_t[]>(FCapacity);
        if (FNarrow) std::copy(FNarrow.get(), FNarrow.get() + Index, FWide.get());
        FNarrow.reset();
    }
    if (FWide) {
        FWide[Index] = Unit;
        return;
    }
    if (!FNarrow) FNarrow = std::make_unique_for_overwrite<uint8_t[]>(FCapacity);
    FNarrow[Index] = static_cast<uint8_t>(Unit);
}

void TUnitChunk::CopyTo(std::size_t From, std::size_t Count, std::u16string& Out) const {
    if (FWide) Out.append(FWide.get() + From, FWide.get() + From + Count);
    else Out.append(FNarrow.get() + From, FNarrow.get() + From + Count);
}

const void* TUnitChunk::Storage() const {
    return FWide ? static_cast<const void*>(FWide.get()) : static_cast<const void*>(FNarrow.get());
}

void* TUnitChunk::Allocate(bool Wide) {
    FNarrow.reset();
    FWide.reset();
    if (Wide) {
        FWide = std::make_unique_for_overwrite<char16_t[]>(FCapacity);
        return FWide.get();
    }
    FNarrow = std::make_unique_for_overwrite<uint8_t[]>(FCapacity);
    return FNarrow.get();
}

TTextLines::TTextLines(std::size_t IndexBlockLines)
    : FBudgetChunks(kDefaultBudgetUnits / kChunkUnits), FCache(kCachedChunks), FIndex(IndexBlockLines) {
    Clear();
    StoreIndex();
}

TTextLines::~TTextLines() = default;

void TTextLines::Clear() {
    FChunks.clear();
    FChunkBase = 0;
    FSpilled.clear();
    FSpillBase = 0;
    FScrollback.reset();
    FScrollbackError.clear();
    FCache.Clear();
    FDataEnd = 0;
    FEditChunks.clear();
    FEditEnd = 0;
    FIndex.Clear();
    FIndexFile.reset();
    FNotes.clear();
    FCheckpoints.clear();
    FWidest = 0;
    FEndsWithCR = false;
    FStyleRuns.clear();
}

// ---- adding and replacing ----------------------------------------------------

void TTextLines::Append(std::u16string_view Text) {
    for (const char16_t unit : Text) {
        const bool pairedLineFeed = FEndsWithCR && unit == kLineFeed;
        FEndsWithCR = false;
        if (pairedLineFeed) continue;
        if (unit == kCarriageReturn || unit == kLineFeed) {
            EndLine();
            FEndsWithCR = unit == kCarriageReturn;
        } else {
            PushUnit(unit);
        }
    }
}

void TTextLines::AppendNote(std::u16string_view Text) {
    if (Text.empty()) return;
    const bool endsWithCR = FEndsWithCR;
    if (LineLength(LineCount() - 1) > 0) EndLine();
    PushNote(Text);
    FEndsWithCR = endsWithCR;
}

void TTextLines::PushNote(std::u16string_view Text) {
    FNotes.insert(FDataEnd);
    for (const char16_t unit : Text)
        if (unit != kCarriageReturn && unit != kLineFeed) PushUnit(unit);
    EndLine();
}

// An edit writes a note's line anew elsewhere: what is left is no longer the console's own.
bool TTextLines::IsNote(std::size_t Line) const {
    return Line + 1 < LineCount() && LineLength(Line) > 0 && FNotes.contains(LineData(Line));
}

std::u16string TTextLines::TextMarkingNotes(std::u16string_view Mark) const {
    std::u16string text;
    for (std::size_t line = 0; line < LineCount(); ++line) {
        if (IsNote(line)) text += Mark;
        CopyData(LineData(line), LineEndData(line), text);
        if (line + 1 < LineCount()) text += kLineFeed;
    }
    return text;
}

void TTextLines::PushUnit(char16_t Unit) {
    if (FDataEnd % kCheckpointSpacing == 0 && FDataEnd - FIndex.Last().Data >= kCheckpointSpacing)
        FCheckpoints.push_back({FDataEnd / kCheckpointSpacing, FIndex.LastCells()});
    if (FDataEnd / kChunkUnits == FChunkBase + FChunks.size()) {
        FChunks.emplace_back(kChunkUnits);
        Spill();
    }
    FChunks[FDataEnd / kChunkUnits - FChunkBase].Set(FDataEnd % kChunkUnits, Unit);
    ++FDataEnd;
    uint64_t& cells = FIndex.LastCells();
    cells = Advance(cells, Unit);
    FWidest = std::max(FWidest, cells);
}

void TTextLines::EndLine() {
    const TLineIndex::TLine last = FIndex.Last();
    FIndex.Push({FDataEnd, 0, last.Row + FIndex.RowsFor(last.Cells), last.Pos + (FDataEnd - last.Data) + 1});
}

void TTextLines::Replace(Position From, Position To, std::u16string_view Text) {
    const Position length = Length();
    From = std::min(From, length);
    To = std::clamp(To, From, length);
    const std::size_t first = LineAt(From);
    const std::size_t last = LineAt(To);
    if (last + 1 == LineCount()) return ReplaceAtTheEnd(From, To, Text);
    ReplaceInside(first, From - LineStart(first), last, To - LineStart(last), Text);
}

// The last line is the one appends go to: what follows From is written again
// at the end of the data. A CR typed there ends its own line, whatever follows.
void TTextLines::ReplaceAtTheEnd(Position From, Position To, std::u16string_view Text) {
    const std::size_t first = LineAt(From);
    const std::u16string rest = this->Text(To, Length());
    if (first + 1 == LineCount()) {
        TruncateData(From);
    } else {
        const std::u16string head = this->Text(LineStart(first), From);
        FDataEnd = FIndex.Last().Data;
        KeepLines(first + 1);
        FIndex.RestartLast(FDataEnd);
        FEndsWithCR = false;
        Append(head);
    }
    FEndsWithCR = false;
    Append(Text);
    FEndsWithCR = false;
    Append(rest);
    FEndsWithCR = false;
}

// The lines First to Last are written anew apart from the rest; the lines
// after them keep their data and move.
void TTextLines::ReplaceInside(std::size_t First, uint64_t FromUnit, std::size_t Last, uint64_t ToUnit,
                               std::u16string_view Text) {
    std::vector<std::u16string> texts{LineText(First).substr(0, FromUnit)};
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != kCarriageReturn && Text[i] != kLineFeed) {
            texts.back() += Text[i];
            continue;
        }
        if (Text[i] == kCarriageReturn && i + 1 < Text.size() && Text[i + 1] == kLineFeed) ++i;
        texts.emplace_back();
    }
    texts.back() += LineText(Last).substr(ToUnit);

    std::vector<TLineIndex::TLine> lines;
    Position pos = LinePos(First);
    uint64_t row = RowStart(First);
    for (const std::u16string& text : texts) {
        const uint64_t data = kEdited | FEditEnd;
        uint64_t cell = 0;
        for (const char16_t unit : text) {
            PushEdited(unit);
            cell = Advance(cell, unit);
        }
        FWidest = std::max(FWidest, cell);
        lines.push_back({data, cell, row, pos});
        pos += text.size() + 1;
        row += FIndex.RowsFor(cell);
    }
    const TLineIndex::TLine after = FIndex.Get(Last + 1);
    FIndex.Splice(First, Last + 1 - First, lines);
    FIndex.Shift(First + lines.size(), pos - after.Pos, row - after.Row);
}

void TTextLines::PushEdited(char16_t Unit) {
    if (FEditEnd / kChunkUnits == FEditChunks.size()) FEditChunks.emplace_back(kChunkUnits);
    FEditChunks.back().Set(FEditEnd % kChunkUnits, Unit);
    ++FEditEnd;
}

void TTextLines::KeepLines(std::size_t Count) {
    FIndex.KeepFirst(Count);
    while (!FCheckpoints.empty() && FCheckpoints.back().Index * kCheckpointSpacing >= FDataEnd) FCheckpoints.pop_back();
    Unspill(FDataEnd / kChunkUnits);
    FChunks.erase(FChunks.begin() + static_cast<std::ptrdiff_t>(CeilDiv(FDataEnd, kChunkUnits) - FChunkBase), FChunks.end());
}

// ---- styles ------------------------------------------------------------------

// No run reaches past the end, so the last one is the style at the end.
void TTextLines::SetStyle(uint32_t Style) {
    const auto endStyle = [&] { return FStyleRuns.empty() ? 0 : FStyleRuns.back().Style; };
    if (Style == endStyle()) return;
    if (!FStyleRuns.empty() && FStyleRuns.back().Data == FDataEnd) {
        FStyleRuns.pop_back();
        if (Style == endStyle()) return;
    }
    FStyleRuns.push_back({FDataEnd, Style});
}

uint32_t TTextLines::StyleAtData(uint64_t Data) const {
    const auto after = std::upper_bound(FStyleRuns.begin(), FStyleRuns.end(), Data,
                                        [](uint64_t D, const TStyleRun& Run) { return D < Run.Data; });
    return after == FStyleRuns.begin() ? 0 : std::prev(after)->Style;
}

uint64_t TTextLines::DataOf(Position Where) const {
    const std::size_t line = LineAt(Where);
    return LineData(line) + (Where - LineStart(line));
}

// Empty lines share their data offset with the line after them; a unit there belongs to the last.
TTextLines::Position TTextLines::PositionOfData(uint64_t Data) const {
    const std::size_t line = FIndex.PartitionPoint([&](const TLineIndex::TLine& L) { return L.Data <= Data; }) - 1;
    return LineStart(line) + (Data - LineData(line));
}

std::vector<std::pair<std::u16string, uint32_t>> TTextLines::StyledPieces(Position From, Position To) const {
    std::vector<std::pair<std::u16string, uint32_t>> pieces;
    const uint64_t fromData = DataOf(From);
    const uint64_t toData = DataOf(To);
    uint32_t style = StyleAtData(fromData);
    auto run = std::upper_bound(FStyleRuns.begin(), FStyleRuns.end(), fromData,
                                [](uint64_t D, const TStyleRun& Run) { return D < Run.Data; });
    Position start = From;
    for (; run != FStyleRuns.end() && run->Data < toData; ++run) {
        const Position at = PositionOfData(run->Data);
        if (at > start) pieces.emplace_back(Text(start, at), style);
        style = run->Style;
        start = std::max(start, at);
    }
    pieces.emplace_back(Text(start, To), style);
    return pieces;
}

void TTextLines::Put(Position From, Position To, std::u16string_view Text, uint32_t Style) {
    // Putting works on the received text in order; lines the user edited are
    // kept apart, so they join it first (rare: typing into received text).
    if (FEditEnd > 0) LayOutAnew();
    const Position length = Length();
    From = std::min(From, length);
    To = std::clamp(To, From, length);
    const auto rest = StyledPieces(To, length);
    const uint32_t current = StyleAtData(FDataEnd);
    TruncateData(From);
    FEndsWithCR = false;
    SetStyle(Style);
    Append(Text);
    for (const auto& [piece, style] : rest) {
        SetStyle(style);
        Append(piece);
    }
    SetStyle(current);
}

void TTextLines::TruncateData(Position From) {
    const std::size_t line = LineAt(From);
    const uint64_t unit = From - LineStart(line);
    const uint64_t cells = CellOf(line, unit);
    FDataEnd = LineData(line) + unit;
    KeepLines(line + 1);
    FIndex.LastCells() = cells;
    while (!FStyleRuns.empty() && FStyleRuns.back().Data > FDataEnd) FStyleRuns.pop_back();
}

void TTextLines::DropFrontLines(std::size_t Lines) {
    Lines = std::min(Lines, LineCount() - 1);
    if (Lines == 0) return;
    FIndex.DropFront(Lines);
    // Lines written by edits lie apart: the data before the first line is free
    // only when that line is where appends went.
    const uint64_t first = LineData(0);
    if (first & kEdited) return;
    FNotes.erase(FNotes.begin(), FNotes.lower_bound(first));
    for (; !FSpilled.empty() && (FSpillBase + 1) * kChunkUnits <= first; ++FSpillBase) FSpilled.pop_front();
    if (FSpilled.empty())
        for (; (FChunkBase + 1) * kChunkUnits <= first && !FChunks.empty(); ++FChunkBase) FChunks.pop_front();
    while (!FCheckpoints.empty() && FCheckpoints.front().Index < first / kCheckpointSpacing) FCheckpoints.pop_front();
    // The last run that starts before the first kept unit still gives it its style.
    while (FStyleRuns.size() > 1 && FStyleRuns[1].Data <= first) FStyleRuns.pop_front();
}

// ---- the scrollback file ----------------------------------------------------

void TTextLines::SetScrollback(uint64_t Units, std::u16string Folder) {
    FBudgetChunks = Units == 0 ? 0 : std::max<uint64_t>(1, Units / kChunkUnits);
    FScrollbackFolder = std::move(Folder);
    StoreIndex();
    Spill();
}

void TTextLines::StoreIndex() {
    if (FBudgetChunks == 0) return FIndex.SetStore({});
    FIndex.SetStore({
        .Write = [this](const void* Data, std::size_t Bytes) -> std::optional<uint64_t> {
            if (!FScrollbackError.empty()) return std::nullopt;
            if (!FIndexFile) FIndexFile = std::make_unique<TScrollbackFile>(QString::fromStdU16String(FScrollbackFolder));
            return FIndexFile->Write(Data, Bytes);
        },
        .Read = [this](uint64_t Offset, void* Data, std::size_t Bytes) {
            return FIndexFile && FIndexFile->Read(Offset, Data, Bytes);
        },
    });
}

// The last chunk takes the appends, so it always stays.
void TTextLines::Spill() {
    if (FBudgetChunks == 0 || !FScrollbackError.empty()) return;
    while (FChunks.size() > std::max<uint64_t>(FBudgetChunks, 1)) {
        if (!FScrollback) FScrollback = std::make_unique<TScrollbackFile>(QString::fromStdU16String(FScrollbackFolder));
        const TUnitChunk& oldest = FChunks.front();
        const auto at = FScrollback->Write(oldest.Storage(), oldest.StorageBytes());
        if (!at) {
            FScrollbackError = FScrollback->Error().toStdU16String();
            return;
        }
        if (FSpilled.empty()) FSpillBase = FChunkBase;
        FSpilled.push_back({*at, oldest.Wide()});
        FChunks.pop_front();
        ++FChunkBase;
    }
}

const TUnitChunk& TTextLines::SpilledChunk(uint64_t Chunk) const {
    return *FCache.Get(Chunk, [&](TUnitChunk& Units) {
        Units = LoadChunk(Chunk);
        return true;
    });
}

TUnitChunk TTextLines::LoadChunk(uint64_t Chunk) const {
    TUnitChunk units(kChunkUnits);
    const TSpilled& spilled = FSpilled[Chunk - FSpillBase];
    void* storage = units.Allocate(spilled.Wide);
    if (!FScrollback->Read(spilled.Offset, storage, units.StorageBytes()))
        // What the system lost of the file shows as such.
        for (std::size_t i = 0; i < kChunkUnits; ++i) units.Set(i, u'\uFFFD');
    return units;
}

void TTextLines::Unspill(uint64_t Chunk) {
    if (Chunk >= FChunkBase || FSpilled.empty()) return;
    for (; FChunkBase > Chunk && !FSpilled.empty(); FSpilled.pop_back()) {
        --FChunkBase;
        FChunks.push_front(LoadChunk(FChunkBase));
        FScrollback->Rewind(FSpilled.back().Offset);
    }
    FCache.ForgetIf([this](uint64_t Cached) { return Cached >= FChunkBase; });
}

// Lines wholly before the newest chunks the budget holds; a line the user
// edited lies elsewhere and ends the count.
std::size_t TTextLines::LinesOverBudget() const {
    if (FScrollbackError.empty() || FChunks.size() <= FBudgetChunks) return 0;
    const uint64_t keep = (FChunkBase + FChunks.size() - FBudgetChunks) * kChunkUnits;
    const std::size_t beyond = FIndex.PartitionPoint([&](const TLineIndex::TLine& Line) {
        return !(Line.Data & kEdited) && Line.Data <= keep;
    });
    return beyond == 0 ? 0 : beyond - 1;
}

// ---- reading -----------------------------------------------------------------

TTextLines::Position TTextLines::Length() const { return LineStart(LineCount() - 1) + LineLength(LineCount() - 1); }

TTextLines::Position TTextLines::LineStart(std::size_t Line) const { return LinePos(Line) - LinePos(0); }

uint64_t TTextLines::LineEndData(std::size_t Line) const { return LineData(Line) + LineLength(Line); }

uint64_t TTextLines::LineLength(std::size_t Line) const {
    return Line + 1 < LineCount() ? LinePos(Line + 1) - LinePos(Line) - 1 : FDataEnd - LineData(Line);
}

std::size_t TTextLines::LineAt(Position Where) const {
    const Position first = LinePos(0);
    const std::size_t after = FIndex.PartitionPoint([&](const TLineIndex::TLine& Line) { return Line.Pos - first <= Where; });
    return after == 0 ? 0 : after - 1;
}

char16_t TTextLines::UnitAtData(uint64_t Data) const { return ChunkOf(Data).Get(Data % kChunkUnits); }

void TTextLines::CopyData(uint64_t From, uint64_t To, std::u16string& Out) const {
    while (From < To) {
        const uint64_t inChunk = From % kChunkUnits;
        const uint64_t count = std::min(To - From, kChunkUnits - inChunk);
        ChunkOf(From).CopyTo(inChunk, count, Out);
        From += count;
    }
}

std::u16string TTextLines::Text(Position From, Position To) const {
    std::u16string text;
    To = std::min(To, Length());
    if (From >= To) return text;
    text.reserve(To - From);
    for (std::size_t line = LineAt(From); line < LineCount() && LineStart(line) < To; ++line) {
        const Position start = LineStart(line);
        const uint64_t first = From > start ? From - start : 0;
        const uint64_t last = std::min(LineLength(line), To - start);
        const uint64_t data = LineData(line);
        if (first < last) CopyData(data + first, data + last, text);
        if (start + LineLength(line) < To && line + 1 < LineCount()) text += kLineFeed;
    }
    return text;
}

std::u16string TTextLines::LineText(std::size_t Line) const {
    std::u16string text;
    CopyData(LineData(Line), LineEndData(Line), text);
    return text;
}

// ---- finding -----------------------------------------------------------------

std::optional<TTextLines::Position> TTextLines::Find(std::u16string_view Needle, Position From, bool Forward) const {
    if (Needle.empty()) return std::nullopt;
    From = std::min(From, Length());
    std::u16string window;
    const std::size_t startLine = LineAt(From);
    const uint64_t startUnit = From - LineStart(startLine);
    // Each line's entry is read once: a line ends where the next one starts.
    const auto entryAfter = [&](std::size_t Line) {
        return Line + 1 < LineCount() ? std::optional(FIndex.Get(Line + 1)) : std::nullopt;
    };
    TLineIndex::TLine entry = FIndex.Get(startLine);
    std::optional<TLineIndex::TLine> after = entryAfter(startLine);
    for (std::size_t line = startLine;; Forward ? ++line : --line) {
        const uint64_t length = after ? after->Pos - entry.Pos - 1 : FDataEnd - entry.Data;
        const uint64_t first = Forward && line == startLine ? startUnit : 0;
        const uint64_t last = !Forward && line == startLine ? startUnit : length;
        if (const auto found = FindInData(entry.Data + first, entry.Data + last, Needle, Forward, window))
            return entry.Pos - LinePos(0) + (*found - entry.Data);
        if (Forward ? !after : line == 0) return std::nullopt;
        if (Forward) {
            entry = *after;
            after = entryAfter(line + 1);
        } else {
            after = entry;
            entry = FIndex.Get(line - 1);
        }
    }
}

// Searches a window of the data at a time, windows overlapping by the
// needle's length less one, so that a long line is never copied whole.
std::optional<uint64_t> TTextLines::FindInData(uint64_t From, uint64_t To, std::u16string_view Needle, bool Forward,
                                               std::u16string& Window) const {
    const uint64_t overlap = Needle.size() - 1;
    for (uint64_t start = From, end = To; end - start >= Needle.size();) {
        const uint64_t lo = Forward ? start : end - std::min(end - start, kChunkUnits + overlap);
        const uint64_t hi = Forward ? std::min(end, start + kChunkUnits + overlap) : end;
        Window.clear();
        CopyData(lo, hi, Window);
        const auto found = Forward ? std::search(Window.begin(), Window.end(), Needle.begin(), Needle.end())
                                   : std::find_end(Window.begin(), Window.end(), Needle.begin(), Needle.end());
        if (found != Window.end()) return lo + static_cast<uint64_t>(found - Window.begin());
        if (Forward ? hi == end : lo == start) break;
        if (Forward) start = hi - overlap;
        else end = lo + overlap;
    }
    return std::nullopt;
}

// ---- cells and rows ----------------------------------------------------------

// The high half of a surrogate pair takes no cell, so that a pair never splits over two rows.
uint64_t TTextLines::Advance(uint64_t Cell, char16_t Unit) const {
    if (Unit == kTab) return NextTabStop(Cell);
    return IsHighSurrogate(Unit) ? Cell : Cell + 1;
}

uint64_t TTextLines::NextTabStop(uint64_t Cell) const {
    const auto next = std::upper_bound(FTabStops.begin(), FTabStops.end(), Cell);
    if (next != FTabStops.end()) return *next;
    const uint64_t last = FTabStops.back();
    const uint64_t interval = FTabStops.size() > 1 ? last - FTabStops[FTabStops.size() - 2] : last;
    return last + ((Cell - last) / interval + 1) * interval;
}

void TTextLines::SetTabStops(std::vector<uint64_t> Stops) {
    std::vector<uint64_t> rising;
    for (const uint64_t stop : Stops)
        if (stop > (rising.empty() ? 0 : rising.back())) rising.push_back(stop);
    if (rising.empty()) rising.push_back(8);
    if (rising == FTabStops) return;
    FTabStops = std::move(rising);
    // The cells of every line change with the stops.
    LayOutAnew();
}

// Every line is written again in order, so the edits' lines join the rest.
void TTextLines::LayOutAnew() {
    const bool endsWithCR = FEndsWithCR;
    std::deque<TStyleRun> runs = std::move(FStyleRuns);
    const uint64_t first = LineData(0);
    std::vector<std::pair<bool, std::u16string>> lines;
    for (std::size_t line = 0; line < LineCount(); ++line) lines.emplace_back(IsNote(line), LineText(line));
    Clear();
    for (std::size_t line = 0; line < lines.size(); ++line) {
        if (lines[line].first) {
            PushNote(lines[line].second);
            continue;
        }
        Append(lines[line].second);
        if (line + 1 < lines.size()) EndLine();
    }
    FEndsWithCR = endsWithCR;
    for (TStyleRun& run : runs) run.Data = run.Data > first ? run.Data - first : 0;
    FStyleRuns = std::move(runs);
}

uint64_t TTextLines::RowsOf(std::size_t Line) const { return FIndex.RowsFor(LineCells(Line)); }

void TTextLines::SetColumns(uint64_t Columns) {
    if (Columns == FColumns) return;
    FColumns = Columns;
    FIndex.SetColumns(Columns);
}

uint64_t TTextLines::RowCount() const { return FirstRowOf(LineCount() - 1) + RowsOf(LineCount() - 1); }

std::size_t TTextLines::LineOfRow(uint64_t Row) const {
    const uint64_t absolute = RowStart(0) + std::min(Row, RowCount() - 1);
    return FIndex.PartitionPoint([&](const TLineIndex::TLine& Line) { return Line.Row <= absolute; }) - 1;
}

std::pair<uint64_t, uint64_t> TTextLines::ResumePoint(std::size_t Line, uint64_t Cell, uint64_t Unit) const {
    const uint64_t start = LineData(Line);
    // Lines written by edits have no checkpoints: they are counted from their start.
    if (start & kEdited) return {start, 0};
    const uint64_t end = std::min(LineEndData(Line), start + Unit);
    const auto byIndex = [](const TCheckpoint& Checkpoint, uint64_t Index) { return Checkpoint.Index < Index; };
    const auto first = std::lower_bound(FCheckpoints.begin(), FCheckpoints.end(), CeilDiv(start, kCheckpointSpacing), byIndex);
    const auto last = std::lower_bound(first, FCheckpoints.end(), CeilDiv(end, kCheckpointSpacing), byIndex);
    const auto after = std::partition_point(first, last, [&](const TCheckpoint& Checkpoint) { return Checkpoint.Cells < Cell; });
    if (after == first) return {start, 0};
    return {std::prev(after)->Index * kCheckpointSpacing, std::prev(after)->Cells};
}

uint64_t TTextLines::CellOf(std::size_t Line, uint64_t Unit) const {
    const uint64_t target = LineData(Line) + std::min(Unit, LineLength(Line));
    auto [data, cell] = ResumePoint(Line, UINT64_MAX, Unit);
    for (; data < target; ++data) cell = Advance(cell, UnitAtData(data));
    return cell;
}

std::pair<uint64_t, uint64_t> TTextLines::Seek(std::size_t Line, uint64_t Cell) const {
    const uint64_t end = LineEndData(Line);
    auto [data, cell] = ResumePoint(Line, Cell, UINT64_MAX);
    for (; data < end && cell < Cell; ++data) cell = Advance(cell, UnitAtData(data));
    return {data, cell};
}

uint64_t TTextLines::UnitAt(std::size_t Line, uint64_t Cell) const { return Seek(Line, Cell).first - LineData(Line); }

TTextLines::TRow TTextLines::Row(uint64_t Row) const {
    TRow row;
    row.Line = LineOfRow(Row);
    const uint64_t inLine = std::min(Row, RowCount() - 1) - FirstRowOf(row.Line);
    const auto [data, cell] = Seek(row.Line, inLine * FColumns);
    ReadRow(row, inLine, data, cell);
    return row;
}

std::vector<TTextLines::TRow> TTextLines::Rows(uint64_t First, uint64_t Count) const {
    std::vector<TRow> rows;
    const uint64_t end = std::min(RowCount(), First + Count);
    for (uint64_t at = First; at < end; ++at) {
        const TRow* before = rows.empty() ? nullptr : &rows.back();
        if (!before || at - FirstRowOf(before->Line) >= RowsOf(before->Line)) {
            rows.push_back(Row(at));
            continue;
        }
        TRow row;
        row.Line = before->Line;
        const uint64_t data = LineData(row.Line) + before->FirstUnit + before->Units.size();
        ReadRow(row, at - FirstRowOf(row.Line), data, before->EndCell);
        rows.push_back(std::move(row));
    }
    return rows;
}

void TTextLines::ReadRow(TRow& Row, uint64_t InLine, uint64_t Data, uint64_t Cell) const {
    Row.FirstCell = InLine * FColumns;
    Row.FirstUnit = Data - LineData(Row.Line);
    const uint64_t endCell = FColumns == 0 ? UINT64_MAX : Row.FirstCell + FColumns;
    const uint64_t end = LineEndData(Row.Line);
    const uint64_t first = Data;
    for (; Data < end && Cell < endCell; ++Data) {
        const char16_t unit = UnitAtData(Data);
        Row.Units += unit;
        Row.Cells.push_back(Cell);
        Cell = Advance(Cell, unit);
    }
    Row.EndCell = Cell;
    if (FStyleRuns.empty()) return;
    Row.Styles.reserve(Row.Units.size());
    auto run = std::upper_bound(FStyleRuns.begin(), FStyleRuns.end(), first,
                                [](uint64_t D, const TStyleRun& Run) { return D < Run.Data; });
    uint32_t style = StyleAtData(first);
    for (uint64_t at = first; at < Data; ++at) {
        for (; run != FStyleRuns.end() && run->Data <= at; ++run) style = run->Style;
        Row.Styles.push_back(style);
    }
}
