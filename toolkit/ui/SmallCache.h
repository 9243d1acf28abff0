// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A few items read back from a file, by number, so that a reader moving
// about a small stretch reads each once; the one used longest ago makes room.

#include <algorithm>
#include <cstdint>
#include <vector>

template <typename T>
class TSmallCache {
public:
    explicit TSmallCache(std::size_t Size) : FEntries(std::max<std::size_t>(Size, 1)) {}

    // Item Key; when it is not held, Load(Item) fills a slot with it and says
    // whether it could, and a slot it could not fill is tried again next time.
    template <typename TLoad>
    T* Get(uint64_t Key, TLoad&& Load) {
        ++FClock;
        // Readers mostly stay with one item a while.
        if (FEntries[FLast].Key == Key) return Use(FLast);
        std::size_t oldest = 0;
        for (std::size_t i = 0; i < FEntries.size(); ++i) {
            if (FEntries[i].Key == Key) return Use(i);
            if (FEntries[i].Used < FEntries[oldest].Used) oldest = i;
        }
        TEntry& entry = FEntries[oldest];
        entry.Key = kNone;
        if (!Load(entry.Item)) return nullptr;
        entry.Key = Key;
        return Use(oldest);
    }
    // Forgets the items whose numbers Gone(Key) names.
    template <typename TGone>
    void ForgetIf(TGone&& Gone) {
        for (TEntry& entry : FEntries)
            if (entry.Key != kNone && Gone(entry.Key)) entry.Key = kNone;
    }
    void Clear() {
        ForgetIf([](uint64_t) { return true; });
    }

private:
    static constexpr uint64_t kNone = UINT64_MAX;
    T* Use(std::size_t Entry) {
        FLast = Entry;
        FEntries[Entry].Used = FClock;
        return &FEntries[Entry].Item;
    }

    struct TEntry {
        uint64_t Key = kNone;
        uint64_t Used = 0;
        T Item{};
    };
    std::vector<TEntry> FEntries;
    uint64_t FClock = 0;
    std::size_t FLast = 0;  // the entry read last
};
