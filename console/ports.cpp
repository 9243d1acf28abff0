// SPDX-License-Identifier: GPL-3.0-or-later
// ostra-ports: lists the serial ports the engine finds, one per line, with
// what the system says about each (on Linux: device, maker and model, serial).
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "serial/OrvelSerialPort.h"
#include "serial/device/PortInfo.h"

namespace {

const char* const kUsage =
    "Usage: ostra-ports\n"
    "Lists the serial ports that Ostra Console finds, under the names it uses\n"
    "for them, without opening any.\n"
    "\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

#ifndef _WIN32
using TRow = std::array<std::string, 4>;

// Strings from devices reach the user's terminal: control characters (C0,
// DEL and C1, escape sequences among them) print as '?'.
std::string Printable(const std::string& Text) {
    UnicodeString units = AnsiToUnicode(Text);
    for (char16_t& unit : units)
        if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) unit = u'?';
    return UnicodeToAnsi(units);
}

// Columns two blanks apart, the last one unpadded.
void PrintColumns(const std::vector<TRow>& Rows) {
    TRow::size_type last = 0;
    std::array<std::size_t, 4> widths{};
    for (const TRow& row : Rows)
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
            if (!row[column].empty()) last = std::max(last, column);
        }
    for (const TRow& row : Rows) {
        std::string line;
        for (std::size_t column = 0; column <= last; ++column) {
            line += row[column];
            if (column < last) line.append(widths[column] + 2 - row[column].size(), ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::puts(line.c_str());
    }
}
#endif

void ListPorts(const TStringList& Names) {
#ifdef _WIN32
    for (int i = 0; i < Names.Count(); ++i) std::puts(Names[i].c_str());
#else
    std::vector<TRow> rows{{"PORT", "DEVICE", "MODEL", "SERIAL"}};
    for (int i = 0; i < Names.Count(); ++i) {
        const TPortInfo info = DescribePort(Names[i]);
        rows.push_back({Printable(Names[i]), Printable(info.Path), Printable(DeviceModel(info)), Printable(info.Serial)});
    }
    PrintColumns(rows);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::string argument = argv[1];
        if (argc == 2 && argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argc == 2 && argument == "--version") {
            std::puts("ostra-ports " OSTRA_VERSION);
            return 0;
        }
        std::fprintf(stderr, "ostra-ports: unexpected argument '%s'\n%s", argv[argc == 2 ? 1 : 2], kUsage);
        return 2;
    }
    TOrvelSerialPort port(nullptr);
    TStringList names;
    port.GetExistingCommPortNames(&names);
    if (names.Count() == 0) {
        std::puts("No serial ports found.");
        return 0;
    }
    ListPorts(names);
    return 0;
}
