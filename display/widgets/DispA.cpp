#include "display/widgets/DispA.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DispA::DispA(QWidget *parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setMouseTracking(true);
}

QImage DispA::renderToImage() {
    QImage img(size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    render(&img);
    return img;
}

void DispA::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    emit drawImage1(&p);
    emit drawImage2(&p);
    drawFrame(&p);
}

void DispA::mouseMoveEvent(QMouseEvent *event) {
    m_mc.move(event->localPos().x(), event->localPos().y(), event->buttons(), event->modifiers());
    emit mouseMoved0();
    update();
}

void DispA::mousePressEvent(QMouseEvent *event) {
    m_mc.press(event->localPos().x(), event->localPos().y(), event->button(), event->modifiers());
    emit mousePressed0();
}

void DispA::mouseReleaseEvent(QMouseEvent *event) {
    m_mc.release(event->localPos().x(), event->localPos().y(), event->button(), event->modifiers());
    emit mouseReleased0();
}

void DispA::mouseDoubleClickEvent(QMouseEvent *) {
    emit mouseDoubleClicked0();
}

void DispA::wheelEvent(QWheelEvent *event) {
    m_mc.setPos(event->position().x(), event->position().y());
    m_mc.wheel(event->angleDelta().y());
    emit wheelMoved0();
    event->accept();
}

void DispA::setScreenMousePos(int x, int y) {
    m_mc.move(x, y, Qt::NoButton, Qt::NoModifier);
    emit mouseMoved0();
    update();
}

void DispA::setRealMousePos(double x, double y) {
    m_mc.move(m_cc.realToScreenX(x), m_cc.realToScreenY(y), Qt::NoButton, Qt::NoModifier);
    emit mouseMoved0();
    update();
}
