// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a run of text in a TTextStyle is drawn with the widget's palette: the
// pen, the font's bold, italic and underline, and the background to fill
// (invalid: none). Marked text is drawn as the palette highlights it.

#include <QColor>

#include "terminal/TextStyle.h"

class QPainter;
class QPalette;

void ApplyTextStyle(QPainter& Painter, const TTextStyle& Style, const QPalette& Palette, bool Marked,
                    QColor& Background);
