// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/DateUtils.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace {

#ifdef _WIN32

SYSTEMTIME LocalSystemTime(std::time_t Time) {
    std::tm parts{};
    localtime_s(&parts, &Time);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(parts.tm_year + 1900);
    st.wMonth = static_cast<WORD>(parts.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    st.wDay = static_cast<WORD>(parts.tm_mday);
    st.wHour = static_cast<WORD>(parts.tm_hour);
    st.wMinute = static_cast<WORD>(parts.tm_min);
    st.wSecond = static_cast<WORD>(parts.tm_sec);
    return st;
}

AnsiString FromWide(const wchar_t* Text) {
    return UnicodeToAnsi(UnicodeString(reinterpret_cast<const char16_t*>(Text)));
}

#else

// LC_TIME as the user's environment sets it; the C formats when that locale is missing.
locale_t UserTimeLocale() {
    static const locale_t locale = [] {
        locale_t user = newlocale(LC_TIME_MASK, "", locale_t{});
        return user ? user : newlocale(LC_TIME_MASK, "C", locale_t{});
    }();
    return locale;
}

AnsiString FormatLocal(std::time_t Time, const char* Directive) {
    std::tm parts{};
    localtime_r(&Time, &parts);
    char text[128];
    const std::size_t length = strftime_l(text, sizeof text, Directive, &parts, UserTimeLocale());
    return AnsiString(text, length);
}

#endif

}  // namespace

#ifdef _WIN32

AnsiString DateToStr(std::time_t Time) {
    const SYSTEMTIME st = LocalSystemTime(Time);
    wchar_t text[128];
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 128)) return {};
    return FromWide(text);
}

AnsiString TimeToStr(std::time_t Time) {
    const SYSTEMTIME st = LocalSystemTime(Time);
    wchar_t text[128];
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 128)) return {};
    return FromWide(text);
}

#else

AnsiString DateToStr(std::time_t Time) { return FormatLocal(Time, "%x"); }

AnsiString TimeToStr(std::time_t Time) { return FormatLocal(Time, "%X"); }

#endif
