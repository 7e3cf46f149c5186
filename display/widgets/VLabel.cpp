#include "display/widgets/VLabel.h"

#include <QPainter>

VLabel::VLabel(QWidget *parent) : QLabel(parent) {}

VLabel::VLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {}

QSize VLabel::sizeHint() const {
    return QLabel::sizeHint().transposed();
}

QSize VLabel::minimumSizeHint() const {
    return QLabel::minimumSizeHint().transposed();
}

void VLabel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    p.translate(0, height());
    p.rotate(-90);
    p.drawText(QRect(0, 0, height(), width()), int(alignment()), text());
}
