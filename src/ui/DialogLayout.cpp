#include "ui/DialogLayout.h"

#include <QFontMetrics>

namespace ui {

int DialogFontHeight(int pointSize) {
    return static_cast<int>(-(pointSize * 96.0 / 72.0 + 0.5));
}

int AverageCharWidth(int widthOf52Letters) {
    return (widthOf52Letters / 26 + 1) / 2;
}

int DluToPixelsX(int dlu, const DialogUnits& units) {
    return static_cast<int>(dlu * units.avgCharWidth / 4.0 + 0.5);
}

int DluToPixelsY(int dlu, const DialogUnits& units) {
    return static_cast<int>(dlu * units.charHeight / 8.0 + 0.5);
}

QRect DluToPixels(const QRect& dlu, const DialogUnits& units) {
    return QRect(DluToPixelsX(dlu.x(), units), DluToPixelsY(dlu.y(), units),
                 DluToPixelsX(dlu.width(), units), DluToPixelsY(dlu.height(), units));
}

QSize DluToPixels(const QSize& dlu, const DialogUnits& units) {
    return QSize(DluToPixelsX(dlu.width(), units), DluToPixelsY(dlu.height(), units));
}

QFont MakeDialogFont(const DialogFontSpec& spec) {
    QFont font(spec.face);
    const int height = DialogFontHeight(spec.pointSize);
    font.setPixelSize(height < 0 ? -height : (height > 0 ? height : 1));
    font.setWeight(static_cast<QFont::Weight>(qBound(100, spec.weight, 900)));
    font.setItalic(spec.italic);
    return font;
}

DialogUnits MeasureDialogFont(const QFont& font) {
    const QFontMetrics metrics(font);
    DialogUnits units;
    units.charHeight = metrics.height();
    units.avgCharWidth = AverageCharWidth(metrics.horizontalAdvance(
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ")));
    return units;
}

}  // namespace ui
