#pragma once

// Painting a whiteboard page with QPainter, in page coordinates: the white
// ground, the background picture and the strokes (the page's content, what
// Save stores), then the page-turn corner, the "Loading..." or "Saving..."
// words and the border that only windows show.

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

#include "whiteboard/model/NotepadPage.h"

class QIODevice;
class QPainter;

namespace whiteboard {

QColor PageBackground();
QColor PenColour();
inline constexpr int kPenWidth = 2;
inline constexpr int kEraserWidth = 20;
QColor CornerDark();
QColor CornerLight();
QColor HighlightBorder();
QColor PlainBorder();
inline constexpr int kHighlightWidth = 3;

// Step 1 and, in state 1, step 2: ground, picture at (0, 0) in its own size
// (none when null), every item in order.
void PaintContent(QPainter& p, const QImage& background, const std::vector<Item>& items,
                  bool ready);
// One segment with its item's pen.
void PaintSegment(QPainter& p, Tool kind, const Segment& s);
// Steps 3 to 5 for a window: the corner, the state's words, the border.
void PaintOverlay(QPainter& p, ViewState state, bool highlight);
// The state's words, or an empty text in state 1.
QString StateText(ViewState state);

// The page as Save stores it: 634 x 400, the state-1 content, no corner and
// no border.
QImage RenderForSave(const QImage& background, const std::vector<Item>& items);

// Exports of a page picture: PNG, or a one-page PDF whose page is the
// picture's size in points (one pixel, one point) with no margin.
bool WritePagePng(const QImage& page, QIODevice& out);
bool WritePagePdf(const QImage& page, QIODevice& out, const QString& title);
// The name an export proposes: "whiteboard-page-%i" with the extension.
QString ExportName(int page, const char* extension);

// Reads a page picture from a file: null when the file is empty, not a
// picture, or larger than 4096 pixels either way (nothing bigger is decoded).
QImage LoadPagePicture(const QString& path);

}  // namespace whiteboard
