#pragma once
// Pictures of the registration's grids (the edge image, the binary image) for
// the image processor: each value placed in the grid's own range, as the
// renderer places an image's values (everything at the bottom for an empty
// range), in the colour map's format.
//
// Header only, as ImagePicture.h.
#include "analysis/ImageRegistration.h"
#include "display/ImageRenderer.h"

#include <algorithm>

namespace RegistrationPicture {

template <typename Grid> QImage gridPicture(const Grid &grid, const ColorMap &map) {
    const size_t w = size_t(std::max(grid.width, 0));
    return ImageRenderer::renderValueRows(
        grid.width, grid.height, grid.min, grid.max,
        [&grid, w](int y, double *out) {
            const auto *row = grid.values.data() + size_t(y) * w;
            std::copy(row, row + w, out);
        },
        map, map.format());
}

} // namespace RegistrationPicture
