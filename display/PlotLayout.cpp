#include "display/PlotLayout.h"

#include <algorithm>

// Below the frame: a tick-label row and the x title; left of it: the tick
// labels and the y title turned upright.
PlotLayout PlotLayout::compute(const QSize &widget, int textHeight, int yLabelWidth) {
    const int left = std::max(0, yLabelWidth) + textHeight + 10;
    const int bottom = 2 * textHeight + 8;
    PlotLayout l;
    const int w = std::max(2 * kGap + 2, widget.width() - left - kRight);
    const int h = std::max(2 * kGap + 2, widget.height() - kTop - bottom);
    l.frame = QRect(left, kTop, w, h);
    l.data = l.frame.adjusted(kGap, kGap, -kGap, -kGap);
    return l;
}
