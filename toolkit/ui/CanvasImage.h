// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shows a canvas on screen without blurring its one-pixel lines.

#include <QImage>

#include "toolkit/core/Canvas.h"

// The canvas as an image in device pixels with the given device-pixel ratio,
// so a painter draws it one to one at the canvas's logical size. Each device
// pixel takes the colour of the logical pixel it falls in: whole ratios give
// exact blocks, and fractional ones never blend neighbouring pixels.
QImage CanvasImage(const TCanvas& Canvas, qreal DevicePixelRatio);
