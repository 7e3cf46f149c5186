#pragma once
// Text drawn into a rectangle, upright or turned by 90 degrees so that it reads
// from bottom to top (axis titles, the values on the colour bar).
#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

class DrawText {
public:
    struct Style {
        int angle = 0; // 0 or 90
        Qt::Alignment align = Qt::AlignCenter;
        int pointSize = 10;
        QColor color = Qt::black;
        QColor background; // invalid: no background
        // With a background: fill only a box around the text (padded by
        // 2 pixels) instead of the whole rectangle.
        bool fitBackground = false;
    };

    // Draws text inside rect (given in unrotated screen coordinates); the
    // alignment applies along the text's own direction. The painter's state
    // is left as it was.
    static void draw(QPainter *p, const QRectF &rect, const QString &text, const Style &style);
    static void draw(QPainter *p, const QRectF &rect, const QString &text, int angle,
                     Qt::Alignment align, int pointSize, const QColor &color,
                     const QColor &background = QColor());
};
