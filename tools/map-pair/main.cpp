// lumenstack-map-pair LEFT.txt RIGHT.txt OUT.png [LEFT_TITLE RIGHT_TITLE [LO HI]]
//
// Two text maps ("x y value" per bin, as lcf-map writes them) drawn side by
// side on one colour scale, LO to HI (values beyond drawn at the ends), so a
// difference between them is a difference of colour. Without LO HI the scale
// spans the 1st to the 99th percentile of both maps together. The demo uses it to show a fraction
// map of a drifting sample without and with alignment.
#include "app/OutputFile.h"
#include "display/ColorMap.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Zoom = 6;
constexpr int Margin = 24;

struct TextMap {
    int width = 0;
    int height = 0;
    std::vector<double> values; // NaN where no bin was written
};

bool readMap(const QString &path, TextMap &map) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    struct Cell {
        int x, y;
        double v;
    };
    std::vector<Cell> cells;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList p = in.readLine().split(' ', Qt::SkipEmptyParts);
        bool okX = false, okY = false, okV = false;
        const Cell c{p.value(0).toInt(&okX), p.value(1).toInt(&okY), p.value(2).toDouble(&okV)};
        if (p.size() == 3 && okX && okY && okV && c.x >= 0 && c.y >= 0 && c.x < 65536 &&
            c.y < 65536)
            cells.push_back(c);
    }
    for (const Cell &c : cells) {
        map.width = std::max(map.width, c.x + 1);
        map.height = std::max(map.height, c.y + 1);
    }
    map.values.assign(size_t(map.width) * size_t(map.height), NAN);
    for (const Cell &c : cells)
        map.values[size_t(c.y) * size_t(map.width) + size_t(c.x)] = c.v;
    return !cells.empty();
}

void drawMap(QPainter &p, const TextMap &map, int left, double lo, double hi,
             const QString &title) {
    p.drawText(QRect(left, 0, map.width * Zoom, Margin), Qt::AlignCenter, title);
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x) {
            const double v = map.values[size_t(y) * size_t(map.width) + size_t(x)];
            const QColor c = std::isnan(v) ? QColor(Qt::darkBlue)
                                           : ColorMap::rgbEntry(hi > lo ? (v - lo) / (hi - lo) : 0);
            p.fillRect(left + x * Zoom, Margin + y * Zoom, Zoom, Zoom, c);
        }
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    bool okLo = true, okHi = true;
    const double askedLo = args.value(5).toDouble(&okLo), askedHi = args.value(6).toDouble(&okHi);
    const bool asked = args.size() == 7;
    if ((args.size() != 3 && args.size() != 5 && !asked) ||
        (asked && !(okLo && okHi && askedLo < askedHi))) {
        std::fprintf(stderr, "usage: lumenstack-map-pair LEFT.txt RIGHT.txt OUT.png "
                             "[LEFT_TITLE RIGHT_TITLE [LO HI]] (LO below HI)\n");
        return 2;
    }
    TextMap maps[2];
    for (int k = 0; k < 2; ++k)
        if (!readMap(args[k], maps[k])) {
            std::fprintf(stderr, "lumenstack-map-pair: no map in %s\n", qPrintable(args[k]));
            return 1;
        }
    // By default the scale spans the 1st to the 99th percentile of both maps
    // together: a few bins at the border (pixels shifted in from outside the
    // image) can lie far off and would flatten everything else into one colour.
    std::vector<double> pooled;
    for (const TextMap &m : maps)
        for (double v : m.values)
            if (std::isfinite(v))
                pooled.push_back(v);
    if (pooled.empty()) {
        std::fprintf(stderr, "lumenstack-map-pair: no finite value in either map\n");
        return 1;
    }
    std::sort(pooled.begin(), pooled.end());
    const double lo = asked ? askedLo : pooled[pooled.size() / 100];
    const double hi = asked ? askedHi : pooled[pooled.size() - 1 - pooled.size() / 100];
    const int gap = 2 * Margin;
    QImage out((maps[0].width + maps[1].width) * Zoom + gap,
               std::max(maps[0].height, maps[1].height) * Zoom + 2 * Margin, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    drawMap(p, maps[0], 0, lo, hi, args.value(3, args[0]));
    drawMap(p, maps[1], maps[0].width * Zoom + gap, lo, hi, args.value(4, args[1]));
    p.drawText(QRect(0, out.height() - Margin, out.width(), Margin), Qt::AlignCenter,
               QString("one colour scale: %1 (black) to %2 (white); no bin: blue")
                   .arg(lo, 0, 'g', 3)
                   .arg(hi, 0, 'g', 3));
    p.end();
    OutputFile file(args[2]);
    if (!file.open(QIODevice::WriteOnly) || !out.save(file.device(), "PNG") || !file.commit()) {
        std::fprintf(stderr, "lumenstack-map-pair: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
