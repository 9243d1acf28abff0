// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the received-data pipeline puts text: a store of lines, each with
// runs of styles, that a view shows.

#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/TextStyle.h"

class TTextSink {
public:
    // Places in the text: one per UTF-16 unit and one per line end.
    using Position = uint64_t;

    virtual ~TTextSink() = default;

    virtual std::size_t LineCount() const = 0;
    virtual Position LineStart(std::size_t Line) const = 0;
    virtual uint64_t LineLength(std::size_t Line) const = 0;
    virtual std::u16string LineText(std::size_t Line) const = 0;
    // Lines ended since the store was made, counting those it no longer keeps.
    virtual uint64_t LinesEnded() const = 0;
    // Adds Text at the end; "\r", "\n" and "\r\n" end a line.
    virtual void Append(std::u16string_view Text, const TTextStyle& Style) = 0;
    // Puts Text ("\n" ends a line) in place of From..To; what follows keeps its styles.
    virtual void Put(Position From, Position To, std::u16string_view Text, const TTextStyle& Style) = 0;
    // Adds a line of the console's own after the text, apart from what was
    // received: views show it in a style of their own.
    virtual void AppendNote(std::u16string_view Text) = 0;
    // The pipeline is done with a block of received data: show what changed.
    virtual void Flush() = 0;
    // The rows and columns the area shows at once: the screen that cursor
    // movements and position reports refer to.
    virtual int ScreenRows() const = 0;
    virtual int ScreenColumns() const = 0;
};
