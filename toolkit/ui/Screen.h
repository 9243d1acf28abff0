// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The screen object: the program's table of numbered mouse cursors.

#include <QCursor>
#include <cstdint>
#include <map>

// A cursor number; 0 is the platform's default arrow.
using TCursor = int32_t;
constexpr TCursor crDefault = 0;

class TCursorTable {
public:
    // The cursor stored under Index; a number never stored gives the arrow.
    QCursor& operator[](TCursor Index) { return FCursors[Index]; }
    // Releases every cursor (while the application still exists).
    void Clear() { FCursors.clear(); }

private:
    std::map<TCursor, QCursor> FCursors;
};

class TScreen {
public:
    TCursorTable Cursors;
};

// Screen->Cursors[99] = ... ; the object is made on first use, so code that
// runs at start-up may use it in any order.
struct TScreenAccess {
    TScreen* operator->() const;
};
inline constexpr TScreenAccess Screen{};
