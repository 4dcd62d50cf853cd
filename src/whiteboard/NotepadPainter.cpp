#include "whiteboard/NotepadPainter.h"

#include <QFont>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPainter>
#include <QPen>
#include <QPolygon>

namespace whiteboard {

QColor PageBackground() {
    return QColor(255, 255, 255);
}
QColor PenColour() {
    return QColor(0, 0, 0);
}
QColor CornerDark() {
    return QColor(98, 98, 98);
}
QColor CornerLight() {
    return QColor(197, 197, 197);
}
QColor HighlightBorder() {
    return QColor(0, 153, 255);
}
QColor PlainBorder() {
    return QColor(216, 216, 216);
}

namespace {

QPen ToolPen(Tool kind) {
    QPen pen(kind == Tool::Eraser ? PageBackground() : PenColour());
    pen.setWidth(kind == Tool::Eraser ? kEraserWidth : kPenWidth);
    pen.setStyle(Qt::SolidLine);
    // Square ends: the raster engine draws such lines directly, without
    // building an outline for each (a round end costs many times as much,
    // and at these widths looks the same).
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

}  // namespace

void PaintSegment(QPainter& p, Tool kind, const Segment& s) {
    p.setPen(ToolPen(kind));
    p.drawLine(s.from.x, s.from.y, s.to.x, s.to.y);
}

void PaintContent(QPainter& p, const QImage& background, const std::vector<Item>& items,
                  bool ready) {
    p.fillRect(0, 0, kPageWidth, kPageHeight, PageBackground());
    if (!ready) return;
    if (!background.isNull()) p.drawImage(0, 0, background);
    // Lines go a batch per item: one pen change per item, not per segment.
    std::vector<QLine> lines;
    for (const Item& item : items) {
        if (item.segments.empty()) continue;
        p.setPen(ToolPen(item.kind));
        lines.clear();
        lines.reserve(item.segments.size());
        for (const Segment& s : item.segments) lines.emplace_back(s.from.x, s.from.y, s.to.x, s.to.y);
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
}

QString StateText(ViewState state) {
    switch (state) {
        case ViewState::Loading:
            return QStringLiteral("Loading...");
        case ViewState::Saving:
            return QStringLiteral("Saving...");
        case ViewState::Ready:
            break;
    }
    return {};
}

void PaintOverlay(QPainter& p, ViewState state, bool highlight) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(CornerDark());
    p.drawPolygon(QPolygon({QPoint(604, 370), QPoint(633, 370), QPoint(604, 399)}));
    p.setBrush(CornerLight());
    p.drawPolygon(QPolygon({QPoint(633, 370), QPoint(633, 399), QPoint(604, 399)}));
    const QString words = StateText(state);
    if (!words.isEmpty()) {
        QFont font = p.font();
        font.setPixelSize(13);
        p.setFont(font);
        p.setPen(PenColour());
        // (296, 190) is the words' top-left corner.
        p.drawText(QRect(296, 190, 200, 24), Qt::AlignLeft | Qt::AlignTop, words);
    }
    p.setBrush(Qt::NoBrush);
    if (highlight) {
        // Three pixels inside the page's edge.
        for (int i = 0; i < kHighlightWidth; ++i) {
            p.setPen(QPen(HighlightBorder(), 1));
            p.drawRect(i, i, kPageWidth - 1 - 2 * i, kPageHeight - 1 - 2 * i);
        }
    } else {
        p.setPen(QPen(PlainBorder(), 1));
        p.drawRect(0, 0, kPageWidth - 1, kPageHeight - 1);
    }
    p.restore();
}

QImage RenderForSave(const QImage& background, const std::vector<Item>& items) {
    QImage page(kPageWidth, kPageHeight, QImage::Format_RGB32);
    QPainter p(&page);
    PaintContent(p, background, items, true);
    p.end();
    return page;
}

QImage LoadPagePicture(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide) {
        return {};
    }
    QImage picture;
    if (!reader.read(&picture)) return {};
    return picture;
}

}  // namespace whiteboard

namespace whiteboard {

bool WritePagePng(const QImage& page, QIODevice& out) {
    return !page.isNull() && page.save(&out, "PNG");
}

bool WritePagePdf(const QImage& page, QIODevice& out, const QString& title) {
    if (page.isNull()) return false;
    QPdfWriter pdf(&out);
    pdf.setCreator(QStringLiteral("Palindor"));
    pdf.setTitle(title);
    // 72 dots per inch: one picture pixel is one point of the page.
    pdf.setResolution(72);
    const QPageSize size(QSizeF(page.width(), page.height()), QPageSize::Point, QString(),
                         QPageSize::ExactMatch);
    if (!pdf.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                       QPageLayout::Point))) {
        return false;
    }
    QPainter p;
    if (!p.begin(&pdf)) return false;
    p.drawImage(QRect(0, 0, page.width(), page.height()), page);
    return p.end();
}

QString ExportName(int page, const char* extension) {
    return QStringLiteral("whiteboard-page-%1.%2").arg(page).arg(QString::fromLatin1(extension));
}

}  // namespace whiteboard
