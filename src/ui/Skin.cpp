#include "ui/Skin.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// One palette for the whole program: a deep navy heading band, a soft light
// body, one blue accent, and three signal colours.
constexpr QRgb kNavy = 0x1B2A4A;
constexpr QRgb kNavyLight = 0x2A3F69;
constexpr QRgb kAccent = 0x3D7BF0;
constexpr QRgb kAccentDark = 0x2C62CF;
constexpr QRgb kAccentLight = 0x6E9BF5;
constexpr QRgb kAccentTint = 0xDCE7FD;
constexpr QRgb kBody = 0xF3F5F9;
constexpr QRgb kBodyLow = 0xE9EDF4;
constexpr QRgb kLine = 0xCCD4E0;
constexpr QRgb kInk = 0x1F2A3D;
// Dark enough for 4.5:1 on the body, the banner and the lower band.
constexpr QRgb kMuted = 0x56617A;
constexpr QRgb kDisabled = 0xA9B2C1;
constexpr QRgb kDisabledFill = 0xECEFF3;
constexpr QRgb kSuccess = 0x1F9D62;
constexpr QRgb kDanger = 0xDD3F45;
constexpr QRgb kWarning = 0xEE9A1D;
// Link words: the accent itself is too light to read on the body.
constexpr QRgb kLink = 0x2355C0;
constexpr QRgb kLinkHover = 0x1A3F91;
// Secondary words in the heading band.
constexpr QRgb kBandDetail = 0xC9D6F2;

QColor C(QRgb rgb) {
    return QColor::fromRgb(rgb);
}

using Kind = SkinEntry::Kind;

enum ButtonVariant { kUp = 0, kDown = 1, kFocus = 2, kDisabledLook = 3 };
const char kVariantLetters[] = "UDFX";


// ---- Glyphs -------------------------------------------------------------
// Every icon is drawn in a 24 x 24 unit box with a round-capped stroke, so
// all captions share one line weight and style.

struct GlyphPainter {
    QPainter& p;
    QColor ink;
    QColor accent;
    QColor ground;  // the tile colour, to punch overlapping shapes
    qreal stroke = 1.9;

    void Pen(const QColor& c, qreal w) {
        QPen pen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    }
    void Ink() { Pen(ink, stroke); }
    void Line(qreal x1, qreal y1, qreal x2, qreal y2) {
        p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    }
    void Poly(std::initializer_list<QPointF> pts, bool closed = false) {
        QPolygonF poly(pts);
        if (closed) {
            p.drawPolygon(poly);
        } else {
            p.drawPolyline(poly);
        }
    }
    void Circle(qreal cx, qreal cy, qreal r) { p.drawEllipse(QPointF(cx, cy), r, r); }
    void Dot(qreal cx, qreal cy, qreal r, const QColor& c) {
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(cx, cy), r, r);
        p.restore();
    }
    // An arc around (cx, cy) from `start` degrees sweeping `sweep` degrees
    // counter-clockwise, with an arrow head at its end.
    void ArcArrow(qreal cx, qreal cy, qreal r, qreal start, qreal sweep) {
        QPainterPath path;
        const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
        path.arcMoveTo(box, start);
        path.arcTo(box, start, sweep);
        p.drawPath(path);
        const qreal a = qDegreesToRadians(start + sweep);
        const QPointF tip(cx + r * qCos(a), cy - r * qSin(a));
        const qreal dir = sweep >= 0 ? 1 : -1;
        const QPointF along(-qSin(a) * dir, -qCos(a) * dir);
        const QPointF side(along.y(), -along.x());
        Poly({tip - along * 3.2 + side * 3.2, tip, tip - along * 3.2 - side * 3.2});
    }
    void Envelope(qreal x, qreal y, qreal w, qreal h) {
        p.drawRoundedRect(QRectF(x, y, w, h), 2, 2);
        Poly({{x + 0.8, y + 1.2}, {x + w / 2, y + h * 0.55}, {x + w - 0.8, y + 1.2}});
    }
    void Folder() { Poly({{3, 6}, {9, 6}, {11, 8.2}, {21, 8.2}, {21, 19}, {3, 19}}, true); }
    void Person(qreal cx, qreal top, qreal scale) {
        Circle(cx, top + 3.6 * scale, 3.5 * scale);
        QPainterPath body;
        const QRectF arc(cx - 6.5 * scale, top + 9.5 * scale, 13 * scale, 11 * scale);
        body.arcMoveTo(arc, 180);
        body.arcTo(arc, 180, -180);
        p.drawPath(body);
    }
    void Badge(qreal cx, qreal cy, qreal r, const QColor& fill) {
        p.save();
        p.setPen(QPen(ground, 1.6));
        p.setBrush(fill);
        p.drawEllipse(QPointF(cx, cy), r, r);
        p.restore();
    }
    void Chevron(bool right, qreal x) {
        if (right) {
            Poly({{x - 3, 6}, {x + 3, 12}, {x - 3, 18}});
        } else {
            Poly({{x + 3, 6}, {x - 3, 12}, {x + 3, 18}});
        }
    }
};

void DrawGlyph(QPainter& painter, const QString& caption, const QRectF& box, const QColor& ink,
               const QColor& accent, const QColor& ground) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / 24.0, box.height() / 24.0);
    GlyphPainter g{painter, ink, accent, ground};
    g.Ink();
    const QString c = caption;
    if (c == "NEXT") {
        g.Line(4, 12, 19, 12);
        g.Poly({{13, 6}, {19, 12}, {13, 18}});
    } else if (c == "BACK" || c == "BACKINFO") {
        g.Line(20, 12, 5, 12);
        g.Poly({{11, 6}, {5, 12}, {11, 18}});
    } else if (c == "LEFT" || c == "BALLOTPREV" || c == "RESULTSPREV" || c == "INDIVIDUALPREV") {
        g.stroke = 2.3;
        g.Ink();
        g.Chevron(false, 11.5);
    } else if (c == "RIGHT" || c == "BALLOTNEXT" || c == "RESULTSNEXT" || c == "INDIVIDUALNEXT") {
        g.stroke = 2.3;
        g.Ink();
        g.Chevron(true, 12.5);
    } else if (c == "MANAGELEFT") {
        g.Chevron(false, 9);
        g.Chevron(false, 15.5);
    } else if (c == "MANAGERIGHT") {
        g.Chevron(true, 8.5);
        g.Chevron(true, 15);
    } else if (c == "REFRESH") {
        g.ArcArrow(12, 12, 7.5, 70, 290);
    } else if (c == "MAIL") {
        g.Envelope(3, 5.5, 18, 13);
    } else if (c == "MAILACTIVE") {
        g.Envelope(3, 5.5, 18, 13);
        g.Badge(19.5, 5.5, 4.2, C(kWarning));
    } else if (c == "ADDCONTACT") {
        g.Person(9, 3.5, 1.0);
        g.Pen(accent, 2.1);
        g.Line(18.5, 8, 18.5, 15);
        g.Line(15, 11.5, 22, 11.5);
    } else if (c == "SEARCH") {
        g.Circle(10.5, 10.5, 6.2);
        g.Pen(ink, 2.6);
        g.Line(15.2, 15.2, 20.5, 20.5);
    } else if (c == "ACCOUNTINFO") {
        g.p.drawRoundedRect(QRectF(2.5, 5, 19, 14), 2.5, 2.5);
        g.Circle(8.5, 10.2, 2.2);
        QPainterPath shoulders;
        const QRectF arc(5, 13.5, 7, 6);
        shoulders.arcMoveTo(arc, 180);
        shoulders.arcTo(arc, 180, -180);
        g.p.drawPath(shoulders);
        g.Pen(accent, 1.9);
        g.Line(14, 10, 18.5, 10);
        g.Line(14, 14, 17, 14);
    } else if (c == "NETWORKINFO") {
        g.Circle(12, 12, 8.8);
        g.p.drawEllipse(QPointF(12, 12), 3.8, 8.8);
        g.Line(3.5, 12, 20.5, 12);
        g.Pen(accent, 1.6);
        g.Line(5.5, 7.5, 18.5, 7.5);
        g.Line(5.5, 16.5, 18.5, 16.5);
    } else if (c == "HELP") {
        g.Circle(12, 12, 9);
        QPainterPath q;
        q.moveTo(9.2, 9.4);
        q.cubicTo(9.2, 6.4, 14.8, 6.4, 14.8, 9.4);
        q.cubicTo(14.8, 11.6, 12, 11.6, 12, 14.0);
        g.Pen(accent, 2.1);
        g.p.drawPath(q);
        g.Dot(12, 17.2, 1.3, accent);
    } else if (c == "SETTINGS") {
        QPolygonF gear;
        for (int t = 0; t < 8; ++t) {
            const qreal base = t * 45.0;
            for (auto [deg, r] : {std::pair{base - 9.0, 9.6}, std::pair{base + 9.0, 9.6},
                                  std::pair{base + 15.5, 7.1}, std::pair{base + 29.5, 7.1}}) {
                const qreal a = qDegreesToRadians(deg);
                gear << QPointF(12 + r * qCos(a), 12 - r * qSin(a));
            }
        }
        g.p.drawPolygon(gear);
        g.Pen(accent, 2.0);
        g.Circle(12, 12, 2.9);
    } else if (c == "SESSIONS") {
        QPainterPath back;
        back.addRoundedRect(QRectF(2, 3.5, 13.5, 10), 3, 3);
        back.moveTo(5, 13.5);
        back.lineTo(4.5, 17);
        back.lineTo(8.5, 13.5);
        g.p.drawPath(back);
        QPainterPath front;
        front.addRoundedRect(QRectF(8.5, 9, 13.5, 9.5), 3, 3);
        front.moveTo(18.5, 18.5);
        front.lineTo(19.5, 21.5);
        front.lineTo(15.5, 18.5);
        g.p.save();
        g.p.setPen(QPen(accent, g.stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        g.p.setBrush(ground);
        g.p.drawPath(front.simplified());
        g.p.restore();
        g.Dot(12.5, 13.8, 1.1, accent);
        g.Dot(15.3, 13.8, 1.1, accent);
        g.Dot(18.1, 13.8, 1.1, accent);
    } else if (c == "DOCUMENTS") {
        g.Folder();
        g.Pen(accent, 1.9);
        g.Line(3.5, 11.5, 20.5, 11.5);
    } else if (c == "WHITEBOARD") {
        g.p.drawRoundedRect(QRectF(3, 3.5, 18, 13), 1.5, 1.5);
        g.Line(8, 16.5, 6, 21);
        g.Line(16, 16.5, 18, 21);
        QPainterPath squiggle;
        squiggle.moveTo(6, 12.5);
        squiggle.cubicTo(8.5, 6.5, 10.5, 14.5, 13, 9.5);
        squiggle.cubicTo(14.5, 7, 16.5, 8.5, 18, 7.5);
        g.Pen(accent, 1.9);
        g.p.drawPath(squiggle);
    } else if (c == "NOTEPAD") {
        g.p.drawRoundedRect(QRectF(4.5, 3, 15, 18), 2, 2);
        g.Pen(accent, 1.8);
        g.Line(8, 8, 16, 8);
        g.Line(8, 12, 16, 12);
        g.Line(8, 16, 13, 16);
    } else if (c == "COFFEE") {
        QPainterPath cup;
        cup.moveTo(3.5, 9.5);
        cup.lineTo(3.5, 15);
        cup.cubicTo(3.5, 18.5, 6, 20.5, 9, 20.5);
        cup.lineTo(11.5, 20.5);
        cup.cubicTo(14.5, 20.5, 17, 18.5, 17, 15);
        cup.lineTo(17, 9.5);
        cup.closeSubpath();
        g.p.drawPath(cup);
        QPainterPath handle;
        handle.moveTo(17, 11);
        handle.cubicTo(21.5, 10.5, 21.5, 16.5, 17, 16);
        g.p.drawPath(handle);
        g.Pen(accent, 1.7);
        QPainterPath steam;
        steam.moveTo(8, 7);
        steam.cubicTo(6.5, 5.5, 9.5, 4.5, 8, 2.5);
        steam.moveTo(12.5, 7);
        steam.cubicTo(11, 5.5, 14, 4.5, 12.5, 2.5);
        g.p.drawPath(steam);
    } else if (c == "INVITE") {
        g.Poly({{2.5, 11}, {21, 3}, {14.5, 21}, {11, 13}}, true);
        g.Pen(accent, 1.9);
        g.Line(11, 13, 21, 3);
    } else if (c == "POLL") {
        g.p.save();
        g.p.setPen(Qt::NoPen);
        g.p.setBrush(ink);
        g.p.drawRoundedRect(QRectF(4.5, 11, 4, 8.5), 1, 1);
        g.p.drawRoundedRect(QRectF(15.5, 8, 4, 11.5), 1, 1);
        g.p.setBrush(accent);
        g.p.drawRoundedRect(QRectF(10, 4.5, 4, 15), 1, 1);
        g.p.restore();
        g.Line(2.5, 21, 21.5, 21);
    } else if (c == "HISTORY") {
        g.ArcArrow(12.5, 12, 8.5, 200, -300);
        g.Pen(accent, 2.0);
        g.Poly({{12.5, 7.5}, {12.5, 12}, {15.5, 14}});
    } else if (c == "INFO") {
        g.Circle(12, 12, 9);
        g.Pen(accent, 2.3);
        g.Line(12, 11, 12, 16.8);
        g.Dot(12, 7.6, 1.4, accent);
    } else if (c == "PENCIL") {
        g.Poly({{4, 20}, {5, 15.5}, {15.8, 4.7}, {19.3, 8.2}, {8.5, 19}}, true);
        g.Pen(accent, 1.9);
        g.Line(13.4, 7.1, 16.9, 10.6);
    } else if (c == "ERASER") {
        g.Poly({{3.5, 14.5}, {12.5, 5.5}, {19.5, 12.5}, {11, 21}, {7.5, 21}}, true);
        g.Pen(accent, 1.9);
        g.Line(7.5, 10.5, 14.5, 17.5);
        g.Ink();
        g.Line(12, 21, 21, 21);
    } else if (c == "TEXT") {
        g.stroke = 2.2;
        g.Ink();
        g.Line(5, 5, 19, 5);
        g.Line(12, 5, 12, 19.5);
        g.Line(9, 19.5, 15, 19.5);
        g.Line(5, 5, 5, 7.5);
        g.Line(19, 5, 19, 7.5);
    } else if (c == "NEWMESSAGE") {
        g.Poly({{11.5, 4}, {5, 4}, {4, 5}, {4, 19}, {5, 20}, {19, 20}, {20, 19}, {20, 12.5}});
        g.Pen(accent, 1.9);
        g.Poly({{10, 14}, {10.3, 10.8}, {18, 3.1}, {20.9, 6}, {13.2, 13.7}}, true);
    } else if (c == "DELETEMESSAGE") {
        g.Line(4, 6.5, 20, 6.5);
        g.Poly({{9, 6.5}, {9.5, 3.8}, {14.5, 3.8}, {15, 6.5}});
        g.Poly({{6, 6.5}, {7, 20}, {17, 20}, {18, 6.5}});
        g.Pen(C(kDanger), 1.7);
        g.Line(10, 10, 10, 16.5);
        g.Line(14, 10, 14, 16.5);
    } else if (c == "MARKREAD") {
        g.Poly({{3, 10}, {12, 4}, {21, 10}, {21, 20}, {3, 20}}, true);
        g.Poly({{3.6, 10.5}, {12, 15.5}, {20.4, 10.5}});
        g.Badge(18.5, 17.5, 4.8, accent);
        g.Pen(ground, 1.6);
        g.Poly({{16.3, 17.6}, {18, 19.2}, {20.7, 16.1}});
    } else if (c == "MARKUNREAD") {
        g.Envelope(3, 5.5, 18, 13);
        g.Badge(19.5, 5.5, 4.2, accent);
    } else if (c == "MOVETOFOLDER") {
        g.Folder();
        g.Pen(accent, 2.0);
        g.Line(7.5, 13.8, 16, 13.8);
        g.Poly({{13, 10.8}, {16, 13.8}, {13, 16.8}});
    } else if (c == "NEWFOLDER") {
        g.Folder();
        g.Pen(accent, 2.0);
        g.Line(12, 10.5, 12, 17);
        g.Line(8.8, 13.8, 15.2, 13.8);
    } else {
        // A caption without its own picture still gets a recognisable mark.
        g.Circle(12, 12, 8);
    }
    painter.restore();
}

struct ButtonSpec {
    const char* caption;
    int w;
    int h;
    const char* label = nullptr;  // text pills carry words beside the arrow
};

// Image buttons of the tools still to come, by caption; each moves to its
// tool's registration when the tool arrives.
constexpr ButtonSpec kButtons[] = {
    {"BACKINFO", 88, 30, "Back"},
    {"MAILACTIVE", 36, 36},
    {"NOTEPAD", 32, 32},
    {"COFFEE", 32, 32},
    {"INVITE", 32, 32},
    {"POLL", 32, 32},
    {"HISTORY", 32, 32},
    {"INFO", 32, 32},
    {"PENCIL", 32, 32},
    {"ERASER", 32, 32},
    {"TEXT", 32, 32},
    {"NEWMESSAGE", 32, 32},
    {"DELETEMESSAGE", 32, 32},
    {"MARKREAD", 32, 32},
    {"MARKUNREAD", 32, 32},
    {"MOVETOFOLDER", 32, 32},
    {"NEWFOLDER", 32, 32},
    {"MANAGELEFT", 28, 28},
    {"MANAGERIGHT", 28, 28},
    {"BALLOTPREV", 28, 28},
    {"BALLOTNEXT", 28, 28},
    {"RESULTSPREV", 28, 28},
    {"RESULTSNEXT", 28, 28},
    {"INDIVIDUALPREV", 28, 28},
    {"INDIVIDUALNEXT", 28, 28},
};

struct BackgroundSpec {
    const char* name;
    int w;
    int h;
    const char* heading;
};

// Window backgrounds of the toolkit's own windows and of the tools still to
// come, at the client size of their window.
constexpr BackgroundSpec kBackgrounds[] = {
    {"IDB_BKGNDACCOUNTINFO", 428, 308, "Account information"},
    {"IDB_BKGNDACCOUNTCHANGEFULLNAME", 288, 136, "Change name"},
    {"IDB_BKGNDACCOUNTCHANGEPASSWORD", 357, 201, "Change password"},
    {"IDB_BKGNDSETTINGS", 479, 181, "Settings"},
    {"IDB_SERVERRESPONSE", 296, 188, "Server response"},
    {"IDB_INVITEPROMPT", 360, 152, "Invitation"},
    {"IDB_ADDCONTACT", 300, 140, "Add a contact"},
    {"IDB_POLLBALLOT", 480, 360, "Ballot"},
    {"IDB_MAILALERT", 260, 110, "New mail"},
};

struct FramePieceSpec {
    const char* suffix;
    QRect rect;
};

struct FrameSpec {
    const char* prefix;
    QSize client;
    const char* heading;
    std::initializer_list<FramePieceSpec> pieces;
    // Extra placements of a piece (the text viewer's side is used twice).
    std::initializer_list<FramePieceSpec> repeats;
};

int HeadingBand(int height) {
    return height <= 160 ? 30 : 36;
}

// ---- Painting helpers ----------------------------------------------------

QFont SkinFont(int pixelSize, int weight) {
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setPixelSize(pixelSize);
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The brand mark: three linked nodes on an accent rounded square.
void DrawBrandMark(QPainter& p, const QRectF& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, C(kAccentLight));
    g.setColorAt(1, C(kAccentDark));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() * 0.28, r.width() * 0.28);
    const qreal s = r.width();
    const QPointF a = r.topLeft() + QPointF(s * 0.30, s * 0.68);
    const QPointF b = r.topLeft() + QPointF(s * 0.50, s * 0.30);
    const QPointF c = r.topLeft() + QPointF(s * 0.72, s * 0.64);
    p.setPen(QPen(QColor(255, 255, 255, 200), qMax(1.0, s * 0.07)));
    p.drawLine(a, b);
    p.drawLine(b, c);
    p.drawLine(a, c);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (const QPointF& pt : {a, b, c}) p.drawEllipse(pt, s * 0.11, s * 0.11);
    p.restore();
}

// The whole look of a window client area: heading band, body, optional
// footer band and divider. Frame pieces are cut from this.
void PaintWindow(QPainter& p, const QSize& size, int header, int footer, const QRect& middle,
                 const QString& heading, const QString& detail = {}) {
    const QRect all(QPoint(0, 0), size);
    QLinearGradient body(0, header, 0, size.height());
    body.setColorAt(0, C(kBody));
    body.setColorAt(1, C(0xEEF1F6));
    p.fillRect(all, body);
    if (header > 0) {
        QLinearGradient band(0, 0, size.width(), 0);
        band.setColorAt(0, C(kNavy));
        band.setColorAt(1, C(kNavyLight));
        p.fillRect(QRect(0, 0, size.width(), header), band);
        // A thin accent rule under the band ties every window to the brand.
        p.fillRect(QRect(0, header - 2, size.width(), 2), C(kAccent));
        if (header >= 24 && !heading.isEmpty()) {
            const int mark = qMin(18, header - 12);
            DrawBrandMark(p, QRectF(12, (header - 2 - mark) / 2.0, mark, mark));
            p.setPen(Qt::white);
            p.setFont(SkinFont(header >= 34 ? 14 : 13, 600));
            p.drawText(QRect(12 + mark + 9, 0, size.width() - mark - 30, header - 2),
                       Qt::AlignVCenter | Qt::AlignLeft, heading);
        }
        if (!detail.isEmpty()) {
            p.setPen(C(kBandDetail));
            p.setFont(SkinFont(12, 400));
            p.drawText(QRect(0, 0, size.width() - 12, header - 2), Qt::AlignVCenter | Qt::AlignRight,
                       detail);
        }
    }
    if (footer > 0) {
        const QRect band(0, size.height() - footer, size.width(), footer);
        p.fillRect(band, C(kBodyLow));
        p.fillRect(QRect(0, band.top(), size.width(), 1), C(kLine));
    }
    if (middle.isValid()) {
        p.fillRect(middle, C(kBodyLow));
        p.fillRect(QRect(middle.left(), middle.top(), 1, middle.height()), C(kLine));
        p.fillRect(QRect(middle.right(), middle.top(), 1, middle.height()), C(kLine));
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(C(kDisabled));
        const qreal cx = middle.center().x() + 0.5;
        const qreal cy = middle.center().y();
        for (int i = -2; i <= 2; ++i) p.drawEllipse(QPointF(cx, cy + i * 6), 1.3, 1.3);
    }
    // A hairline outline keeps light windows from melting into the desktop.
    p.setPen(C(kLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(all.adjusted(0, header, -1, -1));
}

void PaintTile(QPainter& p, const QRectF& r, int variant, qreal radius) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = r.adjusted(0.5, 0.5, -0.5, -0.5);
    switch (variant) {
        case kUp: {
            QLinearGradient g(box.topLeft(), box.bottomLeft());
            g.setColorAt(0, Qt::white);
            g.setColorAt(1, C(0xF4F6FA));
            p.setPen(QPen(C(kLine), 1));
            p.setBrush(g);
            p.drawRoundedRect(box, radius, radius);
            break;
        }
        case kFocus: {
            p.setPen(QPen(C(kAccent), 2));
            p.setBrush(Qt::white);
            p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
            break;
        }
        case kDown: {
            QLinearGradient g(box.topLeft(), box.bottomLeft());
            g.setColorAt(0, C(kAccentDark));
            g.setColorAt(1, C(kAccent));
            p.setPen(QPen(C(kAccentDark), 1));
            p.setBrush(g);
            p.drawRoundedRect(box, radius, radius);
            break;
        }
        default: {
            p.setPen(QPen(C(0xE0E5EC), 1));
            p.setBrush(C(kDisabledFill));
            p.drawRoundedRect(box, radius, radius);
            break;
        }
    }
}

void PaintButton(QPainter& p, const QSize& size, const QString& caption, const char* label,
                 int variant) {
    const QRectF r(0, 0, size.width(), size.height());
    if (label != nullptr) {
        // A text pill: NEXT is the primary action (filled accent), the others
        // are secondary (outlined).
        const bool primary = caption == "NEXT";
        const qreal radius = size.height() / 2.0;
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF box = r.adjusted(0.5, 0.5, -0.5, -0.5);
        QColor text;
        QColor ink;
        if (variant == kDisabledLook) {
            p.setPen(QPen(C(0xE0E5EC), 1));
            p.setBrush(C(kDisabledFill));
            text = ink = C(kDisabled);
        } else if (primary) {
            // The dark accent: white words on it stay readable.
            const QColor fill = variant == kDown ? C(kLinkHover) : C(kLink);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            text = ink = Qt::white;
        } else {
            p.setPen(QPen(variant == kDown ? C(kAccentDark) : C(kLine), 1));
            p.setBrush(variant == kDown ? C(kAccentTint) : QColor(Qt::white));
            text = C(kInk);
            ink = C(kAccent);
        }
        p.drawRoundedRect(box, radius, radius);
        if (variant == kFocus) {
            p.setPen(QPen(primary ? C(kNavy) : C(kAccent), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius - 1, radius - 1);
            if (primary) {
                p.setPen(QPen(QColor(255, 255, 255, 170), 1));
                p.drawRoundedRect(box.adjusted(2, 2, -2, -2), radius - 2, radius - 2);
            }
        }
        const qreal shift = variant == kDown ? 1 : 0;
        p.setFont(SkinFont(12, 600));
        p.setPen(text);
        const int glyph = 14;
        const int textWidth = p.fontMetrics().horizontalAdvance(QString::fromLatin1(label));
        const int total = textWidth + 6 + glyph;
        const qreal left = (size.width() - total) / 2.0 + shift;
        const qreal top = (size.height() - glyph) / 2.0 + shift;
        if (primary) {
            p.drawText(QRectF(left, shift, textWidth + 1, size.height()), Qt::AlignVCenter,
                       QString::fromLatin1(label));
            DrawGlyph(p, caption, QRectF(left + textWidth + 6, top, glyph, glyph), ink, ink,
                      Qt::transparent);
        } else {
            DrawGlyph(p, caption, QRectF(left, top, glyph, glyph), ink, ink, Qt::transparent);
            p.setPen(text);
            p.drawText(QRectF(left + glyph + 6, shift, textWidth + 1, size.height()),
                       Qt::AlignVCenter, QString::fromLatin1(label));
        }
        return;
    }
    const qreal radius = size.width() >= 32 ? 8 : 6;
    PaintTile(p, r, variant, radius);
    const qreal inset = size.width() >= 32 ? size.width() * 0.2 : size.width() * 0.17;
    const qreal shift = variant == kDown ? 1 : 0;
    QRectF box = r.adjusted(inset, inset, -inset, -inset).translated(shift, shift);
    QColor ink = C(kNavy);
    QColor accent = C(kAccent);
    QColor ground = Qt::white;
    if (variant == kDown) {
        ink = Qt::white;
        accent = QColor(0xD6, 0xE4, 0xFF);
        ground = C(kAccent);
    } else if (variant == kDisabledLook) {
        ink = accent = C(kDisabled);
        ground = C(kDisabledFill);
    }
    DrawGlyph(p, caption, box, ink, accent, ground);
}

void PaintCheckBox(QPainter& p, const QSize& size, int state) {
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = state % 2 == 1;
    const QRectF box = QRectF(0, 0, size.width(), size.height()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = Qt::white;
    QColor border = C(0x97A3B6);
    if (on) {
        fill = state == 3 ? C(kAccentLight) : (state == 5 ? C(kAccentDark) : C(kAccent));
        border = state == 5 ? C(kNavy) : fill.darker(110);
    } else if (state == 2) {
        border = C(kAccent);
    } else if (state == 4) {
        fill = C(kAccentTint);
        border = C(kAccentDark);
    }
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(box, 3, 3);
    if (on) {
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const qreal s = size.width() / 13.0;
        p.drawPolyline(QPolygonF(
            {QPointF(3.3 * s, 6.8 * s), QPointF(5.6 * s, 9.1 * s), QPointF(9.8 * s, 4.1 * s)}));
    }
}

void PaintToggle(QPainter& p, const QSize& size, const QString& glyph, bool on) {
    PaintTile(p, QRectF(0, 0, size.width(), size.height()), on ? kDown : kUp, 4);
    QFont f = SkinFont(13, glyph == "B" ? 800 : 500);
    f.setItalic(glyph == "I");
    f.setUnderline(glyph == "U");
    f.setFamilies({QStringLiteral("DejaVu Serif"), QStringLiteral("Liberation Serif")});
    p.setFont(f);
    p.setPen(on ? QColor(Qt::white) : C(kNavy));
    p.drawText(QRect(0, 0, size.width(), size.height()), Qt::AlignCenter, glyph);
}

QColor PresenceColour(int index) {
    switch (index) {
        case 1:
            return C(kSuccess);
        case 2:
            return C(kWarning);
        default:
            return C(0x9AA3B2);
    }
}

// The contact list's 16 x 16 pictures: 0 offline, 1 online, 2 away, 3 muted.
void PaintPresence(QPainter& p, const QSize& size, int index) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size.width() / 16.0;
    p.scale(s, s);
    const QColor person = index == 1 ? C(kNavy) : C(0x7C879A);
    p.setPen(Qt::NoPen);
    p.setBrush(person);
    p.drawEllipse(QPointF(7, 4.6), 3.1, 3.1);
    QPainterPath body;
    body.moveTo(1.2, 15);
    body.cubicTo(1.2, 10, 4, 8.6, 7, 8.6);
    body.cubicTo(10, 8.6, 12.8, 10, 12.8, 15);
    body.closeSubpath();
    p.drawPath(body);
    // The status dot with a white ring, bottom right.
    p.setPen(QPen(Qt::white, 1.4));
    p.setBrush(PresenceColour(index));
    p.drawEllipse(QPointF(12, 11.8), 3.4, 3.4);
    if (index == 2) {
        p.setPen(QPen(Qt::white, 1.1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 10.1), QPointF(12, 11.9));
        p.drawLine(QPointF(12, 11.9), QPointF(13.3, 12.6));
    } else if (index == 3) {
        p.setPen(QPen(C(kDanger), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, 1.5), QPointF(14.5, 14.5));
    }
}

// The main window's 40 x 40 status picture: an avatar with a large status badge.
void PaintStatus(QPainter& p, const QSize& size, bool away) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size.width() / 40.0;
    p.scale(s, s);
    QLinearGradient g(0, 0, 0, 40);
    g.setColorAt(0, C(kNavyLight));
    g.setColorAt(1, C(kNavy));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 34, 34));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(19, 14.5), 6, 6);
    QPainterPath body;
    body.moveTo(8.5, 31);
    body.cubicTo(9.5, 24, 13.5, 22, 19, 22);
    body.cubicTo(24.5, 22, 28.5, 24, 29.5, 31);
    body.cubicTo(26.5, 34, 11.5, 34, 8.5, 31);
    p.drawPath(body);
    p.setPen(QPen(Qt::white, 2.5));
    p.setBrush(away ? C(kWarning) : C(kSuccess));
    p.drawEllipse(QPointF(31.5, 31.5), 6.5, 6.5);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (away) {
        p.drawLine(QPointF(31.5, 28.3), QPointF(31.5, 31.8));
        p.drawLine(QPointF(31.5, 31.8), QPointF(33.9, 33.1));
    } else {
        p.drawPolyline(QPolygonF({QPointF(28.6, 31.7), QPointF(30.8, 33.8), QPointF(34.5, 29.4)}));
    }
}

// Tray icons: 0 online, 1 away, 2 alert.
void PaintTray(QPainter& p, const QSize& size, int which) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size.width() / 32.0;
    p.scale(s, s);
    DrawBrandMark(p, QRectF(1, 1, 30, 30));
    QColor dot = which == 0 ? C(kSuccess) : (which == 1 ? C(kWarning) : C(kDanger));
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(dot);
    p.drawEllipse(QPointF(24.5, 24.5), 6, 6);
    if (which == 2) {
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(24.5, 21.5), QPointF(24.5, 25));
        p.drawPoint(QPointF(24.5, 27.8));
    }
}

void PaintSmallIcon(QPainter& p, const QSize& size, const QString& what) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size.width() / 16.0;
    p.scale(s, s);
    auto pen = [&](const QColor& c, qreal w) {
        p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    };
    if (what == "SESSIONOPEN") {
        pen(C(kAccent), 1.3);
        p.setBrush(C(kAccentTint));
        QPainterPath b;
        b.addRoundedRect(QRectF(1.5, 2.5, 13, 9), 2.5, 2.5);
        b.moveTo(4, 11.5);
        b.lineTo(3.5, 14.5);
        b.lineTo(7, 11.5);
        p.drawPath(b.simplified());
        p.setPen(Qt::NoPen);
        p.setBrush(C(kAccent));
        for (qreal x : {5.0, 8.0, 11.0}) p.drawEllipse(QPointF(x, 7), 1, 1);
    } else if (what == "SESSIONPRIVATE") {
        pen(C(kNavy), 1.4);
        p.setBrush(Qt::NoBrush);
        QPainterPath shackle;
        shackle.moveTo(5, 7.5);
        shackle.lineTo(5, 5);
        shackle.cubicTo(5, 1.5, 11, 1.5, 11, 5);
        shackle.lineTo(11, 7.5);
        p.drawPath(shackle);
        p.setPen(Qt::NoPen);
        p.setBrush(C(kWarning));
        p.drawRoundedRect(QRectF(2.5, 7, 11, 8), 1.8, 1.8);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 10.6), 1.3, 1.3);
    } else if (what == "FOLDER") {
        p.setPen(QPen(C(0xC98A12), 1));
        p.setBrush(C(0xF6C453));
        p.drawPolygon(QPolygonF({QPointF(1.5, 3), QPointF(6, 3), QPointF(7.5, 4.8),
                                 QPointF(14.5, 4.8), QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
        p.setPen(Qt::NoPen);
        p.setBrush(C(0xFBD978));
        p.drawRect(QRectF(2, 6.5, 12, 6.5));
    } else if (what == "FILE") {
        p.setPen(QPen(C(0x8A96AA), 1));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(3, 1.5), QPointF(9.5, 1.5), QPointF(13, 5),
                                 QPointF(13, 14.5), QPointF(3, 14.5)}));
        p.drawPolyline(QPolygonF({QPointF(9.5, 1.5), QPointF(9.5, 5), QPointF(13, 5)}));
        pen(C(kAccentLight), 1);
        for (qreal y : {8.0, 10.2, 12.4}) p.drawLine(QPointF(5, y), QPointF(11, y));
    } else if (what == "ATTACHMENT") {
        pen(C(kNavy), 1.4);
        p.setBrush(Qt::NoBrush);
        QPainterPath clip;
        clip.moveTo(10.5, 5);
        clip.lineTo(10.5, 11);
        clip.cubicTo(10.5, 14.5, 5.5, 14.5, 5.5, 11);
        clip.lineTo(5.5, 3.8);
        clip.cubicTo(5.5, 1.2, 9, 1.2, 9, 3.8);
        clip.lineTo(9, 10.5);
        clip.cubicTo(9, 12, 7, 12, 7, 10.5);
        clip.lineTo(7, 5);
        p.drawPath(clip);
    } else if (what == "MARKCORRECT" || what == "MARKINCORRECT" || what == "MARKNEUTRAL") {
        const QColor fill = what == "MARKCORRECT"     ? C(kSuccess)
                            : what == "MARKINCORRECT" ? C(kDanger)
                                                      : C(0x9AA3B2);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        pen(Qt::white, 1.8);
        if (what == "MARKCORRECT") {
            p.drawPolyline(QPolygonF({QPointF(4.6, 8.2), QPointF(7, 10.6), QPointF(11.4, 5.6)}));
        } else if (what == "MARKINCORRECT") {
            p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
            p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
        } else {
            p.drawLine(QPointF(4.8, 8), QPointF(11.2, 8));
        }
    }
}

// The sign-in result pictures: a rounded card with an icon and the result
// in words.
void PaintResult(QPainter& p, const QSize& size, const QString& words, int tone) {
    p.setRenderHint(QPainter::Antialiasing);
    const QColor signal = tone == kToneSuccess   ? C(kSuccess)
                          : tone == kToneError   ? C(kDanger)
                          : tone == kToneWarning ? C(kWarning)
                                                 : C(kAccent);
    QColor tint = signal;
    tint.setAlpha(28);
    const QRectF box = QRectF(0, 0, size.width(), size.height()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(box, 8, 8);
    p.setPen(QPen(signal.lighter(130), 1));
    p.setBrush(tint);
    p.drawRoundedRect(box, 8, 8);
    const qreal d = size.height() - 12;
    const QRectF badge(8, 6, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(signal);
    p.drawEllipse(badge);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF c = badge.center();
    const qreal u = d / 18.0;
    if (tone == kToneSuccess) {
        p.drawPolyline(QPolygonF({c + QPointF(-4.5 * u, 0.2 * u), c + QPointF(-1.3 * u, 3.3 * u),
                                  c + QPointF(4.6 * u, -3.4 * u)}));
    } else if (tone == kToneError) {
        p.drawLine(c + QPointF(-3.6 * u, -3.6 * u), c + QPointF(3.6 * u, 3.6 * u));
        p.drawLine(c + QPointF(3.6 * u, -3.6 * u), c + QPointF(-3.6 * u, 3.6 * u));
    } else if (tone == kToneWarning) {
        p.drawLine(c + QPointF(0, -4.5 * u), c + QPointF(0, 1.2 * u));
        p.drawPoint(c + QPointF(0, 4.4 * u));
    } else {
        for (int i = -1; i <= 1; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(c + QPointF(i * 4.2 * u, 0), 1.5 * u, 1.5 * u);
        }
    }
    p.setPen(C(kInk));
    p.setFont(SkinFont(12, 600));
    const int left = static_cast<int>(badge.right()) + 9;
    p.drawText(QRect(left, 0, size.width() - left - 8, size.height()),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, words);
}

void PaintBanner(QPainter& p, const QSize& size) {
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, C(kBodyLow));
    g.setColorAt(1, C(0xE2E7F0));
    p.fillRect(QRect(QPoint(0, 0), size), g);
    p.fillRect(QRect(0, 0, size.width(), 1), C(kLine));
    p.setPen(C(kLine));
    p.drawLine(0, size.height() - 1, size.width() - 1, size.height() - 1);
    p.drawLine(0, 0, 0, size.height() - 1);
    p.drawLine(size.width() - 1, 0, size.width() - 1, size.height() - 1);
}

void PaintLink(QPainter& p, const QSize& size, const QString& words, bool hover) {
    QFont f = SkinFont(11, hover ? 600 : 500);
    f.setUnderline(hover);
    p.setFont(f);
    p.setPen(hover ? C(kLinkHover) : C(kLink));
    p.drawText(QRect(0, 0, size.width() - 12, size.height()), Qt::AlignVCenter | Qt::AlignRight,
               words);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(
        QPen(hover ? C(kLinkHover) : C(kLink), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal cy = size.height() / 2.0;
    p.drawPolyline(QPolygonF({QPointF(size.width() - 8, cy - 3.5), QPointF(size.width() - 4.5, cy),
                              QPointF(size.width() - 8, cy + 3.5)}));
}

void PaintLabel(QPainter& p, const QSize& size, const QString& words, bool muted) {
    p.setFont(SkinFont(11, muted ? 400 : 600));
    p.setPen(muted ? C(kMuted) : C(kInk));
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignVCenter | Qt::AlignLeft, words);
}

void PaintBar(QPainter& p, const QSize& size, bool correct) {
    QLinearGradient g(0, 0, size.width(), 0);
    const QColor base = correct ? C(kSuccess) : C(kAccent);
    g.setColorAt(0, base.lighter(118));
    g.setColorAt(1, base);
    p.fillRect(QRect(QPoint(0, 0), size), g);
    p.fillRect(QRect(0, 0, size.width(), 2), base.darker(115));
}

// The sign-in animation: the user's machine on the left, the server on the
// right, and a pulse of dots travelling between them.
void PaintAnimationFrame(QPainter& p, const QSize& size, int frame, int frames, bool creating) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = size.height();
    const QRectF left(4, (h - 28) / 2, 28, 28);
    const QRectF right(size.width() - 32, (h - 28) / 2, 28, 28);
    DrawGlyph(p, creating ? QStringLiteral("ADDCONTACT") : QStringLiteral("ACCOUNTINFO"), left,
              C(kNavy), C(kAccent), C(kBody));
    // The server: three stacked units with status lights.
    p.save();
    p.translate(right.topLeft());
    p.scale(right.width() / 24.0, right.height() / 24.0);
    p.setPen(QPen(C(kNavy), 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) p.drawRoundedRect(QRectF(4, 3 + i * 6.5, 16, 5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == frame % 3 ? C(kSuccess) : C(kAccent));
        p.drawEllipse(QPointF(16.5, 5.5 + i * 6.5), 1.1, 1.1);
    }
    p.restore();
    const int dots = 7;
    const qreal x0 = left.right() + 14;
    const qreal x1 = right.left() - 14;
    for (int i = 0; i < dots; ++i) {
        const qreal x = x0 + (x1 - x0) * i / (dots - 1);
        // Distance behind the travelling head, wrapping around.
        const int head = frame * (dots + 2) / frames;
        const int behind = head - i;
        QColor c = C(kLine);
        qreal r = 2.4;
        if (behind == 0) {
            c = C(kAccent);
            r = 4.2;
        } else if (behind == 1) {
            c = C(kAccentLight);
            r = 3.4;
        } else if (behind == 2) {
            c = C(kAccentTint);
            r = 2.9;
        }
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(x, h / 2), r, r);
    }
}

constexpr int kAnimationFrames = 12;
constexpr int kAnimationDelayMs = 90;
constexpr QSize kAnimationSize(240, 44);

}  // namespace

// ---- The table -----------------------------------------------------------

Skin::Skin(qreal devicePixelRatio) : dpr_(devicePixelRatio) {
    if (dpr_ <= 0) dpr_ = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    // Pictures are rendered at a whole ratio so that their logical sizes stay
    // exact; a fractional screen ratio scales them down smoothly.
    dpr_ = qMax(1.0, std::ceil(dpr_ - 0.01));
    auto add = [this](const QString& name, SkinEntry e) { entries_.insert(name, std::move(e)); };

    for (const BackgroundSpec& b : kBackgrounds) {
        RegisterBackground(QString::fromLatin1(b.name), QSize(b.w, b.h),
                           QString::fromLatin1(b.heading));
    }

    const FrameSpec frames[] = {
        {"IDB_IMCONVERSATION",
         QSize(387, 253),
         "",
         {{"TOP", QRect(0, 0, 387, 20)},
          {"SIDE", QRect(0, 20, 20, 233)},
          {"BOTTOM", QRect(20, 200, 347, 53)}},
         {{"SIDE", QRect(367, 20, 20, 233)}}},
        {"IDB_BKGNDTEXTVIEWER",
         QSize(520, 380),
         "",
         {{"TOP", QRect(0, 0, 520, 20)},
          {"SIDE", QRect(0, 20, 20, 360)},
          {"BOTTOM", QRect(20, 360, 480, 20)}},
         {{"SIDE", QRect(500, 20, 20, 360)}}},
        {"IDB_MAILBOX",
         QSize(830, 470),
         "Mailbox",
         {{"TOP", QRect(0, 0, 830, 56)},
          {"LEFT", QRect(0, 56, 14, 350)},
          {"MIDDLE", QRect(204, 56, 10, 350)},
          {"RIGHT", QRect(816, 56, 14, 350)},
          {"BOTTOM", QRect(0, 406, 830, 64)}},
         {}},
        {"IDB_WHITEBOARD",
         QSize(658, 466),
         "",
         {{"TOP", QRect(0, 0, 658, 11)},
          {"LEFT", QRect(0, 11, 12, 400)},
          {"RIGHT", QRect(646, 11, 12, 400)},
          {"BOTTOM", QRect(0, 411, 658, 55)}},
         {}},
        {"IDB_SESSION",
         QSize(600, 430),
         "Session",
         {{"TOP", QRect(0, 0, 600, 48)},
          {"LEFT", QRect(0, 48, 14, 322)},
          {"MIDDLE", QRect(436, 48, 12, 322)},
          {"RIGHT", QRect(586, 48, 14, 322)},
          {"BOTTOM", QRect(0, 370, 600, 60)}},
         {}},
        {"IDB_FINDCONTACT",
         QSize(728, 389),
         "Find a contact",
         {{"TOP", QRect(0, 0, 728, 85)},
          {"LEFT", QRect(0, 85, 41, 250)},
          {"RIGHT", QRect(686, 85, 42, 250)},
          {"BOTTOM", QRect(0, 335, 728, 54)}},
         {}},
    };
    for (const FrameSpec& f : frames) {
        const QString prefix = QString::fromLatin1(f.prefix);
        QRect middle;
        int header = 0;
        int footer = 0;
        for (const FramePieceSpec& piece : f.pieces) {
            const QString suffix = QString::fromLatin1(piece.suffix);
            if (suffix == "TOP") header = piece.rect.height();
            if (suffix == "BOTTOM") footer = piece.rect.height();
            if (suffix == "MIDDLE") middle = piece.rect;
        }
        QVector<SkinFramePiece> placed;
        for (const FramePieceSpec& piece : f.pieces) {
            SkinEntry e;
            e.kind = Kind::FramePiece;
            e.size = piece.rect.size();
            e.text = QString::fromLatin1(f.heading);
            e.piece = piece.rect;
            e.whole = f.client;
            e.header = header;
            e.footer = footer;
            e.middle = middle;
            const QString name = prefix + QString::fromLatin1(piece.suffix);
            add(name, e);
            placed.push_back({name, piece.rect.topLeft()});
        }
        for (const FramePieceSpec& piece : f.repeats) {
            placed.push_back({prefix + QString::fromLatin1(piece.suffix), piece.rect.topLeft()});
        }
        frames_.insert(prefix, placed);
        frameSizes_.insert(prefix, f.client);
    }

    for (const ButtonSpec& b : kButtons) {
        RegisterButton(QString::fromLatin1(b.caption), QSize(b.w, b.h),
                       b.label != nullptr ? QString::fromLatin1(b.label) : QString());
    }

    for (int state = 0; state < 6; ++state) {
        SkinEntry e;
        e.kind = Kind::CheckBox;
        e.size = QSize(13, 13);
        e.arg = state;
        add(QStringLiteral("IDB_CHECK%1").arg(state), e);
    }
    const std::pair<const char*, const char*> toggles[] = {
        {"BOLD", "B"}, {"ITALIC", "I"}, {"UNDERLINE", "U"}};
    for (const auto& [word, glyph] : toggles) {
        for (int on = 0; on < 2; ++on) {
            SkinEntry e;
            e.kind = Kind::Toggle;
            e.size = QSize(20, 20);
            e.text = QString::fromLatin1(glyph);
            e.arg = on;
            add(QStringLiteral("IDB_%1%2").arg(QString::fromLatin1(word), on ? "ON" : "OFF"), e);
        }
    }

    for (const char* icon :
         {"FOLDER", "FILE", "ATTACHMENT", "MARKCORRECT", "MARKINCORRECT", "MARKNEUTRAL"}) {
        SkinEntry e;
        e.kind = Kind::SmallIcon;
        e.size = QSize(16, 16);
        e.text = QString::fromLatin1(icon);
        add(QStringLiteral("IDB_%1").arg(QString::fromLatin1(icon)), e);
    }

    for (int correct = 0; correct < 2; ++correct) {
        SkinEntry e;
        e.kind = Kind::Bar;
        e.size = QSize(28, 126);
        e.arg = correct;
        add(correct ? QStringLiteral("IDB_BARCORRECT") : QStringLiteral("IDB_BAR"), e);
    }
}

void Skin::Register(const QString& name, SkinEntry entry) {
    cache_.remove(name);
    entries_.insert(name, std::move(entry));
}

void Skin::RegisterBackground(const QString& name, const QSize& size, const QString& heading) {
    SkinEntry e;
    e.kind = Kind::Background;
    e.size = size;
    e.text = heading;
    e.header = HeadingBand(size.height());
    Register(name, e);
}

void Skin::RegisterButton(const QString& caption, const QSize& size, const QString& label) {
    for (int v = 0; v < 4; ++v) {
        SkinEntry e;
        e.kind = Kind::Button;
        e.size = size;
        e.text = caption;
        e.label = label;
        e.arg = v;
        Register(caption + QChar::fromLatin1(kVariantLetters[v]), e);
    }
}

QStringList Skin::AskedFor() const {
    QStringList names(asked_.begin(), asked_.end());
    names.sort();
    return names;
}

bool Skin::Has(const QString& name) const {
    asked_.insert(name);
    return entries_.contains(name);
}

QSize Skin::SizeOf(const QString& name) const {
    asked_.insert(name);
    const auto it = entries_.constFind(name);
    return it == entries_.constEnd() ? QSize() : it->size;
}

QStringList Skin::Names() const {
    QStringList names = entries_.keys();
    names.sort();
    return names;
}

QPixmap Skin::Bitmap(const QString& name) const {
    asked_.insert(name);
    const auto it = entries_.constFind(name);
    if (it == entries_.constEnd()) return QPixmap();
    auto cached = cache_.constFind(name);
    if (cached != cache_.constEnd()) return *cached;
    QPixmap picture = Render(*it);
    cache_.insert(name, picture);
    return picture;
}

QVector<SkinFramePiece> Skin::FramePieces(const QString& prefix) const {
    return frames_.value(prefix);
}

QSize Skin::FrameClientSize(const QString& prefix) const {
    return frameSizes_.value(prefix);
}

int Skin::HeaderHeight(const QString& name) const {
    asked_.insert(name);
    const auto it = entries_.constFind(name);
    if (it == entries_.constEnd()) return 0;
    if (it->kind == Kind::Background) return it->header;
    if (it->kind == Kind::FramePiece && it->piece.top() == 0) return it->header;
    return 0;
}

QPixmap Skin::Canvas(const QSize& size) const {
    QPixmap pixmap(QSize(qCeil(size.width() * dpr_), qCeil(size.height() * dpr_)));
    pixmap.setDevicePixelRatio(dpr_);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap Skin::PaintBackground(const QSize& size, const QString& heading,
                               const QString& detail) const {
    if (size.isEmpty()) return QPixmap();
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::TextAntialiasing);
    PaintWindow(p, size, HeadingBand(size.height()), 0, QRect(), heading, detail);
    return pixmap;
}

QPixmap Skin::Render(const SkinEntry& e) const {
    QPixmap pixmap = Canvas(e.size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (e.kind) {
        case Kind::Background:
            PaintWindow(p, e.size, e.header, 0, QRect(), e.text);
            if (e.text == "New mail") {
                DrawGlyph(p, QStringLiteral("MAILACTIVE"), QRectF(24, e.header + 16, 44, 44),
                          C(kNavy), C(kAccent), C(kBody));
                p.setPen(C(kInk));
                p.setFont(SkinFont(15, 600));
                p.drawText(QRect(82, e.header, e.size.width() - 90, e.size.height() - e.header),
                           Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("You have new mail"));
            }
            break;
        case Kind::FramePiece:
            p.translate(-e.piece.topLeft());
            PaintWindow(p, e.whole, e.header, e.footer, e.middle, e.text);
            break;
        case Kind::Button: {
            const QByteArray label = e.label.toUtf8();
            PaintButton(p, e.size, e.text, e.label.isEmpty() ? nullptr : label.constData(), e.arg);
            break;
        }
        case Kind::CheckBox:
            PaintCheckBox(p, e.size, e.arg);
            break;
        case Kind::Toggle:
            PaintToggle(p, e.size, e.text, e.arg != 0);
            break;
        case Kind::Presence:
            PaintPresence(p, e.size, e.arg);
            break;
        case Kind::Status:
            PaintStatus(p, e.size, e.arg != 0);
            break;
        case Kind::TrayIcon:
            PaintTray(p, e.size, e.arg);
            break;
        case Kind::SmallIcon:
            PaintSmallIcon(p, e.size, e.text);
            break;
        case Kind::Result:
            PaintResult(p, e.size, e.text, e.arg);
            break;
        case Kind::Banner:
            PaintBanner(p, e.size);
            break;
        case Kind::Link:
            PaintLink(p, e.size, e.text, e.arg != 0);
            break;
        case Kind::Label:
            PaintLabel(p, e.size, e.text, e.arg != 0);
            break;
        case Kind::Bar:
            PaintBar(p, e.size, e.arg != 0);
            break;
    }
    return pixmap;
}

bool Skin::HasAnimation(const QString& name) const {
    return name == QLatin1String("GIF_AUTHENTICATING") ||
           name == QLatin1String("GIF_CREATINGACCOUNT");
}

QStringList Skin::AnimationNames() const {
    return {QStringLiteral("GIF_AUTHENTICATING"), QStringLiteral("GIF_CREATINGACCOUNT")};
}

QVector<AnimationFrame> Skin::Animation(const QString& name) const {
    if (!HasAnimation(name)) return {};
    return RenderAnimation(name);
}

QVector<AnimationFrame> Skin::RenderAnimation(const QString& name) const {
    QVector<AnimationFrame> frames;
    const bool creating = name == QLatin1String("GIF_CREATINGACCOUNT");
    for (int i = 0; i < kAnimationFrames; ++i) {
        QPixmap pixmap = Canvas(kAnimationSize);
        QPainter p(&pixmap);
        PaintAnimationFrame(p, kAnimationSize, i, kAnimationFrames, creating);
        p.end();
        frames.push_back({pixmap, kAnimationDelayMs});
    }
    return frames;
}

QColor Skin::Navy() {
    return C(kNavy);
}
QColor Skin::Accent() {
    return C(kAccent);
}
QColor Skin::Body() {
    return C(kBody);
}
QColor Skin::Ink() {
    return C(kInk);
}
QColor Skin::Muted() {
    return C(kMuted);
}
QColor Skin::Link() {
    return C(kLink);
}
QColor Skin::LinkHover() {
    return C(kLinkHover);
}

QVector<Skin::TextOnGround> Skin::ReadableText() {
    return {
        {"heading band words", Qt::white, C(kNavy)},
        {"heading band words, right end", Qt::white, C(kNavyLight)},
        {"heading band detail", C(kBandDetail), C(kNavyLight)},
        {"heading band detail, left end", C(kBandDetail), C(kNavy)},
        {"body words", C(kInk), C(kBody)},
        {"body words, lower body", C(kInk), C(0xEEF1F6)},
        {"muted words", C(kMuted), C(kBody)},
        {"muted words, lower body", C(kMuted), C(0xEEF1F6)},
        {"muted words on a band", C(kMuted), C(kBodyLow)},
        {"muted words on the banner", C(kMuted), C(0xE2E7F0)},
        {"link", C(kLink), C(kBody)},
        {"link under the pointer", C(kLinkHover), C(kBody)},
        {"primary pill", Qt::white, C(kLink)},
        {"primary pill pressed", Qt::white, C(kLinkHover)},
        {"secondary pill", C(kInk), Qt::white},
        {"secondary pill pressed", C(kInk), C(kAccentTint)},
        {"result words", C(kInk), Qt::white},
    };
}

double Skin::ContrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
QColor Skin::Success() {
    return C(kSuccess);
}
QColor Skin::Danger() {
    return C(kDanger);
}
QColor Skin::Warning() {
    return C(kWarning);
}
QFont Skin::Font(int pixelSize, int weight) {
    return SkinFont(pixelSize, weight);
}

}  // namespace ui
