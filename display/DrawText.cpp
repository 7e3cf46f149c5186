#include "display/DrawText.h"

#include <QFont>
#include <QPainter>

void DrawText::draw(QPainter *p, const QRectF &rect, const QString &text, const Style &style) {
    p->save();
    QFont font = p->font();
    if (style.pointSize > 0)
        font.setPointSize(style.pointSize);
    p->setFont(font);
    p->translate(rect.center());
    QRectF box(-rect.width() / 2, -rect.height() / 2, rect.width(), rect.height());
    if (style.angle == 90) {
        p->rotate(-90);
        box = QRectF(-rect.height() / 2, -rect.width() / 2, rect.height(), rect.width());
    }
    if (style.background.isValid()) {
        const QRectF fill =
            style.fitBackground
                ? p->boundingRect(box, int(style.align), text).adjusted(-2, -1, 2, 1)
                : box;
        p->fillRect(fill, style.background);
    }
    p->setPen(style.color);
    p->drawText(box, int(style.align), text);
    p->restore();
}

void DrawText::draw(QPainter *p, const QRectF &rect, const QString &text, int angle,
                    Qt::Alignment align, int pointSize, const QColor &color,
                    const QColor &background) {
    Style s;
    s.angle = angle;
    s.align = align;
    s.pointSize = pointSize;
    s.color = color;
    s.background = background;
    draw(p, rect, text, s);
}
