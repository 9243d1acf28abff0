// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/CanvasImage.h"

#include <QtMath>
#include <algorithm>
#include <vector>

namespace {

// The logical pixel under the centre of each device pixel along one axis.
std::vector<int> SourceIndexes(int LogicalSize, int DeviceSize, qreal Ratio) {
    std::vector<int> indexes(static_cast<std::size_t>(DeviceSize));
    for (int d = 0; d < DeviceSize; ++d)
        indexes[static_cast<std::size_t>(d)] = std::min(LogicalSize - 1, qFloor((d + 0.5) / Ratio));
    return indexes;
}

}  // namespace

QImage CanvasImage(const TCanvas& Canvas, qreal DevicePixelRatio) {
    const int w = Canvas.Width(), h = Canvas.Height();
    if (w == 0 || h == 0) return {};
    const qreal ratio = DevicePixelRatio > 0 ? DevicePixelRatio : 1.0;
    const QImage logical(reinterpret_cast<const uchar*>(Canvas.Bits()), w, h, w * 4, QImage::Format_RGB32);
    if (ratio == 1.0) return logical.copy();

    const int deviceW = qCeil(w * ratio), deviceH = qCeil(h * ratio);
    const std::vector<int> columns = SourceIndexes(w, deviceW, ratio), rows = SourceIndexes(h, deviceH, ratio);
    QImage device(deviceW, deviceH, QImage::Format_RGB32);
    for (int y = 0; y < deviceH; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(logical.constScanLine(rows[static_cast<std::size_t>(y)]));
        auto* target = reinterpret_cast<QRgb*>(device.scanLine(y));
        for (int x = 0; x < deviceW; ++x) target[x] = source[columns[static_cast<std::size_t>(x)]];
    }
    device.setDevicePixelRatio(ratio);
    return device;
}
