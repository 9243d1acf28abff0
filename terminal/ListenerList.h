// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Handlers called in the order of their ranks (lowest first; equal ranks in
// the order they were added). A handler may remove itself or another while
// the list is being called.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

using TListenerId = uint64_t;

template <class... Args>
class TListenerList {
public:
    using THandler = std::function<void(Args...)>;

    void Add(TListenerId Id, int Rank, THandler Handler) {
        const auto after = std::upper_bound(FEntries.begin(), FEntries.end(), Rank,
                                            [](int R, const TEntry& Entry) { return R < Entry.Rank; });
        FEntries.insert(after, TEntry{Id, Rank, std::move(Handler), false});
    }
    // While the list is called the entry stays in its place, only marked, so
    // that no other entry moves and a handler that removes itself lives on.
    void Remove(TListenerId Id) {
        for (TEntry& entry : FEntries)
            if (entry.Id == Id) entry.Removed = true;
        if (FCalling == 0) Compact();
    }
    bool Empty() const { return FEntries.empty(); }
    void Call(Args... Arguments) {
        ++FCalling;
        for (std::size_t i = 0; i < FEntries.size(); ++i)
            if (!FEntries[i].Removed) FEntries[i].Handler(Arguments...);
        if (--FCalling == 0) Compact();
    }

private:
    struct TEntry {
        TListenerId Id;
        int Rank;
        THandler Handler;
        bool Removed = false;
    };
    void Compact() {
        std::erase_if(FEntries, [](const TEntry& Entry) { return Entry.Removed; });
    }

    std::vector<TEntry> FEntries;
    int FCalling = 0;
};
