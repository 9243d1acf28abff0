// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes, in two reads split where the first byte says, through the
// interpreter into a store of lines; the sanitizers judge what happens.

#include <cstddef>
#include <cstdint>
#include <string>

#include "terminal/CodeInterpreter.h"
#include "tests/terminal/MemorySink.h"
#include "toolkit/core/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
    if (Size == 0) return 0;
    TMemorySink sink;
    sink.Rows = 1 + Data[0] % 8;
    sink.Columns = 1 + Data[0] % 40;
    TCodeInterpreter interpreter(sink);
    std::string replies;
    interpreter.SetReply([&](const std::string& Bytes) { replies += Bytes; });
    const std::string bytes(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    const std::size_t split = Data[0] < bytes.size() ? Data[0] : bytes.size();
    interpreter.Write(Utf8ToUnicode(bytes.substr(0, split)));
    interpreter.Write(Utf8ToUnicode(bytes.substr(split)));
    return 0;
}
