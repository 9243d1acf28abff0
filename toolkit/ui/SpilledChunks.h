// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The oldest chunks of a long session, moved out of memory to a scrollback
// file and read back from it through a small cache. Chunks are numbered in
// the session and go to the file in order; the owner keeps the newer ones in
// memory and decides when a chunk moves. Dropping this object removes the
// file.

#include <QString>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/ui/ScrollbackFile.h"
#include "toolkit/ui/SmallCache.h"

class TSpilledChunks {
public:
    // An empty Folder: the user's cache folder.
    explicit TSpilledChunks(QString Folder, std::size_t CachedChunks = 4);

    // The chunks in the file: Base() up to End().
    uint64_t Base() const { return FBase; }
    uint64_t End() const { return FBase + FChunks.size(); }
    bool Holds(uint64_t Chunk) const { return Chunk >= FBase && Chunk < End(); }

    // Writes chunk End() (any number while the file holds none); false, with
    // Error() saying why, when the file cannot take it.
    bool Add(uint64_t Chunk, std::string_view Bytes);
    // The bytes of a chunk held, valid until the next read; empty when the
    // system lost them.
    std::string_view Read(uint64_t Chunk) const;
    // Forgets the chunks before Chunk. Once none is left, the file is written
    // over from its start.
    void DropBefore(uint64_t Chunk);
    const QString& Error() const { return FFile.Error(); }

private:
    struct TPlace {
        uint64_t Offset;
        std::size_t Bytes;
    };

    mutable TScrollbackFile FFile;  // reading moves its place
    std::deque<TPlace> FChunks;
    uint64_t FBase = 0;
    mutable TSmallCache<std::string> FCache;
};
