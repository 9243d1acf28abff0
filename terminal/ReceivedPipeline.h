// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one path of received data, on the main thread, in this order:
//   1. byte listeners see the bytes as they came (the hex view, then the
//      screen of terminal mode);
//   2. the decoder turns them into text in the code page;
//   3. text stages see that text and may rewrite it (control characters by
//      name, then time stamps), and text listeners read what they leave;
//   4. the terminal codes in the text are applied to the store (or, when
//      they are switched off, the text goes to the store as it is);
//   5. line listeners see each line that ended, as the store keeps it.
// Within each kind, handlers run in the order of their ranks; the ranks of
// the window's own parts are named below. A part that wants received data
// adds a handler here, never wraps another's.

#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/CodeInterpreter.h"
#include "terminal/ListenerList.h"
#include "terminal/TextSink.h"
#include "toolkit/core/TextDecoder.h"

class TReceivedPipeline {
public:
    // Ranks of the byte listeners.
    static constexpr int kRankHexView = 100;
    static constexpr int kRankTerminalScreen = 200;
    // Ranks of the text stages.
    static constexpr int kRankControlNames = 100;
    static constexpr int kRankTimestamps = 200;
    // Text listeners that only read go after every stage that rewrites.
    static constexpr int kRankTextListeners = 1000;
    // Ranks of the line listeners.
    static constexpr int kRankPlot = 100;

    using TBytesHandler = std::function<void(std::string_view Bytes)>;
    using TTextHandler = std::function<void(std::u16string& Text)>;
    using TLineHandler = std::function<void(std::u16string_view Line)>;

    explicit TReceivedPipeline(TTextSink& Sink);

    TListenerId AddBytesListener(int Rank, TBytesHandler Handler);
    TListenerId AddTextStage(int Rank, TTextHandler Handler);
    TListenerId AddLineListener(int Rank, TLineHandler Handler);
    void Remove(TListenerId Id);
    // While set, received bytes go to the taker alone, as they came, and not
    // on down the path: a file transfer takes them raw. Empty ends it.
    void SetTaker(TBytesHandler Taker) { FTaker = std::move(Taker); }

    // Received bytes, as the port delivered them.
    void Receive(const AnsiString& Bytes);
    // Puts a line of the console's own after what was received, on a line of
    // its own that views show apart. Line listeners do not see it.
    void AddOwnLine(std::u16string_view Text);
    // A new session: a character or sequence cut off by the old one is forgotten.
    void Reset();

    // On by default; off, the codes show as the characters they are made of.
    void SetTerminalCodes(bool On);
    bool TerminalCodes() const { return FTerminalCodes; }
    TCodeInterpreter& Interpreter() { return FInterpreter; }
    // Off while terminal mode shows the bytes on its screen: then nothing is
    // decoded or added to the store, and the byte listeners alone see the data.
    void SetTextShown(bool On) { FTextShown = On; }

private:
    void TellEndedLines();

    TTextSink& FSink;
    TTextDecoder FDecoder;
    TCodeInterpreter FInterpreter;
    bool FTerminalCodes = true;
    bool FTextShown = true;
    TListenerList<std::string_view> FBytesListeners;
    TListenerList<std::u16string&> FTextStages;
    TListenerList<std::u16string_view> FLineListeners;
    TBytesHandler FTaker;
    TListenerId FNextId = 1;
    uint64_t FLinesTold = 0;
};
