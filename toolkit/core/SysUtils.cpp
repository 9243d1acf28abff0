// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/SysUtils.h"

#include <cerrno>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool IsBlank(char32_t c) { return c <= 32; }

template <class Str>
Str TrimBlanks(const Str& S) {
    std::size_t first = 0, last = S.size();
    while (first < last && IsBlank(static_cast<std::make_unsigned_t<typename Str::value_type>>(S[first]))) ++first;
    while (last > first && IsBlank(static_cast<std::make_unsigned_t<typename Str::value_type>>(S[last - 1]))) --last;
    return S.substr(first, last - first);
}

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(UnicodeString& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Length of the valid UTF-8 sequence at S[i] and its code point, or 0.
std::size_t DecodeUtf8(const std::string& S, std::size_t i, char32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(S[k]); };
    const unsigned char b0 = byte(i);
    std::size_t len;
    char32_t min;
    if (b0 < 0x80) { cp = b0; return 1; }
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > S.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

[[noreturn]] void InvalidInteger(const AnsiString& S) {
    throw EConvertError(Format("'%s' is not a valid integer value", {S}));
}

[[noreturn]] void InvalidFormat(const AnsiString& Fmt) {
    throw EConvertError(Format("Format '%s' invalid or incompatible with argument", {Fmt}));
}

}  // namespace

TVarRec::TVarRec(const UnicodeString& Value) : FValue(UnicodeToUtf8(Value)) {}

AnsiString Format(const AnsiString& Fmt, std::initializer_list<TVarRec> Args) {
    AnsiString out;
    auto arg = Args.begin();
    for (std::size_t i = 0; i < Fmt.size(); ++i) {
        if (Fmt[i] != '%') {
            out.push_back(Fmt[i]);
            continue;
        }
        if (++i == Fmt.size()) InvalidFormat(Fmt);
        const char directive = Fmt[i];
        if (directive == '%') {
            out.push_back('%');
            continue;
        }
        if (arg == Args.end()) InvalidFormat(Fmt);
        const auto& value = arg->Value();
        ++arg;
        if (directive == 's' && std::holds_alternative<AnsiString>(value))
            out += std::get<AnsiString>(value);
        else if (directive == 'd' && std::holds_alternative<int64_t>(value))
            out += IntToStr(std::get<int64_t>(value));
        else
            InvalidFormat(Fmt);
    }
    return out;
}

AnsiString IntToStr(int64_t Value) { return std::to_string(Value); }

int32_t StrToInt(const AnsiString& S) {
    std::size_t i = 0;
    while (i < S.size() && static_cast<unsigned char>(S[i]) <= 32) ++i;
    bool negative = false;
    if (i < S.size() && (S[i] == '-' || S[i] == '+')) negative = S[i++] == '-';
    int base = 10;
    if (i < S.size() && S[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == S.size()) InvalidInteger(S);
    int64_t value = 0;
    for (; i < S.size(); ++i) {
        const char c = S[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else InvalidInteger(S);
        if (digit >= base) InvalidInteger(S);
        value = value * base + digit;
        if (value > int64_t{std::numeric_limits<uint32_t>::max()}) InvalidInteger(S);
    }
    if (base == 16 && !negative) return static_cast<int32_t>(static_cast<uint32_t>(value));
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        InvalidInteger(S);
    return static_cast<int32_t>(value);
}

AnsiString Trim(const AnsiString& S) { return TrimBlanks(S); }
UnicodeString Trim(const UnicodeString& S) { return TrimBlanks(S); }

UnicodeString Utf8ToUnicode(const std::string& S) {
    UnicodeString out;
    out.reserve(S.size());
    for (std::size_t i = 0; i < S.size();) {
        char32_t cp;
        const std::size_t len = DecodeUtf8(S, i, cp);
        if (len == 0) {
            out.push_back(kReplacement);
            ++i;
        } else {
            AppendUtf16(out, cp);
            i += len;
        }
    }
    return out;
}

std::string UnicodeToUtf8(const UnicodeString& S) {
    std::string out;
    out.reserve(S.size());
    for (std::size_t i = 0; i < S.size(); ++i) {
        char32_t cp = S[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < S.size() && S[i + 1] >= 0xDC00 && S[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (S[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;  // a lone surrogate has no UTF-8 form
        }
        AppendUtf8(out, cp);
    }
    return out;
}

#ifdef _WIN32

UnicodeString AnsiToUnicode(const AnsiString& S) {
    if (S.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), nullptr, 0);
    UnicodeString out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

bool AnsiCodePageIsUtf8() { return GetACP() == CP_UTF8; }

AnsiString UnicodeToAnsi(const UnicodeString& S) {
    if (S.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(S.data());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(S.size()), nullptr, 0, nullptr, nullptr);
    AnsiString out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(S.size()), out.data(), n, nullptr, nullptr);
    return out;
}

AnsiString SysErrorMessage(int ErrorCode) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(ErrorCode), 0,
                                   reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (n == 0 || buffer == nullptr) return {};
    UnicodeString text(reinterpret_cast<const char16_t*>(buffer), n);
    LocalFree(buffer);
    // The system's text ends in a line break that no message built around it wants.
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
    return UnicodeToAnsi(text);
}

#else

UnicodeString AnsiToUnicode(const AnsiString& S) { return Utf8ToUnicode(S); }
AnsiString UnicodeToAnsi(const UnicodeString& S) { return UnicodeToUtf8(S); }
bool AnsiCodePageIsUtf8() { return true; }

AnsiString SysErrorMessage(int ErrorCode) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may not be in the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strerror_r(ErrorCode, buffer, sizeof buffer);
#else
    if (strerror_r(ErrorCode, buffer, sizeof buffer) != 0) return "Unknown error " + IntToStr(ErrorCode);
    return buffer;
#endif
}

#endif
