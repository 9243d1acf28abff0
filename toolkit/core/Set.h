// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A set over the ordinals 0..N-1 of an enumeration, one bit per member.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

template <class Enum, std::size_t N>
class Set {
public:
    Set() = default;
    Set(std::initializer_list<Enum> Members) {
        for (Enum m : Members) Include(m);
    }

    bool Contains(Enum m) const { return Index(m) < N && FBits.test(Index(m)); }
    Set& Include(Enum m) {
        if (Index(m) < N) FBits.set(Index(m));
        return *this;
    }
    Set& Exclude(Enum m) {
        if (Index(m) < N) FBits.reset(Index(m));
        return *this;
    }
    bool Empty() const { return FBits.none(); }
    std::size_t Count() const { return FBits.count(); }
    void Clear() { FBits.reset(); }

    // The low 64 members as a bit mask (bit n = ordinal n), for streaming.
    uint64_t ToMask() const {
        uint64_t mask = 0;
        for (std::size_t i = 0; i < N && i < 64; ++i)
            if (FBits.test(i)) mask |= uint64_t{1} << i;
        return mask;
    }
    static Set FromMask(uint64_t Mask) {
        Set s;
        for (std::size_t i = 0; i < N && i < 64; ++i)
            if (Mask & (uint64_t{1} << i)) s.FBits.set(i);
        return s;
    }

    friend bool operator==(const Set& a, const Set& b) { return a.FBits == b.FBits; }
    Set operator+(const Set& o) const { Set r = *this; r.FBits |= o.FBits; return r; }
    Set operator-(const Set& o) const { Set r = *this; r.FBits &= ~o.FBits; return r; }
    Set operator*(const Set& o) const { Set r = *this; r.FBits &= o.FBits; return r; }

private:
    static std::size_t Index(Enum m) { return static_cast<std::size_t>(m); }
    std::bitset<N> FBits;
};
