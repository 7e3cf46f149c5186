#include "display/widgets/ImgDispA.h"

#include "display/widgets/ColorBar.h"
#include "imageio/TiffData.h"
#include "render/ImagePicture.h"

#include <QPainter>

namespace {
const QColor SelectionColor(192, 192, 255);
} // namespace

ImgDispA::ImgDispA(QWidget *parent) : DispA(parent) {
    m_view.setKeepAspect(true);
    connect(this, &DispA::drawImage1, this, &ImgDispA::drawImage);
    connect(this, &DispA::mousePressed0, this, &ImgDispA::onMousePressed);
    connect(this, &DispA::mouseReleased0, this, &ImgDispA::onMouseReleased);
    connect(this, &DispA::mouseMoved0, this, &ImgDispA::onMouseMoved);
    connect(this, &DispA::wheelMoved0, this, &ImgDispA::onWheelMoved);
}

void ImgDispA::setKeepAspect(bool keep) {
    m_view.setKeepAspect(keep);
    updateTransform();
    update();
}

void ImgDispA::setColorBar(ColorBar *bar) {
    m_cBar = bar;
}

void ImgDispA::setImage(const TiffData *image) {
    if (image)
        setImagePicture(imagePicture(*image), image->minimum(), image->maximum());
    else
        setImagePicture(QImage(), 0, 0);
}

void ImgDispA::setImagePicture(const QImage &picture, double minimum, double maximum) {
    m_picture = picture;
    m_imageShown = !picture.isNull();
    m_imageMin = minimum;
    m_imageMax = maximum;
    if (m_imageShown)
        m_view.setImageSize(picture.width(), picture.height());
    showImageRangeOnBar();
    updateTransform();
    update();
}

// An image is rendered over its own value range, so the bar's numbers are
// that range in counts (a map sets its display range instead).
void ImgDispA::showImageRangeOnBar() {
    if (m_resultMode || !m_imageShown || !m_cBar)
        return;
    const double lo = m_imageMin;
    const double hi = m_imageMax;
    if (lo <= hi && (lo != m_cBar->realMinimum() || hi != m_cBar->realMaximum()))
        m_cBar->setRange(lo, hi);
}

void ImgDispA::setPicture(const QImage &picture) {
    m_imageShown = false;
    m_picture = picture;
    m_view.setImageSize(picture.width(), picture.height());
    updateTransform();
    update();
}

void ImgDispA::setResultMode(bool flag, const ImageRenderer::MapPicture &map) {
    m_resultMode = flag;
    m_map = flag ? map : ImageRenderer::MapPicture();
    if (!m_map.image.isNull())
        m_view.setImageSize(m_map.image.width(), m_map.image.height());
    // A map of categories (clusters) is read through a bar of its colours.
    if (m_cBar)
        m_cBar->setCategories(m_map.image.isNull() ? 0 : m_map.categories);
    updateTransform();
    update();
}

// Images share their pixels, so handing one out by value copies nothing.
QImage ImgDispA::currentPicture() const {
    return m_resultMode ? m_map.image : m_picture;
}

void ImgDispA::setViewWindow(const QRectF &view) {
    m_view.setView(view);
    updateTransform();
    update();
}

// Real coordinates of the transform are image pixels of the view window.
void ImgDispA::updateTransform() {
    const QRectF v = m_view.shownView(width(), height());
    cc().setScreen(0, 0, width(), height());
    cc().setReal(v.x(), v.y(), v.x() + v.width(), v.y() + v.height());
}

void ImgDispA::resizeEvent(QResizeEvent *event) {
    DispA::resizeEvent(event);
    updateTransform();
}

// Only the view window is sampled, straight into the widget: the cost of a
// paint follows the widget's size, not the image's.
void ImgDispA::drawImage(QPainter *p) {
    if (m_resultMode && !m_map.image.isNull() && m_cBar)
        m_cBar->setRange(m_map.lo, m_map.hi);
    showImageRangeOnBar();
    updateTransform();
    const QImage pic = currentPicture();
    if (!pic.isNull())
        p->drawImage(QRectF(0, 0, width(), height()), pic, m_view.shownView(width(), height()));
    drawSelection(p);
}

void ImgDispA::drawSelection(QPainter *p) {
    QRectF r;
    if (m_view.isDragging())
        r = m_view.rubberBand().normalized();
    else if (m_showOverlay && m_view.hasSelection())
        r = m_view.selection();
    else
        return;
    const QPointF a = m_view.toScreen(r.left(), r.top(), width(), height());
    const QPointF b = m_view.toScreen(r.right(), r.bottom(), width(), height());
    p->save();
    p->setPen(QPen(SelectionColor, 2));
    p->setBrush(Qt::NoBrush);
    p->drawRect(QRectF(a, b));
    p->restore();
}

QPointF ImgDispA::mouseToImage(const QPoint &pos) const {
    return m_view.toImage(pos.x(), pos.y(), width(), height());
}

QImage ImgDispA::viewImage() const {
    const QImage pic = currentPicture();
    if (pic.isNull())
        return QImage();
    // Only the part of the view window that lies on the picture: a view zoomed
    // far out must not turn into a picture a hundred times the image's size.
    return pic.copy(m_view.view().toAlignedRect() & pic.rect());
}

void ImgDispA::onMousePressed() {
    m_view.press(mc().code(), mouseToImage(mc().pos()));
    noteSelection();
    update();
}

void ImgDispA::onMouseReleased() {
    if (m_view.release(mc().code()))
        updateTransform();
    noteSelection();
    update();
}

void ImgDispA::onMouseMoved() {
    if (m_exactPending) {
        m_exactPending = false;
        m_mouseImg = m_exactPos;
        emit mouseMoved(m_exactPos.x(), m_exactPos.y());
        return;
    }
    const QPointF img = mouseToImage(mc().pos());
    const int code = mc().code();
    if (code == MouseC::OtherButton) {
        m_mouseImg = img;
        emit mouseMoved(img.x(), img.y());
        return;
    }
    m_view.drag(code, img, mouseToImage(mc().prevPos()));
    noteSelection();
    if (m_view.isDragging())
        emit mouseDragged(img.x(), img.y());
    updateTransform();
}

void ImgDispA::onWheelMoved() {
    m_view.wheel(mc().wheelFactor(), mc().x(), mc().y(), width(), height());
    updateTransform();
    update();
}

void ImgDispA::resetImageViewWindow() {
    m_view.resetView();
    updateTransform();
    update();
}

void ImgDispA::setShowOverlayer(bool f) {
    m_showOverlay = f;
    update();
}

void ImgDispA::setSelectedArea(int x1, int y1, int x2, int y2) {
    m_view.setSelectedArea(x1, y1, x2, y2);
    noteSelection();
    update();
}

void ImgDispA::setViewWAsSelectedArea() {
    m_view.setViewAsSelection();
    updateTransform();
    noteSelection();
    update();
}

void ImgDispA::recallOldSelectedArea() {
    m_view.recallOldSelection();
    noteSelection();
    update();
}

void ImgDispA::clearSelectedArea() {
    m_view.clearSelection();
    noteSelection();
    update();
}

void ImgDispA::noteSelection() {
    const bool has = m_view.hasSelection();
    const QRectF r = has ? m_view.selection() : QRectF();
    if (has == m_saidHasSelection && r.x() == m_saidSelection.x() &&
        r.y() == m_saidSelection.y() && r.width() == m_saidSelection.width() &&
        r.height() == m_saidSelection.height())
        return;
    m_saidHasSelection = has;
    m_saidSelection = r;
    emit selectedAreaChanged();
}

void ImgDispA::zoomBy(double f) {
    m_view.zoom(f);
    updateTransform();
    update();
}

void ImgDispA::setImageMousePos(double x, double y) {
    updateTransform();
    m_exactPending = true;
    m_exactPos = QPointF(x, y);
    setRealMousePos(x, y);
    m_exactPending = false;
}
