// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Strings, conversions, Format and the base exceptions of the toolkit.

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <variant>

// 8-bit string: one byte per character, never converted.
using AnsiString = std::string;
// UTF-16 string, the text of the user interface.
using UnicodeString = std::u16string;

// The halves of a UTF-16 surrogate pair, which stands for one character
// outside the basic plane.
constexpr bool IsHighSurrogate(char16_t Unit) { return Unit >= 0xD800 && Unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t Unit) { return Unit >= 0xDC00 && Unit <= 0xDFFF; }

class Exception : public std::exception {
public:
    explicit Exception(AnsiString Msg) : FMessage(std::move(Msg)) {}
    const AnsiString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    AnsiString FMessage;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// One argument of Format: an integer or a string.
class TVarRec {
public:
    template <class T>
        requires std::is_integral_v<T>
    TVarRec(T Value) : FValue(static_cast<int64_t>(Value)) {}
    TVarRec(const char* Value) : FValue(AnsiString(Value)) {}
    TVarRec(AnsiString Value) : FValue(std::move(Value)) {}
    TVarRec(const UnicodeString& Value);

    const std::variant<int64_t, AnsiString>& Value() const { return FValue; }

private:
    std::variant<int64_t, AnsiString> FValue;
};

// Formats %s (string) and %d (integer) directives and %%; any other
// directive, an argument of the wrong kind or too few arguments raise
// EConvertError. Arguments left over are ignored.
AnsiString Format(const AnsiString& Fmt, std::initializer_list<TVarRec> Args);

AnsiString IntToStr(int64_t Value);
// Decimal, or hexadecimal with a leading '$' or "0x"; leading blanks and a sign
// are accepted. Anything else, or a value out of the 32-bit range, raises
// EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const AnsiString& S);

// Removes leading and trailing characters of code 32 or less.
AnsiString Trim(const AnsiString& S);
UnicodeString Trim(const UnicodeString& S);

// The system's ANSI code page: UTF-8 on POSIX, CP_ACP on Windows. Bytes that
// are not valid in it decode to U+FFFD.
UnicodeString AnsiToUnicode(const AnsiString& S);
AnsiString UnicodeToAnsi(const UnicodeString& S);
// Whether that code page is UTF-8: always on POSIX, on Windows where the
// program's manifest asked for it and the system honoured that.
bool AnsiCodePageIsUtf8();
// UTF-8 on every platform (messages, file formats).
UnicodeString Utf8ToUnicode(const std::string& S);
std::string UnicodeToUtf8(const UnicodeString& S);

// The platform's text for an error code (strerror on POSIX).
AnsiString SysErrorMessage(int ErrorCode);
