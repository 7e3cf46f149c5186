#include "display/ImageView.h"

#include "display/MouseC.h"

#include <algorithm>

namespace {
constexpr double EdgeBand = 0.1;

bool zoomCode(int code) {
    return code == MouseC::Left || code == MouseC::CtrlLeft;
}
} // namespace

void ImageView::setImageSize(int width, int height) {
    m_imgW = std::max(0, width);
    m_imgH = std::max(0, height);
    if (m_view.width() == 0)
        resetView();
}

void ImageView::setView(const QRectF &view) {
    m_view = limited(view);
}

void ImageView::resetView() {
    m_view = QRectF(0, 0, m_imgW, m_imgH);
}

QRectF ImageView::shownView(double W, double H) const {
    if (!m_keepAspect || W <= 0 || H <= 0 || m_view.width() <= 0 || m_view.height() <= 0)
        return m_view;
    QRectF v = m_view;
    const double widgetShape = W / H;
    if (v.width() / v.height() > widgetShape)
        v.setHeight(v.width() / widgetShape);
    else
        v.setWidth(v.height() * widgetShape);
    v.moveCenter(m_view.center());
    return v;
}

QPointF ImageView::toImage(double mx, double my, double W, double H) const {
    if (W <= 0 || H <= 0)
        return m_view.topLeft();
    const QRectF v = shownView(W, H);
    return QPointF(mx / W * v.width() + v.x(), my / H * v.height() + v.y());
}

QPointF ImageView::toScreen(double ix, double iy, double W, double H) const {
    const QRectF v = shownView(W, H);
    if (v.width() == 0 || v.height() == 0)
        return QPointF(0, 0);
    return QPointF((ix - v.x()) / v.width() * W, (iy - v.y()) / v.height() * H);
}

void ImageView::press(int code, const QPointF &img) {
    if (zoomCode(code)) {
        m_rubber = QRectF(img, QSizeF(0, 0));
        m_dragging = true;
    } else if (code == MouseC::Right) {
        clearSelection();
    }
}

void ImageView::drag(int code, const QPointF &img, const QPointF &prevImg) {
    if (zoomCode(code) && m_dragging) {
        m_rubber.setBottomRight(img);
    } else if (code == MouseC::ShiftLeft) {
        // The image follows the mouse.
        m_view.translate(prevImg - img);
    }
}

// A selection replaces the old one only when it has an area; a click leaves
// the selection (and the view) as they were.
bool ImageView::release(int code) {
    if (!m_dragging)
        return false;
    m_dragging = false;
    if (!zoomCode(code) || m_rubber.width() == 0 || m_rubber.height() == 0)
        return false;
    commitRubberBand();
    if (code == MouseC::CtrlLeft) {
        setViewAsSelection();
        return true;
    }
    return false;
}

void ImageView::commitRubberBand() {
    m_previous = m_selection;
    m_selection = m_rubber.normalized();
    m_hasSelection = true;
}

void ImageView::wheel(double f, double mx, double my, double W, double H) {
    if (W <= 0 || H <= 0 || f == 1)
        return;
    const bool sideBand = mx < EdgeBand * W || mx > (1 - EdgeBand) * W;
    const bool topBand = my < EdgeBand * H || my > (1 - EdgeBand) * H;
    const double fw = sideBand ? 1 : f;
    const double fh = (sideBand || !topBand) ? f : 1;
    const QPointF uv = viewFraction(mx, my, W, H);
    scaleAbout(fw, fh, uv.x(), uv.y());
}

void ImageView::zoomAbout(double f, double mx, double my, double W, double H) {
    if (W <= 0 || H <= 0 || f == 1)
        return;
    const QPointF uv = viewFraction(mx, my, W, H);
    scaleAbout(f, f, uv.x(), uv.y());
}

// Where the widget point lies in the view window, as fractions of its size
// (outside [0, 1] in the letterbox bands).
QPointF ImageView::viewFraction(double mx, double my, double W, double H) const {
    if (m_view.width() <= 0 || m_view.height() <= 0)
        return QPointF(mx / W, my / H);
    const QPointF p = toImage(mx, my, W, H);
    return QPointF((p.x() - m_view.x()) / m_view.width(), (p.y() - m_view.y()) / m_view.height());
}

// Scales the view window so that the image point at the relative widget
// position (u, v) stays where it is.
void ImageView::scaleAbout(double fw, double fh, double u, double v) {
    if (m_view.isEmpty())
        return; // nothing shown yet: the first image must still be shown whole
    QRectF z = limited(QRectF(0, 0, fw * m_view.width(), fh * m_view.height()));
    z.moveTo(m_view.x() + u * (m_view.width() - z.width()),
             m_view.y() + v * (m_view.height() - z.height()));
    m_view = z;
}

void ImageView::zoom(double f) {
    if (m_view.isEmpty())
        return;
    const QPointF c = m_view.center();
    QRectF z = limited(QRectF(0, 0, f * m_view.width(), f * m_view.height()));
    z.moveCenter(c);
    m_view = z;
}

// Keeps a view window's size within sensible bounds (its origin is free).
QRectF ImageView::limited(const QRectF &view) const {
    const double maxW = MaxZoomOut * std::max(1, m_imgW);
    const double maxH = MaxZoomOut * std::max(1, m_imgH);
    QRectF v = view.normalized();
    v.setWidth(std::clamp(v.width(), MinViewSize, std::max(MinViewSize, maxW)));
    v.setHeight(std::clamp(v.height(), MinViewSize, std::max(MinViewSize, maxH)));
    return v;
}

void ImageView::clearSelection() {
    m_selection = QRectF();
    m_hasSelection = false;
}

void ImageView::setSelectedArea(int x1, int y1, int x2, int y2) {
    m_previous = m_selection;
    m_selection = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
    m_hasSelection = true;
}

void ImageView::setViewAsSelection() {
    if (m_hasSelection && m_selection.width() > 0 && m_selection.height() > 0)
        setView(m_selection);
}

void ImageView::recallOldSelection() {
    if (m_hasSelection)
        m_selection = m_previous;
}

bool ImageView::isInSelectedArea(double x, double y) const {
    if (!m_hasSelection)
        return true;
    return x >= m_selection.left() && x <= m_selection.right() && y >= m_selection.top() &&
           y <= m_selection.bottom();
}
