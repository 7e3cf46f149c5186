#pragma once
// Pictures of detector images and result maps through the colour map, from
// plain values: the samples or the grid, their size, the display range, the
// colour map and the picture format. The renderer knows neither the image
// record nor the map: the data classes hold numbers, their users hold the
// pictures.
//
// Pictures own their pixels (rows padded to 4 bytes), so a copy kept by a
// display stays valid whatever is rendered next.
#include "display/ColorMap.h"

#include <QImage>
#include <functional>

namespace ImageRenderer {

// Place of v in the display range [lo, hi] (0 at lo, 1 at hi), never NaN. A
// range of no width (every value of the map equal, or a fixed range with
// min = max) is a step, like the colour bar's own read-out: values at or above
// it are at the top, values below it at the bottom. NaN values sit at the
// bottom; infinities at their end.
double placeInRange(double v, double lo, double hi);

// The rows of a detector image as stored, in the file's own sample type.
struct SampleRows {
    enum Type { UInt16, UInt32, Float32 };
    Type type = UInt16;
    int width = 0;
    int height = 0;
    // height row pointers; a null pointer is a row not stored (read as 0).
    const void *const *rows = nullptr;
    // The whole-pixel registration shift: pixel (x, y) shows stored pixel
    // (x - shiftX, y - shiftY); pixels off the data read as 0.
    int shiftX = 0;
    int shiftY = 0;
    // The value range the picture spans; an empty range (a constant image)
    // places everything at the bottom.
    double minimum = 0;
    double maximum = 0;
};

// Grey (the default) or RGB888; any other format is drawn grey. One pass over
// the samples; 16-bit samples through a table of their 65536 pixels. Null for
// an image without rows or of no size.
QImage renderSamples(const SampleRows &image, const ColorMap &map,
                     QImage::Format format = QImage::Format_Grayscale8);

// An image read row by row as values (through a fractional shift, say):
// row(y, out) fills out[0 .. width - 1]. Placed in [minimum, maximum] as
// renderSamples places samples.
QImage renderValueRows(int width, int height, double minimum, double maximum,
                       const std::function<void(int y, double *out)> &row, const ColorMap &map,
                       QImage::Format format = QImage::Format_Grayscale8);

// A result map: width x height values, row-major, placed in the display range
// [lo, hi]. A range of no width is a step at its value (values at or above it
// at the top); NaN values sit at the bottom, infinities at their end. Grey or
// RGB888 only (other formats give a null picture).
QImage renderValues(const double *values, int width, int height, double lo, double hi,
                    const ColorMap &map, QImage::Format format = QImage::Format_Grayscale8);

// A map of categories (indices 0 .. count - 1, anything else left out): one
// overlay colour per category, black where left out, in RGB888.
QImage renderCategories(const double *values, int width, int height, int count);

// A result map as its owner hands it over: the grid to show (width x height
// values, row-major), its display range, and for a map of categories (cluster
// indices) their count; 0 for a map of values.
struct MapValues {
    const double *values = nullptr;
    int width = 0;
    int height = 0;
    double lo = 0;
    double hi = 0;
    int categories = 0;
};

// A map's picture and what the colour bar shows beside it: the display range,
// or the count of categories. A null image shows nothing.
struct MapPicture {
    QImage image;
    double lo = 0;
    double hi = 0;
    int categories = 0;
};

// A map of categories through renderCategories (RGB888 whatever the format),
// any other through renderValues over [lo, hi]; null without values.
MapPicture renderMap(const MapValues &map, const ColorMap &colours,
                     QImage::Format format = QImage::Format_Grayscale8);

} // namespace ImageRenderer
