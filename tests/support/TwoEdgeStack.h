#pragma once
// A measurement with two absorption edges (Mn-K and Fe-K) whose jumps are
// known per pixel: image i at energy E_i holds
//   base + jumpMn(x, y) [E_i >= 6539] + jumpFe(x, y) [E_i >= 7112]
// as 16-bit samples. Read as fluorescence with 1-pixel bins and no I0, mu*t is
// the sample itself, so dmut of each edge is its jump exactly.
#include "imageio/TiffData.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <vector>

namespace TwoEdgeStack {

constexpr int W = 9;
constexpr int H = 7;
constexpr double edgeMn = 6539;
constexpr double edgeFe = 7112;
constexpr int base = 1000;

inline int jumpMn(int x, int y) {
    return 100 + 10 * x + 3 * y;
}
// Row 0 has no iron: its jump is 0, below any positive threshold.
inline int jumpFe(int x, int y) {
    return y == 0 ? 0 : 40 + 5 * y + 2 * x;
}
inline std::vector<double> energies() {
    std::vector<double> e;
    for (double v = 6400; v <= 7300; v += 10)
        e.push_back(v);
    return e;
}
inline int sample(double e, int x, int y) {
    return base + (e >= edgeMn ? jumpMn(x, y) : 0) + (e >= edgeFe ? jumpFe(x, y) : 0);
}

// Writes the images into folder as "img_EEEE.tif" (the energy in the name);
// returns the paths in energy order.
inline QStringList write(const QString &folder) {
    QDir().mkpath(folder);
    QStringList paths;
    for (double e : energies()) {
        std::vector<quint16> s(size_t(W) * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                s[size_t(y) * W + x] = quint16(sample(e, x, y));
        const QString path = QDir(folder).filePath(QStringLiteral("img_%1.tif").arg(int(e)));
        if (TiffData::write16BitTiff(path, W, H, s.data()))
            paths << path;
    }
    return paths;
}

} // namespace TwoEdgeStack
