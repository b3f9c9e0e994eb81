// Paints the program's icon set and writes it as PNG files under <out>/images and <out>/image.
// The committed PNGs in resources/Resources are regenerated with scripts/make-icons.
//
// One style throughout: a flat rounded-square (or round) badge in one of a few palette colours with
// a simple white glyph, drawn on a 64-unit canvas and scaled to the file size. Labels use a small
// built-in stroke font so the output does not depend on the fonts of the machine that runs this.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// Palette, one colour per group of functions.
const QColor kSlate(0x37, 0x47, 0x4F);     // the sensor itself, axes, recording
const QColor kNight(0x26, 0x32, 0x38);     // application icon
const QColor kBlue(0x1E, 0x88, 0xE5);      // view tools
const QColor kTeal(0x00, 0x89, 0x7B);      // data: table, files, CSV
const QColor kIndigo(0x39, 0x49, 0xAB);    // capture-file transport
const QColor kOrange(0xF5, 0x7C, 0x00);    // sensor settings
const QColor kHelp(0x54, 0x6E, 0x7A);      // help tab
const QColor kRed(0xE5, 0x39, 0x35);
const QColor kGreen(0x43, 0xA0, 0x47);
const QColor kYellow(0xF9, 0xA8, 0x25);
const QColor kPurple(0x8E, 0x24, 0xAA);
const QColor kWhite(Qt::white);

constexpr qreal kStroke = 5.0;  // glyph line width in canvas units (about 2 px at 24 px)

QPen glyphPen(qreal width = kStroke, const QColor& colour = kWhite) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void roundBadge(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
}

void circleBadge(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(32, 32), 28, 28);
}

void fillPolygon(QPainter& p, const QPolygonF& poly, const QColor& colour = kWhite) {
    // A thin pen of the same colour rounds the corners of the filled shape.
    p.setPen(glyphPen(2.5, colour));
    p.setBrush(colour);
    p.drawPolygon(poly);
}

// ---- stroke font: digits, '.', 'x' and the letters of "CSV"; cap height 1.0, y down ----

struct Glyph {
    QPainterPath path;
    qreal width = 0.6;
    bool dot = false;  // '.' is a filled dot rather than a stroke
};

Glyph glyphFor(QChar c) {
    Glyph g;
    QPainterPath& s = g.path;
    switch (c.toLatin1()) {
    case '0':
        s.addRoundedRect(QRectF(0, 0, 0.6, 1.0), 0.3, 0.3);
        break;
    case '1':
        s.moveTo(0.08, 0.22);
        s.lineTo(0.34, 0.0);
        s.lineTo(0.34, 1.0);
        g.width = 0.4;
        break;
    case '2':
        s.moveTo(0.02, 0.24);
        s.cubicTo(0.06, -0.07, 0.6, -0.08, 0.58, 0.3);
        s.cubicTo(0.56, 0.52, 0.12, 0.76, 0.0, 1.0);
        s.lineTo(0.6, 1.0);
        break;
    case '3':
        s.moveTo(0.03, 0.12);
        s.cubicTo(0.2, -0.05, 0.6, -0.03, 0.57, 0.25);
        s.cubicTo(0.55, 0.45, 0.35, 0.47, 0.22, 0.47);
        s.cubicTo(0.45, 0.47, 0.62, 0.55, 0.6, 0.75);
        s.cubicTo(0.58, 1.02, 0.15, 1.05, 0.0, 0.88);
        break;
    case '5':
        s.moveTo(0.56, 0.0);
        s.lineTo(0.08, 0.0);
        s.lineTo(0.04, 0.45);
        s.cubicTo(0.25, 0.35, 0.62, 0.38, 0.6, 0.7);
        s.cubicTo(0.58, 1.03, 0.15, 1.04, 0.0, 0.88);
        break;
    case '.':
        g.dot = true;
        g.width = 0.12;
        s.addEllipse(QPointF(0.06, 0.94), 0.0, 0.0);
        break;
    case 'x':
        s.moveTo(0.0, 0.42);
        s.lineTo(0.46, 1.0);
        s.moveTo(0.46, 0.42);
        s.lineTo(0.0, 1.0);
        g.width = 0.46;
        break;
    case 'C':
        s.arcMoveTo(QRectF(0, 0, 0.64, 1.0), 50);
        s.arcTo(QRectF(0, 0, 0.64, 1.0), 50, 260);
        g.width = 0.6;
        break;
    case 'S':
        s.moveTo(0.56, 0.15);
        s.cubicTo(0.45, -0.04, 0.02, -0.04, 0.03, 0.25);
        s.cubicTo(0.04, 0.48, 0.58, 0.45, 0.58, 0.73);
        s.cubicTo(0.58, 1.05, 0.12, 1.04, 0.02, 0.85);
        break;
    case 'V':
        s.moveTo(0.0, 0.0);
        s.lineTo(0.3, 1.0);
        s.lineTo(0.6, 0.0);
        break;
    default:
        std::fprintf(stderr, "make_icons: no glyph for '%c'\n", c.toLatin1());
        std::exit(2);
    }
    return g;
}

// Draws text with cap height `height` (less if it would be wider than `maxWidth`), centred on
// `centre`; `width` is the stroke width.
void strokeText(QPainter& p, const QString& text, QPointF centre, qreal height, qreal width,
                const QColor& colour = kWhite, qreal maxWidth = 46) {
    std::vector<Glyph> glyphs;
    qreal em = 0;
    for (QChar c : text) {
        glyphs.push_back(glyphFor(c));
        em += glyphs.back().width;
    }
    const int gaps = static_cast<int>(glyphs.size()) - 1;
    // Outer extent: glyph boxes, the gaps (0.2 em plus one stroke each) and half a stroke per side.
    const auto extent = [&](qreal h) { return em * h + gaps * (0.2 * h + width) + width; };
    if (extent(height) > maxWidth)
        height = (maxWidth - gaps * width - width) / (em + 0.2 * gaps);
    const qreal gap = 0.2 * height + width;
    const qreal total = extent(height) - width;
    qreal x = centre.x() - total / 2;
    const qreal top = centre.y() - height / 2;
    for (const Glyph& g : glyphs) {
        QTransform t;
        t.translate(x, top);
        t.scale(height, height);
        if (g.dot) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(t.map(QPointF(0.06, 0.94)) + QPointF(0, width * 0.1), width * 0.72,
                          width * 0.72);
        } else {
            p.setPen(glyphPen(width, colour));
            p.setBrush(Qt::NoBrush);
            p.drawPath(t.map(g.path));
        }
        x += g.width * height + gap;
    }
}

// ---- shared glyphs ----

// A right-pointing triangle with its tip at `tip`, its back edge `h` tall and `w` behind the tip.
QPolygonF triangle(QPointF tip, qreal w, qreal h, bool right = true) {
    const qreal back = right ? tip.x() - w : tip.x() + w;
    return QPolygonF({QPointF(back, tip.y() - h / 2), tip, QPointF(back, tip.y() + h / 2)});
}

void doubleArrow(QPainter& p, bool forward, qreal cy, qreal h) {
    const qreal w = h * 0.72;
    const qreal span = 2 * w;
    const qreal x0 = 32 - span / 2;
    if (forward) {
        fillPolygon(p, triangle(QPointF(x0 + w, cy), w, h));
        fillPolygon(p, triangle(QPointF(x0 + 2 * w, cy), w, h));
    } else {
        fillPolygon(p, triangle(QPointF(x0, cy), w, h, false));
        fillPolygon(p, triangle(QPointF(x0 + w, cy), w, h, false));
    }
}

void seek(QPainter& p, bool forward, const QString& label) {
    roundBadge(p, kIndigo);
    if (label.isEmpty()) {
        doubleArrow(p, forward, 32, 26);
        return;
    }
    // Speed variants: a smaller arrow pair on top, the speed underneath.
    doubleArrow(p, forward, 21, 18);
    strokeText(p, label, QPointF(32, 45), 15, 3.4);
}

void play(QPainter& p) {
    fillPolygon(p, triangle(QPointF(46, 32), 22, 28));
}

void pauseBars(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(20, 18, 9, 28), 2.5, 2.5);
    p.drawRoundedRect(QRectF(35, 18, 9, 28), 2.5, 2.5);
}

// A rotating range sensor: head with its lens, the beam sweeping round and the returns it sees,
// brighter where the beam has just passed.
void sensorMark(QPainter& p) {
    const QPointF c(32, 32);
    for (int i = 0; i < 16; ++i) {
        const qreal a = qDegreesToRadians(22.5 * i - 67.5);
        const QPointF pt = c + QPointF(22 * qCos(a), 22 * qSin(a));
        QColor dot(0x4D, 0xD0, 0xE1);
        dot.setAlphaF(0.3 + 0.7 * (15 - i) / 15.0);
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(pt, 2.3, 2.3);
    }
    // The beam sweep.
    QPainterPath wedge;
    wedge.moveTo(c);
    wedge.arcTo(QRectF(c.x() - 24, c.y() - 24, 48, 48), 45, 40);
    wedge.closeSubpath();
    QColor beam(0x4D, 0xD0, 0xE1);
    beam.setAlphaF(0.55);
    p.setBrush(beam);
    p.drawPath(wedge);
    // Head and lens.
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawEllipse(c, 10.5, 10.5);
    p.setBrush(kNight);
    p.drawEllipse(c, 5, 5);
    p.setBrush(QColor(0x4D, 0xD0, 0xE1));
    p.drawEllipse(c + QPointF(1.2, -1.2), 2, 2);
}

void appIcon(QPainter& p) {
    roundBadge(p, kNight);
    sensorMark(p);
}

void sensor(QPainter& p) {
    roundBadge(p, kSlate);
    // A cylinder with a window band.
    QPainterPath body;
    body.moveTo(19, 15);
    body.lineTo(19, 47);
    body.arcTo(QRectF(19, 43, 26, 9), 180, 180);
    body.lineTo(45, 15);
    body.arcTo(QRectF(19, 11, 26, 9), 0, 180);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawPath(body);
    p.setBrush(kSlate);
    p.drawRoundedRect(QRectF(22, 26, 20, 9), 2, 2);
    QColor top(0xCF, 0xD8, 0xDC);
    p.setBrush(top);
    p.drawEllipse(QRectF(21, 12.5, 22, 6));
}

void dataList(QPainter& p) {
    roundBadge(p, kTeal);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    for (qreal y : {20.0, 32.0, 44.0}) {
        p.drawRoundedRect(QRectF(14, y - 3.5, 7, 7), 1.5, 1.5);
        p.drawRoundedRect(QRectF(25, y - 2.5, 25, 5), 2.5, 2.5);
    }
}

void grid(QPainter& p) {
    roundBadge(p, kBlue);
    p.setPen(glyphPen(3.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(15, 15, 34, 34), 3, 3);
    for (qreal v : {26.33, 37.67}) {
        p.drawLine(QPointF(v, 15), QPointF(v, 49));
        p.drawLine(QPointF(15, v), QPointF(49, v));
    }
}

void axisArrow(QPainter& p, QPointF from, QPointF to) {
    const QLineF line(from, to);
    const QPointF unit = (to - from) / line.length();
    const QPointF normal(-unit.y(), unit.x());
    p.setPen(glyphPen(4.0));
    p.drawLine(from, to - unit * 6);
    fillPolygon(p, QPolygonF({to, to - unit * 9 + normal * 5, to - unit * 9 - normal * 5}));
}

void coordinate(QPainter& p) {
    roundBadge(p, kSlate);
    const QPointF o(26, 38);
    axisArrow(p, o, QPointF(26, 10));   // z
    axisArrow(p, o, QPointF(54, 38));   // x
    axisArrow(p, o, QPointF(11, 53));   // y
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawEllipse(o, 4, 4);
}

void select(QPainter& p) {
    roundBadge(p, kBlue);
    QPen dashed = glyphPen(3.5);
    dashed.setCapStyle(Qt::FlatCap);
    dashed.setDashPattern({1.6, 1.2});
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(12, 12, 30, 30));
    // Pointer.
    QPolygonF arrow({QPointF(30, 28), QPointF(30, 53), QPointF(36, 47), QPointF(40, 55),
                     QPointF(45, 53), QPointF(41, 45), QPointF(49, 44)});
    p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kWhite);
    p.drawPolygon(arrow);
}

void clear(QPainter& p) {
    roundBadge(p, kBlue);
    // A waste bin.
    p.setPen(glyphPen(4.5));
    p.drawLine(QPointF(17, 20), QPointF(47, 20));
    p.setPen(glyphPen(3.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(27, 13, 10, 7), 2, 2);
    fillPolygon(p, QPolygonF({QPointF(20, 25), QPointF(44, 25), QPointF(41.5, 51), QPointF(22.5, 51)}));
    p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {27.0, 32.0, 37.0})
        p.drawLine(QPointF(x, 31), QPointF(x, 45));
}

enum class Face { Front, Top, Left };

void cubeView(QPainter& p, Face face) {
    roundBadge(p, kBlue);
    p.save();
    if (face == Face::Left) {  // seen from the left: mirror the cube so its side faces us
        p.translate(64, 0);
        p.scale(-1, 1);
    }
    const QPointF f0(14, 27), f1(37, 27), f2(37, 50), f3(14, 50);
    const QPointF d(11, -11);
    const QPolygonF front({f0, f1, f2, f3});
    const QPolygonF top({f0, f0 + d, f1 + d, f1});
    const QPolygonF side({f1, f1 + d, f2 + d, f2});
    const QPolygonF& lit = face == Face::Front ? front : face == Face::Top ? top : side;
    QColor shade(kWhite);
    shade.setAlphaF(0.25);
    for (const QPolygonF* poly : {&front, &top, &side}) {
        p.setPen(glyphPen(3.2));
        p.setBrush(poly == &lit ? QBrush(kWhite) : QBrush(shade));
        p.drawPolygon(*poly);
    }
    p.restore();
}

void openFile(QPainter& p) {
    roundBadge(p, kTeal);
    // An open folder.
    QPainterPath back;
    back.moveTo(12, 47);
    back.lineTo(12, 17);
    back.lineTo(25, 17);
    back.lineTo(29, 22);
    back.lineTo(46, 22);
    back.lineTo(46, 28);
    p.setPen(glyphPen(4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(back);
    fillPolygon(p, QPolygonF({QPointF(20, 29), QPointF(54, 29), QPointF(46, 48), QPointF(12, 48)}));
}

void goTo(QPainter& p, bool toEnd) {
    roundBadge(p, kIndigo);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    if (toEnd) {
        fillPolygon(p, triangle(QPointF(39, 32), 22, 28));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(41, 18, 6, 28), 2, 2);
    } else {
        fillPolygon(p, triangle(QPointF(25, 32), 22, 28, false));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(17, 18, 6, 28), 2, 2);
    }
}

void record(QPainter& p) {
    roundBadge(p, kSlate);
    p.setPen(glyphPen(4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 17, 17);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(32, 32), 10, 10);
}

void sliders(QPainter& p) {
    roundBadge(p, kOrange);
    const qreal knobs[] = {40, 24, 34};
    const qreal rows[] = {19, 32, 45};
    for (int i = 0; i < 3; ++i) {
        p.setPen(glyphPen(4));
        p.drawLine(QPointF(15, rows[i]), QPointF(49, rows[i]));
        p.setPen(QPen(kOrange, 2.5));
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(knobs[i], rows[i]), 6, 6);
    }
}

void gear(QPainter& p) {
    roundBadge(p, kOrange);
    const QPointF c(32, 32);
    const int teeth = 8;
    QPolygonF outline;
    for (int i = 0; i < teeth; ++i) {
        const qreal a = 360.0 / teeth * i;
        const qreal pts[][2] = {{a - 13, 15.5}, {a - 8, 21}, {a + 8, 21}, {a + 13, 15.5}};
        for (const auto& pt : pts) {
            const qreal r = qDegreesToRadians(pt[0]);
            outline << c + QPointF(pt[1] * qCos(r), pt[1] * qSin(r));
        }
    }
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    path.addEllipse(c, 6.5, 6.5);
    path.setFillRule(Qt::OddEvenFill);
    p.setPen(glyphPen(2, kWhite));
    p.setBrush(kWhite);
    p.drawPath(path);
}

void channels(QPainter& p) {
    roundBadge(p, kOrange);
    // Laser channels fanning out of the sensor.
    const QPointF origin(17, 32);
    for (int i = 0; i < 5; ++i) {
        const QPointF end(48, 14 + 9 * i);
        p.setPen(glyphPen(i == 2 ? 4.0 : 2.8));
        p.drawLine(origin, end);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawEllipse(end, 3.4, 3.4);
    }
    p.drawRoundedRect(QRectF(11, 24, 9, 16), 2.5, 2.5);
}

void csv(QPainter& p) {
    roundBadge(p, kTeal);
    fillPolygon(p, QPolygonF({QPointF(15, 10), QPointF(39, 10), QPointF(49, 20), QPointF(49, 54),
                              QPointF(15, 54)}));
    p.setPen(glyphPen(2.5, kTeal));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(39, 10), QPointF(39, 20), QPointF(49, 20)}));
    strokeText(p, "CSV", QPointF(32, 37), 11, 2.8, kTeal);
}

void rangeRings(QPainter& p) {
    roundBadge(p, kOrange);
    const QPointF o(15, 49);
    p.setPen(glyphPen(3.6));
    p.setBrush(Qt::NoBrush);
    for (qreal r : {12.0, 22.0, 32.0})
        p.drawArc(QRectF(o.x() - r, o.y() - r, 2 * r, 2 * r), 0, 90 * 16);
    p.drawLine(o, o + QPointF(29, -29) * 0.92);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawEllipse(o, 4, 4);
}

void swatch(QPainter& p, const QBrush& fill) {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QPointF(32, 32), 28, 28);
    p.setPen(glyphPen(3.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 19, 19);
}

void colourWheel(QPainter& p) {
    QConicalGradient g(QPointF(32, 32), 90);
    const QColor stops[] = {kRed, kYellow, kGreen, QColor(0x00, 0xAC, 0xC1), kBlue, kPurple, kRed};
    for (int i = 0; i < 7; ++i)
        g.setColorAt(i / 6.0, stops[i]);
    swatch(p, g);
}

void about(QPainter& p) {
    roundBadge(p, kHelp);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawEllipse(QPointF(32, 18), 4.5, 4.5);
    p.drawRoundedRect(QRectF(27.5, 27, 9, 22), 3, 3);
}

void guide(QPainter& p) {
    roundBadge(p, kHelp);
    // An open book.
    QPainterPath left;
    left.moveTo(30.5, 20);
    left.cubicTo(25, 15, 17, 15, 11, 17);
    left.lineTo(11, 46);
    left.cubicTo(17, 44, 25, 44, 30.5, 49);
    left.closeSubpath();
    p.setPen(glyphPen(2));
    p.setBrush(kWhite);
    p.drawPath(left);
    p.save();
    p.translate(64, 0);
    p.scale(-1, 1);
    p.drawPath(left);
    p.restore();
    p.setPen(QPen(kHelp, 2, Qt::SolidLine, Qt::RoundCap));
    for (qreal y : {25.0, 31.0, 37.0}) {
        p.drawLine(QPointF(16, y), QPointF(26, y + 1));
        p.drawLine(QPointF(48, y), QPointF(38, y + 1));
    }
}

void develop(QPainter& p) {
    roundBadge(p, kHelp);
    p.setPen(glyphPen(5));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(22, 21), QPointF(12, 32), QPointF(22, 43)}));
    p.drawPolyline(QPolygonF({QPointF(42, 21), QPointF(52, 32), QPointF(42, 43)}));
    p.drawLine(QPointF(36, 17), QPointF(28, 47));
}

void yes(QPainter& p) {
    circleBadge(p, kGreen);
    p.setPen(glyphPen(6));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(19, 33), QPointF(28, 42), QPointF(45, 23)}));
}

void no(QPainter& p) {
    circleBadge(p, kRed);
    p.setPen(glyphPen(6));
    p.drawLine(QPointF(22, 22), QPointF(42, 42));
    p.drawLine(QPointF(42, 22), QPointF(22, 42));
}

// Rotation speed: a turning arrow around the frequency in Hz.
void rotationSpeed(QPainter& p, const QString& hz) {
    roundBadge(p, kOrange);
    const QPointF c(32, 32);
    const qreal r = 21;
    p.setPen(glyphPen(3.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 100 * 16, 300 * 16);
    const qreal endDeg = 100.0 + 300.0;
    const qreal a = qDegreesToRadians(-endDeg);
    const QPointF tip = c + QPointF(r * qCos(a), r * qSin(a));
    QTransform t;
    t.translate(tip.x(), tip.y());
    t.rotate(-endDeg - 90);
    fillPolygon(p, t.map(QPolygonF({QPointF(-6, -1.5), QPointF(6, -1.5), QPointF(0, 6)})));
    strokeText(p, hz, c, 17, 4.2);
}

struct Icon {
    QString path;  // relative to the output directory
    int size;
    std::function<void(QPainter&)> paint;
};

std::vector<Icon> iconSet() {
    using P = QPainter;
    std::vector<Icon> icons = {
        // The window icon, drawn larger for task bars and title bars.
        {"images/kestrel-K740-P.png", 128, appIcon},
        {"images/Sensor.png", 64, sensor},
        {"images/DataList.png", 64, dataList},
        {"images/Grid.png", 64, grid},
        {"images/Coordinate.png", 64, coordinate},
        {"images/Red.png", 64, [](P& p) { circleBadge(p, kRed); pauseBars(p); }},
        {"images/Green.png", 64, [](P& p) { circleBadge(p, kGreen); play(p); }},
        {"images/select.png", 64, select},
        {"images/clear.png", 64, clear},
        {"images/zhengshi.png", 64, [](P& p) { cubeView(p, Face::Front); }},
        {"images/fushi.png", 64, [](P& p) { cubeView(p, Face::Top); }},
        {"images/zuoshi.png", 64, [](P& p) { cubeView(p, Face::Left); }},
        {"images/OpenCaptureFile.png", 64, openFile},
        {"images/Gotostart.png", 64, [](P& p) { goTo(p, false); }},
        {"images/Gotostop.png", 64, [](P& p) { goTo(p, true); }},
        {"images/Play.png", 64, [](P& p) { roundBadge(p, kIndigo); play(p); }},
        {"images/Pause.png", 64, [](P& p) { roundBadge(p, kIndigo); pauseBars(p); }},
        {"images/Record.png", 64, record},
        {"images/InteractionSetUp.png", 64, sliders},
        {"images/AdvancedSetting.png", 64, gear},
        {"images/Chanel.png", 64, channels},
        {"images/Csv.png", 64, csv},
        {"images/Measure_mentGrid.png", 64, rangeRings},
        {"images/Purple.png", 64, [](P& p) { swatch(p, kPurple); }},
        {"images/Yellow.png", 64, [](P& p) { swatch(p, kYellow); }},
        {"images/Color.png", 64, colourWheel},
        {"images/About.png", 64, about},
        {"images/User.png", 64, guide},
        {"images/Develop.png", 64, develop},
        {"images/YES.png", 64, yes},
        {"images/NO.png", 64, no},
        {"images/5.png", 64, [](P& p) { rotationSpeed(p, "5"); }},
        {"images/10.png", 64, [](P& p) { rotationSpeed(p, "10"); }},
        {"images/20.png", 64, [](P& p) { rotationSpeed(p, "20"); }},
        // Progress-dialog and dialog window icons.
        {"image/kestrel.png", 64, appIcon},
        {"image/Sensor.png", 64, sensor},
        {"image/InteractionSetUp.png", 64, sliders},
        {"image/AdvancedSetting.png", 64, gear},
    };
    // Playback speed buttons: plain arrows, then one per speed step.
    for (const char* speed : {"", "2x", "3x", "0.5x", "0.25x"}) {
        const QString label = QString::fromLatin1(speed);
        const QString suffix = label.isEmpty() ? QString() : "_" + label;
        icons.push_back({"images/Seekforward" + suffix + ".png", 64,
                         [label](P& p) { seek(p, true, label); }});
        icons.push_back({"images/Seekbackward" + suffix + ".png", 64,
                         [label](P& p) { seek(p, false, label); }});
    }
    return icons;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory, e.g. resources/Resources>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    for (const Icon& icon : iconSet()) {
        const QString file = out.filePath(icon.path);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QImage image(icon.size, icon.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(icon.size / 64.0, icon.size / 64.0);
            icon.paint(p);
        }
        if (!image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG", 9)) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
