// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/ReceivedPipeline.h"

#include <algorithm>

TReceivedPipeline::TReceivedPipeline(TTextSink& Sink)
    : FSink(Sink), FInterpreter(Sink), FLinesTold(Sink.LinesEnded()) {}

TListenerId TReceivedPipeline::AddBytesListener(int Rank, TBytesHandler Handler) {
    FBytesListeners.Add(FNextId, Rank, std::move(Handler));
    return FNextId++;
}

TListenerId TReceivedPipeline::AddTextStage(int Rank, TTextHandler Handler) {
    FTextStages.Add(FNextId, Rank, std::move(Handler));
    return FNextId++;
}

TListenerId TReceivedPipeline::AddLineListener(int Rank, TLineHandler Handler) {
    FLineListeners.Add(FNextId, Rank, std::move(Handler));
    return FNextId++;
}

void TReceivedPipeline::Remove(TListenerId Id) {
    FBytesListeners.Remove(Id);
    FTextStages.Remove(Id);
    FLineListeners.Remove(Id);
}

void TReceivedPipeline::Receive(const AnsiString& Bytes) {
    if (FTaker) return FTaker(Bytes);
    FBytesListeners.Call(Bytes);
    if (!FTextShown) return;
    std::u16string text = FDecoder.Decode(Bytes);
    FTextStages.Call(text);
    if (FTerminalCodes) FInterpreter.Write(text);
    else FSink.Append(text, TTextStyle{});
    FSink.Flush();
    TellEndedLines();
}

void TReceivedPipeline::TellEndedLines() {
    const uint64_t ended = FSink.LinesEnded();
    if (ended == FLinesTold) return;
    const uint64_t count = std::min<uint64_t>(ended - FLinesTold, FSink.LineCount() - 1);
    FLinesTold = ended;
    if (FLineListeners.Empty()) return;
    for (std::size_t line = FSink.LineCount() - 1 - count; line + 1 < FSink.LineCount(); ++line)
        FLineListeners.Call(FSink.LineText(line));
}

void TReceivedPipeline::AddOwnLine(std::u16string_view Text) {
    TellEndedLines();
    FSink.AppendNote(Text);
    FSink.Flush();
    FInterpreter.MoveToEnd();
    FLinesTold = FSink.LinesEnded();
}

void TReceivedPipeline::Reset() {
    FDecoder.Reset();
    FInterpreter.Reset();
}

void TReceivedPipeline::SetTerminalCodes(bool On) {
    if (On == FTerminalCodes) return;
    FTerminalCodes = On;
    // What was added meanwhile came as it was; the codes go on after it.
    if (On) FInterpreter.Reset();
}
