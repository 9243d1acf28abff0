// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/StylePainting.h"

#include <QPainter>
#include <QPalette>

void ApplyTextStyle(QPainter& Painter, const TTextStyle& Style, const QPalette& Palette, bool Marked,
                    QColor& Background) {
    const auto colour = [](int32_t Rgb, const QColor& Default) {
        return Rgb == TTextStyle::kDefaultColour ? Default : QColor::fromRgb(static_cast<QRgb>(Rgb));
    };
    if (Marked) {
        Background = Palette.color(QPalette::Highlight);
        Painter.setPen(Palette.color(QPalette::HighlightedText));
    } else {
        QColor foreground = colour(Style.Foreground, Palette.color(QPalette::Text));
        Background = colour(Style.Background, QColor());
        if (Style.Has(TTextStyle::atReverse)) {
            const QColor back = Background.isValid() ? Background : Palette.color(QPalette::Base);
            Background = foreground;
            foreground = back;
        }
        if (Style.Has(TTextStyle::atFaint)) {
            // Half way to the area's background.
            const QColor base = Palette.color(QPalette::Base);
            foreground = QColor((foreground.red() + base.red()) / 2, (foreground.green() + base.green()) / 2,
                                (foreground.blue() + base.blue()) / 2);
        }
        Painter.setPen(foreground);
    }
    const bool bold = Style.Has(TTextStyle::atBold);
    const bool italic = Style.Has(TTextStyle::atItalic);
    const bool underline = Style.Has(TTextStyle::atUnderline);
    const QFont& current = Painter.font();
    if (current.bold() == bold && current.italic() == italic && current.underline() == underline) return;
    QFont font = current;
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    Painter.setFont(font);
}
