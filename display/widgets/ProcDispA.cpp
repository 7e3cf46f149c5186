#include "display/widgets/ProcDispA.h"

#include <QPainter>

ProcDispA::ProcDispA(QWidget *parent) : DispA(parent) {
    connect(this, &DispA::drawImage1, this, &ProcDispA::drawOnScreen);
    connect(this, &DispA::mousePressed0, this, &ProcDispA::onMousePressed);
    connect(this, &DispA::mouseReleased0, this, &ProcDispA::onMouseReleased);
    connect(this, &DispA::mouseMoved0, this, &ProcDispA::onMouseMoved);
    connect(this, &DispA::wheelMoved0, this, &ProcDispA::onWheelMoved);
}

void ProcDispA::setImage(const QImage &image) {
    m_image = image;
    m_view.setImageSize(image.width(), image.height());
    m_view.resetView();
    updateTransform();
    update();
}

void ProcDispA::updateTransform() {
    const QRectF v = m_view.view();
    cc().setScreen(0, 0, width(), height());
    cc().setReal(v.x(), v.y(), v.x() + v.width(), v.y() + v.height());
}

void ProcDispA::drawOnScreen(QPainter *p) {
    updateTransform();
    if (!m_image.isNull())
        p->drawImage(QRectF(0, 0, width(), height()), m_image, m_view.view());
}

// The processor reads positions only; presses and releases select nothing.
void ProcDispA::onMousePressed() {}

void ProcDispA::onMouseReleased() {}

void ProcDispA::onMouseMoved() {
    const QPointF img = m_view.toImage(mc().x(), mc().y(), width(), height());
    emit mouseMoved(img.x(), img.y());
}

void ProcDispA::onWheelMoved() {
    m_view.zoomAbout(mc().wheelFactor(), mc().x(), mc().y(), width(), height());
    updateTransform();
    update();
}
