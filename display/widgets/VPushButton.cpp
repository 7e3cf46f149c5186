#include "display/widgets/VPushButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

VPushButton::VPushButton(QWidget *parent) : QPushButton(parent) {}

VPushButton::VPushButton(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

QSize VPushButton::sizeHint() const {
    return QPushButton::sizeHint().transposed();
}

QSize VPushButton::minimumSizeHint() const {
    return QPushButton::minimumSizeHint().transposed();
}

// The bevel is drawn for the real (tall) rectangle; the label is drawn as for
// an upright button of transposed size inside a rotated painter.
void VPushButton::paintEvent(QPaintEvent *) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    p.drawControl(QStyle::CE_PushButtonBevel, opt);
    p.translate(0, height());
    p.rotate(-90);
    opt.rect = QRect(0, 0, height(), width());
    p.drawControl(QStyle::CE_PushButtonLabel, opt);
}
