#include "icons.h"

#include <QPainter>
#include <QPainterPath>

namespace orn {

QImage ProgramIcon() {
    QImage img(100, 100, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // The detector's body, its display and its alarm lamp.
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(QColor(240, 178, 30));
    p.drawRoundedRect(QRectF(14, 4, 72, 92), 12, 12);
    p.setBrush(QColor(35, 45, 40));
    p.drawRoundedRect(QRectF(22, 14, 56, 34), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 90));
    const int bars[] = {8, 14, 20, 26};
    for (int i = 0; i < 4; ++i) p.drawRect(QRectF(28 + i * 12, 42 - bars[i], 8, bars[i]));
    p.setBrush(QColor(210, 40, 30));
    p.drawEllipse(QPointF(50, 66), 9, 9);
    // The two wires of the line.
    p.setPen(QPen(QColor(50, 50, 50), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(36, 86), QPointF(36, 96));
    p.drawLine(QPointF(64, 86), QPointF(64, 96));
    return img;
}

namespace {

// One curved arrow: an arc from `from` through `bend` to `to`, and a filled
// head.
void DrawArrow(QPainter& p, const QColor& colour, QPointF from, QPointF bend, QPointF to, const QPolygonF& head) {
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.moveTo(from);
    arc.quadTo(bend, to);
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
}

} // namespace

QImage WriteGlyph() {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor green(0, 150, 40);
    // Upper arrow bending up, head to the right; lower one bending down, head to the left.
    DrawArrow(p, green, {2, 7}, {7, 1}, {12, 5}, QPolygonF({QPointF(15, 7), QPointF(10, 7.5), QPointF(13, 2.5)}));
    DrawArrow(p, green, {14, 9}, {9, 15}, {4, 11}, QPolygonF({QPointF(1, 9), QPointF(6, 8.5), QPointF(3, 13.5)}));
    return img;
}

} // namespace orn
