// merge: joins the outputs of the tiles of one stack into the maps of the
// whole stack, as a single run over the union of the tiles' areas writes them.
//
//   merge --out DIR TILEDIR...
//
// Each TILEDIR is the --out folder of one map subcommand run with --area over
// part of the stack (same stack, same options otherwise); its summary.json
// gives the tile's area, bin half sizes and image size. The tiles must hold
// exactly the bins of one run over the bounding box of their areas: each tile
// starts on that run's bin lattice (its x0 a whole number of bin widths from
// the union's, its y0 of bin heights), no bin lies in two tiles and none is
// left out. Otherwise nothing is written and the message names the tiles.
//
// The files of the first tile are merged by their kind, so whatever set of
// maps a subcommand writes merges the same way:
//   *.txt  "X Y Val" lines in walk order: each bin's line is taken from the
//          tile that holds it, in the walk order of the union;
//   *.tif  32-bit float maps of the whole image: each tile gives the pixels
//          its bins paint, the rest stays 0;
//   *.emp  energy-shift map files: the data rows are joined pixel by pixel the
//          same way, the header is the first tile's with the union's area;
//   *.json what a file was made from (FILE.json beside FILE): the first
//          tile's, with the union's origin, the tile folders under
//          "mergedFrom" and the merge's own run under "merge";
//   others must be the same in every tile and are copied.
// Maps a subcommand derives from the whole map are derived again from the
// merged maps: ra-map's ratio map (it is scaled by the smallest rest of the
// whole map) and shift-map's shift statistics. In summary.json "bins" and
// "area" are the union's, "threads" the most any tile used, "seconds" the sum
// of the tiles' run times (and "loadSeconds", "runSeconds", "writeSeconds"
// the sums of theirs); every other member must agree between the tiles.
// A tile's area is cut to the image as its run cut it; pipes and devices
// among a tile's files are refused unread. Exit 0, 1 (a tile cannot be read,
// does not fit, or the output cannot be written) or 2 (bad arguments, or
// --out naming one of the tiles, which the merge would overwrite).
#include "MapOutput.h"
#include "Subcommands.h"
#include "ToolProvenance.h"

#include "analysis/Calibration.h"
#include "analysis/EmpFile.h"
#include "analysis/LcfRun.h"
#include "app/OutputFile.h"
#include "app/TextFileLimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using Members = std::vector<std::pair<QString, QString>>; // key, raw value text

struct Tile {
    QString dir;
    Members members;
    QJsonObject json;
    AnalyzeCond grid;
    int bx0 = 0, by0 = 0; // first bin in the union's bin lattice
    // Pixels its bins paint: columns [px0, px1), rows [py0, py1).
    int px0 = 0, px1 = 0, py0 = 0, py1 = 0;
};

struct Failure {
    QString text;
};

// ---------------------------------------------------------------- JSON

// Skips a JSON string starting at s[i] == '"'; i ends after the closing quote.
bool skipString(const QString &s, int &i) {
    for (++i; i < s.size(); ++i) {
        if (s[i] == '\\')
            ++i;
        else if (s[i] == '"') {
            ++i;
            return true;
        }
    }
    return false;
}

// The top-level members of a one-object JSON text with their raw value texts,
// so that values the merge does not change are copied byte for byte.
bool splitMembers(const QString &text, Members *out) {
    const QString s = text.trimmed();
    if (!s.startsWith('{') || !s.endsWith('}'))
        return false;
    int i = 1;
    const auto blanks = [&] {
        while (i < s.size() && s[i].isSpace())
            ++i;
    };
    while (true) {
        blanks();
        if (s[i] == '}')
            return true;
        const int keyStart = i;
        if (s[i] != '"' || !skipString(s, i))
            return false;
        const QString key = s.mid(keyStart + 1, i - keyStart - 2);
        blanks();
        if (i >= s.size() || s[i] != ':')
            return false;
        ++i;
        blanks();
        const int valueStart = i;
        int depth = 0;
        while (i < s.size()) {
            const QChar c = s[i];
            if (c == '"') {
                if (!skipString(s, i))
                    return false;
                continue;
            }
            if (c == '[' || c == '{')
                ++depth;
            else if (c == ']' || c == '}') {
                if (depth == 0)
                    break;
                --depth;
            } else if (c == ',' && depth == 0)
                break;
            ++i;
        }
        if (i >= s.size())
            return false;
        out->emplace_back(key, s.mid(valueStart, i - valueStart).trimmed());
        if (s[i] == ',')
            ++i;
    }
}

const QString *memberOf(const Members &m, const QString &key) {
    for (const auto &kv : m)
        if (kv.first == key)
            return &kv.second;
    return nullptr;
}

// A tile's file; a pipe or device (or a link to one) is refused unread, since
// it may block for ever or never end.
QByteArray readAll(const QString &path, bool *ok) {
    QFile f(path);
    *ok = !TextFileLimits::refuseSpecialFile(path) && f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

// The summary's sizes are believed only as far as the tile's files can hold
// them, before anything of that size is allocated: every map is a float TIFF
// of the whole image (4 bytes a pixel, uncompressed) and a text file of one
// line per bin (at least "0 0 0\n").
bool sizeHeldByFiles(const Tile &t, const QString &path, Failure *fail) {
    qint64 bytes = 0;
    for (const QFileInfo &f : QDir(t.dir).entryInfoList(QDir::Files))
        bytes += f.size();
    const qint64 pixels = qint64(t.grid.W) * t.grid.H, bins = t.grid.binCount();
    if (pixels <= bytes / 4 && bins <= bytes / 6)
        return true;
    fail->text = QString("%1: a %2 x %3 image with %4 bins is more than the tile's files hold")
                     .arg(path)
                     .arg(t.grid.W)
                     .arg(t.grid.H)
                     .arg(bins);
    return false;
}

bool readTile(const QString &dir, Tile *t, Failure *fail) {
    t->dir = dir;
    const QString path = QDir(dir).filePath(summaryFileName());
    bool ok = false;
    const QByteArray text = readAll(path, &ok);
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    if (!ok || !doc.isObject() || !splitMembers(QString::fromUtf8(text), &t->members)) {
        fail->text = "cannot read " + path + " (the JSON line of a map subcommand)";
        return false;
    }
    t->json = doc.object();
    const QJsonArray area = t->json["area"].toArray(), bin = t->json["bin"].toArray();
    const int w = t->json["width"].toInt(-1), h = t->json["height"].toInt(-1);
    if (area.size() != 4 || bin.size() != 2 || w <= 0 || h <= 0 ||
        t->json["command"].toString().isEmpty()) {
        fail->text = path + " has no area, bin, image size or command";
        return false;
    }
    // The grid as the tile's run placed it: bins within the image, the area
    // cut to it (as the run cut its --area).
    const double rect[4] = {area[0].toDouble(), area[1].toDouble(), area[2].toDouble(),
                            area[3].toDouble()};
    QString why;
    if (gridOnImage(w, h, bin[0].toInt(), bin[1].toInt(), rect, &t->grid, &why) != GridFit::Fits) {
        fail->text = path + ": " + why;
        return false;
    }
    return sizeHeldByFiles(*t, path, fail);
}

// ---------------------------------------------------------------- tiling

struct Union {
    AnalyzeCond grid;
    std::vector<int> owner; // tile of each bin, row-major over the bin lattice
};

bool sameRunOf(const std::vector<Tile> &tiles, Failure *fail) {
    const Tile &a = tiles.front();
    for (const Tile &t : tiles) {
        for (const char *key : {"command", "width", "height", "bin"}) {
            if (a.json[key] != t.json[key]) {
                fail->text = QString("the tiles %1 and %2 are not of one run (their \"%3\" differ)")
                                 .arg(a.dir, t.dir, key);
                return false;
            }
        }
    }
    return true;
}

QString tileDirs(const std::vector<Tile> &tiles) {
    QStringList dirs;
    for (const Tile &t : tiles)
        dirs << t.dir;
    return dirs.join(", ");
}

bool placeTiles(std::vector<Tile> &tiles, Union *u, Failure *fail) {
    const AnalyzeCond &g0 = tiles.front().grid;
    int x0 = g0.x0, y0 = g0.y0, x1 = g0.x1, y1 = g0.y1;
    for (const Tile &t : tiles) {
        x0 = std::min(x0, t.grid.x0), y0 = std::min(y0, t.grid.y0);
        x1 = std::max(x1, t.grid.x1), y1 = std::max(y1, t.grid.y1);
    }
    u->grid = AnalyzeCond(g0.W, g0.H, g0.hx, g0.hy, x0, y0, x1 - x0, y1 - y0);
    const int sx = u->grid.sx, sy = u->grid.sy, nx = u->grid.binsX(), ny = u->grid.binsY();
    // Tiles that neither overlap nor leave a gap hold exactly the union's
    // bins: more bins in the union than in the tiles is a gap, found here
    // before the owner of every bin is stored.
    qint64 tileBins = 0;
    for (const Tile &t : tiles)
        tileBins += t.grid.binCount();
    if (u->grid.binCount() > tileBins) {
        fail->text = QString("the tiles %1 leave a gap: they hold %2 of the %3 bins of their union")
                         .arg(tileDirs(tiles))
                         .arg(tileBins)
                         .arg(u->grid.binCount());
        return false;
    }
    u->owner.assign(size_t(nx) * size_t(ny), -1);
    for (int k = 0; k < int(tiles.size()); ++k) {
        Tile &t = tiles[size_t(k)];
        if ((t.grid.x0 - x0) % sx != 0 || (t.grid.y0 - y0) % sy != 0) {
            fail->text = QString("the tile %1 starts at (%2, %3), off the bins of %4 x %5 pixels "
                                 "that the tiles' union starts at (%6, %7)")
                             .arg(t.dir)
                             .arg(t.grid.x0)
                             .arg(t.grid.y0)
                             .arg(sx)
                             .arg(sy)
                             .arg(x0)
                             .arg(y0);
            return false;
        }
        t.bx0 = (t.grid.x0 - x0) / sx;
        t.by0 = (t.grid.y0 - y0) / sy;
        t.px0 = std::clamp(t.grid.x0, 0, g0.W);
        t.px1 =
            int(std::clamp(t.grid.x0 + qint64(t.grid.binsX()) * sx, qint64(t.px0), qint64(g0.W)));
        t.py0 = std::clamp(t.grid.y0, 0, g0.H);
        t.py1 =
            int(std::clamp(t.grid.y0 + qint64(t.grid.binsY()) * sy, qint64(t.py0), qint64(g0.H)));
        for (int by = t.by0; by < t.by0 + t.grid.binsY(); ++by) {
            for (int bx = t.bx0; bx < t.bx0 + t.grid.binsX(); ++bx) {
                int &o = u->owner[size_t(bx) + size_t(by) * size_t(nx)];
                if (o >= 0) {
                    fail->text = QString("the tiles %1 and %2 overlap (both hold the bin "
                                         "centred at (%3, %4))")
                                     .arg(tiles[size_t(o)].dir, t.dir)
                                     .arg(x0 + u->grid.hx + bx * sx)
                                     .arg(y0 + u->grid.hy + by * sy);
                    return false;
                }
                o = k;
            }
        }
    }
    const auto gap = std::find(u->owner.begin(), u->owner.end(), -1);
    if (gap != u->owner.end()) {
        const size_t i = size_t(gap - u->owner.begin());
        fail->text = QString("the tiles %1 leave a gap: none holds the bin centred at (%2, %3)")
                         .arg(tileDirs(tiles))
                         .arg(x0 + u->grid.hx + qint64(i % size_t(nx)) * sx)
                         .arg(y0 + u->grid.hy + qint64(i / size_t(nx)) * sy);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- files

bool save(const QString &path, const QByteArray &data, Failure *fail) {
    OutputFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.device()->write(data) == data.size() && f.commit())
        return true;
    fail->text = "cannot write " + path;
    return false;
}

// The lines of a tile's "X Y Val" file, checked against the tile's walk.
bool tileLines(const Tile &t, const QString &name, std::vector<QByteArray> *lines, Failure *fail) {
    const QString path = QDir(t.dir).filePath(name);
    bool ok = false;
    QByteArray text = readAll(path, &ok);
    if (!ok) {
        fail->text = "cannot read " + path;
        return false;
    }
    if (text.endsWith('\n'))
        text.chop(1);
    *lines = {};
    for (const QByteArray &line : text.split('\n'))
        lines->push_back(line);
    AnalyzeCond g = t.grid;
    g.reset();
    size_t i = 0;
    do {
        const QByteArray head = QByteArray::number(g.cx) + ' ' + QByteArray::number(g.cy) + ' ';
        if (i >= lines->size() || !(*lines)[i].startsWith(head)) {
            fail->text = path + QString(" does not hold the tile's bins (bin centred at (%1, %2))")
                                    .arg(g.cx)
                                    .arg(g.cy);
            return false;
        }
        ++i;
    } while (g.next());
    if (i != lines->size()) {
        fail->text = path + " holds more lines than the tile has bins";
        return false;
    }
    return true;
}

bool mergeText(const std::vector<Tile> &tiles, const Union &u, const QString &name,
               QByteArray *merged, Failure *fail) {
    std::vector<std::vector<QByteArray>> lines(tiles.size());
    for (size_t k = 0; k < tiles.size(); ++k)
        if (!tileLines(tiles[k], name, &lines[k], fail))
            return false;
    const int nx = u.grid.binsX(), ny = u.grid.binsY();
    merged->clear();
    for (int by = 0; by < ny; ++by) {
        for (int bx = 0; bx < nx; ++bx) {
            const int k = u.owner[size_t(bx) + size_t(by) * size_t(nx)];
            const Tile &t = tiles[size_t(k)];
            const size_t i = size_t(bx - t.bx0) + size_t(by - t.by0) * size_t(t.grid.binsX());
            merged->append(lines[size_t(k)][i]).append('\n');
        }
    }
    return true;
}

bool mergeTiff(const std::vector<Tile> &tiles, const QString &name, const QString &outPath,
               Failure *fail) {
    const int w = tiles.front().grid.W, h = tiles.front().grid.H;
    const auto refuse = [&](const QString &path) {
        fail->text = QString("cannot read %1 as a %2 x %3 float map").arg(path).arg(w).arg(h);
        return false;
    };
    // The image size of the summaries is taken only once the files show it.
    for (const Tile &t : tiles) {
        const QString path = QDir(t.dir).filePath(name);
        if (TiffData::decodedBytes(path) != qint64(sizeof(float)) * w * h)
            return refuse(path);
    }
    std::vector<float> merged(size_t(w) * size_t(h), 0.0f);
    for (const Tile &t : tiles) {
        const QString path = QDir(t.dir).filePath(name);
        TiffData image;
        // Only the rows the tile's bins paint are read.
        if (!image.load(path, ErrPoints(), TiffData::RowRange{t.py0, t.py1}) ||
            image.width() != w || image.height() != h || image.sampleType() != TiffData::Float32)
            return refuse(path);
        for (int y = t.py0; y < t.py1; ++y) {
            const float *row = static_cast<const float *>(image.rowData(y));
            std::memcpy(&merged[size_t(y) * size_t(w) + size_t(t.px0)], row + t.px0,
                        sizeof(float) * size_t(t.px1 - t.px0));
        }
    }
    if (!TiffData::writeFloat32Tiff(outPath, w, h, merged.data())) {
        fail->text = "cannot write " + outPath;
        return false;
    }
    return true;
}

// An energy-shift map file (analysis/EmpFile.h): the header text through the
// separator line, and the data rows.
struct EmpText {
    QByteArray header;
    QList<QByteArray> rows;
};

bool readEmp(const QString &path, int w, int h, EmpText *e, Failure *fail) {
    bool ok = false;
    const QByteArray text = readAll(path, &ok);
    int dataStart = 0;
    if (ok && EmpFile::parseHeader(text, &dataStart).valid) {
        e->header = text.left(dataStart);
        QByteArray data = text.mid(dataStart);
        if (data.endsWith('\n'))
            data.chop(1);
        e->rows = data.split('\n');
    }
    if (e->header.isEmpty() || e->rows.size() != h) {
        fail->text =
            QString("cannot read %1 as a %2 x %3 energy-shift map").arg(path).arg(w).arg(h);
        return false;
    }
    return true;
}

bool mergeEmp(const std::vector<Tile> &tiles, const Union &u, const QString &name,
              QByteArray *merged, Failure *fail) {
    const int w = u.grid.W, h = u.grid.H;
    std::vector<EmpText> emp(tiles.size());
    for (size_t k = 0; k < tiles.size(); ++k)
        if (!readEmp(QDir(tiles[k].dir).filePath(name), w, h, &emp[k], fail))
            return false;
    *merged = EmpFile::headerWithArea(emp[0].header, u.grid);
    // Every pixel is written with a blank after it: a row of w pixels splits
    // into w + 1 fields. Each row is checked before a pixel of it is used.
    const auto rowOf = [&](size_t k, int y, QList<QByteArray> *row) {
        *row = emp[k].rows[y].split(' ');
        if (row->size() == w + 1)
            return true;
        fail->text =
            QDir(tiles[k].dir).filePath(name) + QString(" row %1 is not %2 wide").arg(y).arg(w);
        return false;
    };
    for (int y = 0; y < h; ++y) {
        QList<QByteArray> row, own;
        if (!rowOf(0, y, &row))
            return false;
        for (size_t k = 0; k < tiles.size(); ++k) {
            const Tile &t = tiles[k];
            if (y < t.py0 || y >= t.py1)
                continue;
            if (!rowOf(k, y, &own))
                return false;
            for (int x = t.px0; x < t.px1; ++x)
                row[x] = own[x];
        }
        merged->append(row.join(' ')).append('\n');
    }
    return true;
}

bool sameInAll(const std::vector<Tile> &tiles, const QString &name, QByteArray *data,
               Failure *fail) {
    bool ok = false;
    *data = readAll(QDir(tiles[0].dir).filePath(name), &ok);
    for (const Tile &t : tiles) {
        bool read = false;
        if (!ok || readAll(QDir(t.dir).filePath(name), &read) != *data || !read) {
            fail->text = QString("%1 differs between the tiles %2 and %3 and is no map to merge")
                             .arg(name, tiles[0].dir, t.dir);
            return false;
        }
    }
    return true;
}

// The file names of the first tile, which every tile must hold.
bool tileFiles(const std::vector<Tile> &tiles, QStringList *names, Failure *fail) {
    const QDir::Filters files = QDir::Files | QDir::Hidden;
    *names = QDir(tiles[0].dir).entryList(files, QDir::Name);
    names->removeAll(summaryFileName());
    for (const Tile &t : tiles) {
        QStringList own = QDir(t.dir).entryList(files, QDir::Name);
        own.removeAll(summaryFileName());
        if (own != *names) {
            fail->text =
                QString("the tiles %1 and %2 hold different files").arg(tiles[0].dir, t.dir);
            return false;
        }
    }
    return true;
}

// FILE.json of a merged file: the first tile's, which names the stack and
// the options (its own --area among them), with the union's origin.
bool mergeSidecar(const std::vector<Tile> &tiles, const Union &u, const QString &name,
                  const QString &out, Failure *fail) {
    bool ok = false;
    const QString path = QDir(tiles[0].dir).filePath(name);
    const QJsonDocument doc = QJsonDocument::fromJson(readAll(path, &ok));
    if (!ok || !doc.isObject()) {
        fail->text = "cannot read " + path + " (what a tile's file was made from)";
        return false;
    }
    QJsonObject o = doc.object();
    if (o.contains("origin"))
        o.insert("origin", QJsonArray{u.grid.x0, u.grid.y0});
    QJsonArray dirs;
    for (const Tile &t : tiles)
        dirs.append(t.dir);
    o.insert("mergedFrom", dirs);
    o.insert("merge", toolProvenance());
    return save(QDir(out).filePath(name), QJsonDocument(o).toJson(), fail);
}

// ---------------------------------------------------------------- derived maps

// A map of the union rebuilt from its merged "X Y Val" text: every bin's
// cells get the value, which reads back exactly (17 significant digits).
void mapFromText(const QByteArray &text, const AnalyzeCond &grid, Analyzed2DRes &map) {
    map.prepare(grid);
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3)
            map.fillCells(f[0].toInt(), f[1].toInt(), grid.hx, grid.hy, f[2].toDouble());
    }
}

bool deriveRaRatio(const QString &out, const Union &u, Failure *fail) {
    bool ok1 = false, ok2 = false;
    Analyzed2DRes dmut, rest, ratio("a2d Rati");
    mapFromText(readAll(QDir(out).filePath("dmut.txt"), &ok1), u.grid, dmut);
    mapFromText(readAll(QDir(out).filePath("rest.txt"), &ok2), u.grid, rest);
    if (!ok1 || !ok2 || !computeRaRatio(dmut, rest, ratio) ||
        !writeMap(ratio, QDir(out).filePath("ratio.txt"))) {
        fail->text = "cannot write " + QDir(out).filePath("ratio.txt");
        return false;
    }
    return true;
}

QString shiftStats(const QString &out, const Union &u) {
    bool ok = false;
    Analyzed2DRes map;
    mapFromText(readAll(QDir(out).filePath("shift.txt"), &ok), u.grid, map);
    // Bins whose centre lies off the image have no spectrum and no shift.
    CalibShifts shifts;
    shifts.reset(u.grid);
    AnalyzeCond g = u.grid;
    g.reset();
    do {
        if (g.centreInside())
            shifts.set(g.cx, g.cy, map.valueAt(g.cx, g.cy));
    } while (g.next());
    return shiftStatsJson(calibStats(shifts));
}

// ---------------------------------------------------------------- summary

// Members every tile must share; the others are recomputed for the union.
bool isPerTileMember(const QString &key, const QString &command) {
    return key == "bins" || key == "threads" || key == "seconds" || key == "binsPerSecond" ||
           key == "loadSeconds" || key == "runSeconds" || key == "writeSeconds" || key == "area" ||
           (key == "stats" && command == "shift-map");
}

// Checked before anything is written, so a refused merge leaves OUT as it was.
bool summariesAgree(const std::vector<Tile> &tiles, Failure *fail) {
    const QString command = tiles[0].json["command"].toString();
    for (const Tile &t : tiles) {
        if (t.members.size() != tiles[0].members.size()) {
            fail->text =
                QString("the tiles %1 and %2 wrote different summaries").arg(tiles[0].dir, t.dir);
            return false;
        }
    }
    for (const auto &kv : tiles[0].members) {
        if (isPerTileMember(kv.first, command))
            continue;
        for (const Tile &t : tiles) {
            const QString *v = memberOf(t.members, kv.first);
            if (!v || *v != kv.second) {
                fail->text = QString("the tiles %1 and %2 differ in \"%3\"")
                                 .arg(tiles[0].dir, t.dir, kv.first);
                return false;
            }
        }
    }
    return true;
}

// The tiles' times added up (the tiles ran one after another).
double sumOf(const std::vector<Tile> &tiles, const QString &key) {
    double sum = 0;
    for (const Tile &t : tiles)
        sum += t.json[key].toDouble();
    return sum;
}

Json mergedSummary(const std::vector<Tile> &tiles, const Union &u, const QString &out) {
    const QString command = tiles[0].json["command"].toString();
    double seconds = 0;
    int threads = 0;
    for (const Tile &t : tiles) {
        seconds += t.json["seconds"].toDouble();
        threads = std::max(threads, t.json["threads"].toInt());
    }
    const qint64 bins = u.grid.binCount();
    Json j;
    for (const auto &kv : tiles[0].members) {
        const QString &key = kv.first;
        if (key == "bins")
            j.add(key, bins);
        else if (key == "threads")
            j.add(key, threads);
        else if (key == "seconds")
            j.add(key, seconds);
        else if (key == "loadSeconds" || key == "runSeconds" || key == "writeSeconds")
            j.add(key, sumOf(tiles, key));
        else if (key == "binsPerSecond")
            j.add(key, seconds > 0 ? bins / seconds : 0.0);
        else if (key == "area")
            j.add(key, Json::array({QString::number(u.grid.x0), QString::number(u.grid.y0),
                                    QString::number(u.grid.x1 - u.grid.x0),
                                    QString::number(u.grid.y1 - u.grid.y0)}));
        else if (key == "stats" && command == "shift-map")
            j.add(key, shiftStats(out, u));
        else
            j.add(key, kv.second);
    }
    return j;
}

// ---------------------------------------------------------------- the merge

bool mergeFiles(const std::vector<Tile> &tiles, const Union &u, const QString &out, Failure *fail) {
    QStringList names;
    if (!tileFiles(tiles, &names, fail))
        return false;
    const bool raMap = tiles[0].json["command"].toString() == "ra-map";
    for (const QString &name : names) {
        const QString path = QDir(out).filePath(name);
        if (name.endsWith(".json"))
            continue; // written below, once the file it speaks of is
        if (raMap && (name == "ratio.txt" || name == "ratio.tif"))
            continue; // derived below from the merged dmut and rest
        QByteArray data;
        bool ok = true;
        if (name.endsWith(".tif")) {
            if (!mergeTiff(tiles, name, path, fail))
                return false;
            continue;
        }
        if (name.endsWith(".txt"))
            ok = mergeText(tiles, u, name, &data, fail);
        else if (name.endsWith(".emp"))
            ok = mergeEmp(tiles, u, name, &data, fail);
        else
            ok = sameInAll(tiles, name, &data, fail);
        if (!ok || !save(path, data, fail))
            return false;
    }
    if (raMap && names.contains("ratio.txt") && !deriveRaRatio(out, u, fail))
        return false;
    for (const QString &name : names)
        if (name.endsWith(".json") && !mergeSidecar(tiles, u, name, out, fail))
            return false;
    return true;
}

// The first of dirs that is the folder `out` (through links too); "" when none.
QString sameFolderAs(const QString &out, const QStringList &dirs) {
    const QString target = QFileInfo(out).canonicalFilePath();
    for (const QString &dir : dirs)
        if (!target.isEmpty() && QFileInfo(dir).canonicalFilePath() == target)
            return dir;
    return QString();
}

int usage(const QString &why) {
    std::fprintf(stderr, "lumenstack-tool merge: %s\n", qPrintable(why));
    std::fprintf(stderr, "usage: lumenstack-tool merge --out DIR TILEDIR...\n");
    return 2;
}

} // namespace

int runMerge(const QStringList &args) {
    QString out;
    QStringList dirs;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size())
            out = args[++i];
        else if (args[i].startsWith("--"))
            return usage("bad or unknown argument " + args[i]);
        else
            dirs << args[i];
    }
    if (out.isEmpty())
        return usage("--out DIR is required");
    if (dirs.isEmpty())
        return usage("at least one TILEDIR is required");
    const QString tileAsOut = sameFolderAs(out, dirs);
    if (!tileAsOut.isEmpty())
        return usage(QString("--out %1 is the tile folder %2: the merge would overwrite the tile")
                         .arg(out, tileAsOut));
    Failure fail;
    std::vector<Tile> tiles(size_t(dirs.size()));
    Union u;
    Json j;
    bool ok = true;
    for (int k = 0; ok && k < dirs.size(); ++k)
        ok = readTile(dirs[k], &tiles[size_t(k)], &fail);
    ok = ok && sameRunOf(tiles, &fail) && summariesAgree(tiles, &fail) &&
         placeTiles(tiles, &u, &fail);
    if (ok && !QDir().mkpath(out)) {
        fail.text = "cannot create " + out;
        ok = false;
    }
    ok = ok && mergeFiles(tiles, u, out, &fail);
    if (ok)
        j = mergedSummary(tiles, u, out);
    if (!ok) {
        std::fprintf(stderr, "lumenstack-tool merge: %s\n", qPrintable(fail.text));
        return 1;
    }
    // The JSON line goes out as the tiles' subcommand writes it.
    const QByteArray line = j.text().toUtf8() + '\n';
    if (!save(QDir(out).filePath(summaryFileName()), line, &fail)) {
        std::fprintf(stderr, "lumenstack-tool merge: %s\n", qPrintable(fail.text));
        return 1;
    }
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    return 0;
}
