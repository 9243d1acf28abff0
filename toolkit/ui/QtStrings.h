// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UTF-16 text between the toolkit's strings and Qt's, unit for unit.

#include <QString>
#include <string>
#include <string_view>

inline QString ToQString(std::u16string_view Text) {
    return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

inline std::u16string FromQString(const QString& Text) {
    return {reinterpret_cast<const char16_t*>(Text.utf16()), static_cast<std::size_t>(Text.size())};
}
