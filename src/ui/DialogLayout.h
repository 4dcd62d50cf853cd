#pragma once

// The fixed-density layout: windows are laid out as if every screen had 96
// dots per inch, so that bitmaps and controls always line up. Dialog units
// are turned into pixels from the metrics of the window's font, which is
// sized in pixels; Qt's device pixel ratio then scales the whole window on
// denser screens without moving anything relative to its bitmaps.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

namespace ui {

// A window's font as its template describes it.
struct DialogFontSpec {
    QString face = QStringLiteral("Tahoma");
    int pointSize = 8;
    int weight = 400;  // 100..900, 400 normal, 700 bold
    bool italic = false;
};

// The two measures every dialog-unit conversion needs.
struct DialogUnits {
    int charHeight = 0;    // the font's height in pixels
    int avgCharWidth = 0;  // the rounded average width of the 52 Latin letters
};

// -(points * 96 / 72 + 0.5), truncated towards zero: 8 points give -11.
int DialogFontHeight(int pointSize);

// (w / 26 + 1) / 2 in integer arithmetic, w being the width in pixels of
// "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ".
int AverageCharWidth(int widthOf52Letters);

// Dialog units to pixels: x and widths by avgCharWidth / 4, y and heights by
// charHeight / 8, each rounded half up.
int DluToPixelsX(int dlu, const DialogUnits& units);
int DluToPixelsY(int dlu, const DialogUnits& units);
QRect DluToPixels(const QRect& dlu, const DialogUnits& units);
QSize DluToPixels(const QSize& dlu, const DialogUnits& units);

// The font the layout gives the window and its controls: pixel-sized, so it
// measures the same at any logical dpi.
QFont MakeDialogFont(const DialogFontSpec& spec);

// Measures a font the way the layout does.
DialogUnits MeasureDialogFont(const QFont& font);

}  // namespace ui
