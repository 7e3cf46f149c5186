#pragma once
// The picture of a result map: the grid it shows (its values, or its
// processed values when those are chosen), its display range (the fixed
// range, the processed or the value range) and its categories handed to the
// renderer as plain values. Made by whoever shows or saves the map; the map
// itself holds only numbers.
//
// Header only, as ImagePicture.h.
#include "analysis/Analyzed2DRes.h"
#include "display/ImageRenderer.h"

// Grey (the default) or RGB888 through the colour map given (by default the
// colour bar's shared one); a map of categories in their colours. Null for a
// map without grids.
inline ImageRenderer::MapPicture mapPicture(const Analyzed2DRes &map,
                                            const ColorMap &colours = ColorMap::shared(),
                                            QImage::Format format = QImage::Format_Grayscale8) {
    if (!map.hasGrids())
        return ImageRenderer::MapPicture();
    ImageRenderer::MapValues v;
    v.values = map.showProcessed() ? map.processedValues() : map.values();
    v.width = map.width();
    v.height = map.height();
    map.displayRange(&v.lo, &v.hi);
    v.categories = map.categories();
    return ImageRenderer::renderMap(v, colours, format);
}
