// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/SpilledChunks.h"

#include <algorithm>

TSpilledChunks::TSpilledChunks(QString Folder, std::size_t CachedChunks)
    : FFile(std::move(Folder)), FCache(std::max<std::size_t>(CachedChunks, 1)) {}

bool TSpilledChunks::Add(uint64_t Chunk, std::string_view Bytes) {
    const auto at = FFile.Write(Bytes.data(), Bytes.size());
    if (!at) return false;
    if (FChunks.empty()) FBase = Chunk;
    FChunks.push_back({*at, Bytes.size()});
    return true;
}

std::string_view TSpilledChunks::Read(uint64_t Chunk) const {
    ++FClock;
    TCached* oldest = &FCache.front();
    for (TCached& cached : FCache) {
        if (cached.Chunk == Chunk) {
            cached.Used = FClock;
            return cached.Bytes;
        }
        if (cached.Used < oldest->Used) oldest = &cached;
    }
    const TPlace& place = FChunks[Chunk - FBase];
    oldest->Bytes.resize(place.Bytes);
    // A chunk that cannot be read is tried again next time.
    oldest->Chunk = UINT64_MAX;
    if (!FFile.Read(place.Offset, oldest->Bytes.data(), place.Bytes)) return {};
    oldest->Chunk = Chunk;
    oldest->Used = FClock;
    return oldest->Bytes;
}

void TSpilledChunks::DropBefore(uint64_t Chunk) {
    for (; !FChunks.empty() && FBase < Chunk; ++FBase) FChunks.pop_front();
    if (FChunks.empty()) FFile.Rewind(0);
    for (TCached& cached : FCache)
        if (cached.Chunk < FBase) cached.Chunk = UINT64_MAX;
}
