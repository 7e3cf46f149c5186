#pragma once
// Pixel layout of a plot with axis titles: the frame and, inside it, the data
// area the real window is mapped onto. The margins are made from the text
// sizes (tick labels and titles below and left of the frame), and the data
// area keeps a gap to the frame, so that the extreme points of a curve never
// fall on the frame line.
#include <QRect>
#include <QSize>

struct PlotLayout {
    // Gap between the frame and the data area (pixels).
    static constexpr int kGap = 6;
    // Room above the frame, and right of it for half the last tick label.
    static constexpr int kTop = 8;
    static constexpr int kRight = 28;

    QRect frame;
    QRect data;

    // For a widget of the given size, tick labels textHeight high and at most
    // yLabelWidth wide. The data area never shrinks below one pixel.
    static PlotLayout compute(const QSize &widget, int textHeight, int yLabelWidth);
};
