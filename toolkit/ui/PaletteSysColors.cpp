// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/PaletteSysColors.h"

#include <QGuiApplication>
#include <QPalette>

#include "toolkit/core/Canvas.h"

namespace {

TColor ToTColor(const QColor& Color) { return Color.red() | (Color.green() << 8) | (Color.blue() << 16); }

}  // namespace

TColor PaletteSysColor(int Index) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return DefaultSysColor(Index);
    const QPalette palette = QGuiApplication::palette();
    switch (Index) {
        case COLOR_BTNFACE: return ToTColor(palette.color(QPalette::Button));
        case COLOR_BTNSHADOW: return ToTColor(palette.color(QPalette::Dark));
        case COLOR_BTNHIGHLIGHT: return ToTColor(palette.color(QPalette::Light));
        case COLOR_BTNTEXT: return ToTColor(palette.color(QPalette::ButtonText));
        case COLOR_WINDOW: return ToTColor(palette.color(QPalette::Base));
        case COLOR_WINDOWTEXT: return ToTColor(palette.color(QPalette::WindowText));
        default: return DefaultSysColor(Index);
    }
}

void InstallPaletteSysColors() { SetSysColorProvider(PaletteSysColor); }
