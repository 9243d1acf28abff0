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
    const std::string* bytes = FCache.Get(Chunk, [&](std::string& Bytes) {
        const TPlace& place = FChunks[Chunk - FBase];
        Bytes.resize(place.Bytes);
        return FFile.Read(place.Offset, Bytes.data(), place.Bytes);
    });
    return bytes ? std::string_view(*bytes) : std::string_view();
}

void TSpilledChunks::DropBefore(uint64_t Chunk) {
    for (; !FChunks.empty() && FBase < Chunk; ++FBase) FChunks.pop_front();
    if (FChunks.empty()) FFile.Rewind(0);
    FCache.ForgetIf([this](uint64_t Cached) { return Cached < FBase; });
}
