#include "display/widgets/ColorBar.h"

#include "display/DrawText.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
const QColor ThresholdColor(0, 192, 255);
const QColor LabelColor(0, 255, 192);
// Behind each number, so that it reads on the white as well as the black end.
const QColor LabelBoxColor(24, 24, 24);
constexpr int BarWidth = 20;
constexpr int InitialBarHeight = 600;
} // namespace

ColorBar::ColorBar(QWidget *parent) : DispA(parent) {
    m_bar = QImage(BarWidth, InitialBarHeight, QImage::Format_RGB32);
    connect(this, &DispA::drawImage1, this, &ColorBar::draw1);
    connect(this, &DispA::mouseMoved0, this, &ColorBar::onMouseMoved);
    connect(this, &DispA::mousePressed0, this, &ColorBar::onMousePressed);
    connect(this, &DispA::mouseReleased0, this, &ColorBar::onMouseReleased);
    paintCBar();
}

QColor ColorBar::labelBoxColor() {
    return LabelBoxColor;
}

void ColorBar::registerAsShared() {
    m_shared = true;
    publish();
}

void ColorBar::publish() {
    if (m_shared)
        ColorMap::setShared(m_map);
}

void ColorBar::setWindow(double lower, double upper) {
    m_map.setWindow(lower, upper);
    publish();
    paintCBar();
    update();
}

void ColorBar::setFormat(QImage::Format format) {
    if (ColorMap::bytesPerPixel(format) == 0)
        return;
    m_map.setFormat(format);
    publish();
    paintCBar();
    update();
}

void ColorBar::setRange(double minimum, double maximum) {
    m_map.setRange(minimum, maximum);
    publish();
    update();
}

// Row h of a bar h rows high shows the fraction (H - 1 - h) / H, so that the
// rows line up with the thresholds drawn at (1 - fraction) * H.
double ColorBar::fractionOfH(int h) const {
    const int H = std::max(1, height());
    return double(H - 1 - h) / H;
}

QColor ColorBar::colorOfH(int h) const {
    if (m_categories > 0) {
        const int band = std::min(m_categories - 1, int(fractionOfH(h) * m_categories));
        return ColorMap::overlayColor(band);
    }
    return m_map.colorOfFraction(fractionOfH(h));
}

void ColorBar::setCategories(int count) {
    count = std::max(0, count);
    if (count == m_categories)
        return;
    m_categories = count;
    paintCBar();
    update();
}

// The bar is rendered at the widget's height, one colour per screen row.
void ColorBar::paintCBar() {
    const int H = std::max(1, height());
    if (m_bar.height() != H)
        m_bar = QImage(BarWidth, H, QImage::Format_RGB32);
    for (int n = H - 1; n >= 0; --n) {
        const QRgb rgb = colorOfH(n).rgb();
        QRgb *line = reinterpret_cast<QRgb *>(m_bar.scanLine(n));
        std::fill(line, line + BarWidth, rgb);
    }
}

void ColorBar::resizeEvent(QResizeEvent *event) {
    DispA::resizeEvent(event);
    paintCBar();
}

void ColorBar::draw1(QPainter *p) {
    const int W = width();
    const int H = height();
    p->drawImage(QRect(0, 0, W, H), m_bar);
    if (m_categories > 0) { // categories have no window to drag
        drawCategoryLabels(p);
        return;
    }
    p->setPen(ThresholdColor);
    const int yUpper = int((1 - upper()) * H);
    const int yLower = int((1 - lower()) * H);
    p->drawLine(0, yUpper, W, yUpper);
    p->drawLine(0, yLower, W, yLower);
    drawLabels(p);
}

void ColorBar::drawLabels(QPainter *p) {
    const int W = width();
    const int H = height();
    const int box = std::min(H / 3, 100);
    DrawText::Style s;
    s.angle = 90;
    s.pointSize = 10;
    s.color = LabelColor;
    s.background = LabelBoxColor;
    s.fitBackground = true;
    s.align = Qt::AlignRight | Qt::AlignVCenter;
    DrawText::draw(p, QRectF(0, 0, W, box), QString::number(realMaximum(), 'g', 6), s);
    s.align = Qt::AlignLeft | Qt::AlignVCenter;
    DrawText::draw(p, QRectF(0, H - box, W, box), QString::number(realMinimum(), 'g', 6), s);
    if (m_mouseOver) {
        const double v = realMinimum() + (realMaximum() - realMinimum()) * mouseFraction();
        s.align = Qt::AlignCenter;
        DrawText::draw(p, QRectF(0, H / 2 - box / 2, W, box), QString::number(v, 'g', 6), s);
    }
}

// Each band carries its category's number, bottom up from 0.
void ColorBar::drawCategoryLabels(QPainter *p) {
    const double band = double(height()) / m_categories;
    DrawText::Style s;
    s.pointSize = 9;
    s.color = LabelColor;
    s.background = LabelBoxColor;
    s.fitBackground = true;
    s.align = Qt::AlignCenter;
    for (int k = 0; k < m_categories; ++k)
        DrawText::draw(p, QRectF(0, height() - (k + 1) * band, width(), band), QString::number(k),
                       s);
}

double ColorBar::mouseFraction() const {
    const int H = std::max(1, height());
    return double(H - mc().y()) / H;
}

// The nearer threshold is taken. When both sit at the same place (the window
// was closed completely) the side of the press decides, so the user can always
// open it again.
void ColorBar::onMousePressed() {
    if (m_categories > 0) {
        m_dragged = None;
        return;
    }
    const double b = mouseFraction();
    const double dl = std::fabs(lower() - b);
    const double du = std::fabs(upper() - b);
    if (dl < du)
        m_dragged = Lower;
    else if (du < dl)
        m_dragged = Upper;
    else if (lower() == upper())
        m_dragged = b < lower() ? Lower : Upper;
    else
        m_dragged = None;
}

void ColorBar::onMouseMoved() {
    m_mouseOver = true;
    if (m_dragged == None)
        return;
    const double b = std::clamp(mouseFraction(), 0.0, 1.0);
    if (m_dragged == Lower)
        m_map.setLower(b);
    else
        m_map.setUpper(b);
    publish();
    paintCBar();
    update();
    emit cBarUpdating();
}

// Receivers of cBarUpdated still see which threshold was dragged.
void ColorBar::onMouseReleased() {
    emit cBarUpdated();
    m_dragged = None;
}

void ColorBar::leaveEvent(QEvent *event) {
    m_mouseOver = false;
    update();
    DispA::leaveEvent(event);
}
