#pragma once
// The picture of a detector image: its stored rows handed to the renderer as
// plain values. Kept by whoever shows the image (the window's image area, the
// screenshots); the image record itself holds only samples.
//
// Header only: a program that draws images links the display and image
// libraries it already has, nothing more.
#include "display/ImageRenderer.h"
#include "imageio/TiffData.h"

#include <vector>

// Grey (the default) or RGB888 through the colour map given (by default the
// colour bar's shared one), over the image's value range: the samples as
// stored under a whole-pixel shift, the interpolated values under a
// fractional one, as every other reader reads them. Null for an image
// without data.
inline QImage imagePicture(const TiffData &image, const ColorMap &map = ColorMap::shared(),
                           QImage::Format format = QImage::Format_Grayscale8) {
    if (!image.hasData() || image.width() <= 0 || image.height() <= 0)
        return QImage();
    if (image.fractionalShift())
        return ImageRenderer::renderValueRows(
            image.width(), image.height(), image.minimum(), image.maximum(),
            [&image](int y, double *out) { image.shiftedRow(y, out); }, map, format);
    std::vector<const void *> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[size_t(y)] = image.rowData(y);
    ImageRenderer::SampleRows s;
    s.type = image.sampleType() == TiffData::UInt32    ? ImageRenderer::SampleRows::UInt32
             : image.sampleType() == TiffData::Float32 ? ImageRenderer::SampleRows::Float32
                                                       : ImageRenderer::SampleRows::UInt16;
    s.width = image.width();
    s.height = image.height();
    s.rows = rows.data();
    s.shiftX = image.shiftX();
    s.shiftY = image.shiftY();
    s.minimum = image.minimum();
    s.maximum = image.maximum();
    return ImageRenderer::renderSamples(s, map, format);
}
