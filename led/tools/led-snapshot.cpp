// SPDX-License-Identifier: GPL-3.0-or-later
// led-snapshot OUTDIR [SCALE]: writes OUTDIR/led-off.png and OUTDIR/led-on.png,
// the console's LED off and on, each pixel a SCALE x SCALE block (default 1).
// Needs no display; the system colours are the fixed table, so the pictures
// come out the same everywhere.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <cstdio>
#include <memory>
#include <string>

#include "led/LmLeds.h"
#include "toolkit/core/FormFile.h"
#include "toolkit/ui/CanvasImage.h"

namespace {

// The LED as the console's form file stores it.
constexpr char kConsoleLed[] = R"(object ConnectedLed: TLmUserLed
  Left = 107
  Top = 7
  Width = 33
  Height = 25
  Bevel.InnerShadow = clGreen
  Bevel.InnerHighlight = clLime
  Bevel.InnerWidth = 1
  Bevel.InnerStyle = bsNone
  Bevel.InnerSpace = 1
  Bevel.InnerColor = clBtnFace
  Bevel.OuterShadow = clBtnShadow
  Bevel.OuterHighlight = clBtnHighlight
  Bevel.OuterStyle = bsRaised
  Bevel.OuterOutline = osOuter
  PaletteEx.Low1 = clGreen
  PaletteEx.High1 = clLime
  PaletteEx.Low2 = clBlack
  PaletteEx.High2 = clLime
end
)";

bool Snapshot(TLmUserLed& Led, bool Active, int Scale, const QString& Path) {
    Led.SetActive(Active);
    Led.Paint();
    QImage image = CanvasImage(Led.Canvas(), Scale);
    image.setDevicePixelRatio(1);
    if (image.save(Path, "PNG")) return true;
    std::fprintf(stderr, "led-snapshot: cannot write %s\n", qPrintable(Path));
    return false;
}

int Usage() {
    std::fprintf(stderr, "usage: led-snapshot OUTDIR [SCALE]   (SCALE: 1 to 64)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3) return Usage();
    int scale = 1;
    if (argc == 3) {
        bool ok = false;
        scale = QString::fromLocal8Bit(argv[2]).toInt(&ok);
        if (!ok || scale < 1 || scale > 64) return Usage();
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "led-snapshot: no such directory: %s\n", argv[1]);
        return 1;
    }

    SetSysColorProvider(DefaultSysColor);
    RegisterClass(TLmUserLed::StaticClassInfo());
    const std::unique_ptr<TComponent> led(CreateComponentFromText(kConsoleLed, nullptr));
    auto& userLed = dynamic_cast<TLmUserLed&>(*led);
    const bool written = Snapshot(userLed, false, scale, dir.filePath("led-off.png")) &&
                         Snapshot(userLed, true, scale, dir.filePath("led-on.png"));
    return written ? 0 : 1;
}
