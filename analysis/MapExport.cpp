#include "analysis/MapExport.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/Provenance.h"
#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "display/TaggedFileName.h"
#include "imageio/TiffData.h"
#include "spectrum/XafsSpectrum.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <limits>

QString mapUnits(const QString &mapName) {
    static const struct {
        const char *name;
        const char *units;
    } known[] = {{"LCF Ref 1", "mu*t"}, {"LCF Ref 2", "fraction"},   {"LCF Ref 3", "fraction"},
                 {"a2d Zansa", "mu*t"}, {"a2d RFactor", "R-factor"}, {"a2d Chi2", "chi^2"},
                 {"a2d DMut", "mu*t"},  {"a2d Rest", "mu*t"},        {"a2d Rati", "ratio"},
                 {"a2d esm", "eV"},     {"E-Shift Map 1", "eV"},     {"E-Shift Map 2", "eV"}};
    for (const auto &k : known)
        if (mapName == QLatin1String(k.name))
            return QString::fromLatin1(k.units);
    return QString();
}

QString plainMapTitle(const QString &mapName) {
    static const struct {
        const char *name;
        const char *title;
    } known[] = {{"a2d Zansa", "Residual"},
                 {"a2d RFactor", "R-factor"},
                 {"a2d Chi2", "Chi-square"},
                 {"a2d DMut", "Edge jump"},
                 {"a2d Rest", "Residual absorption"},
                 {"a2d Rati", "Ratio"},
                 {"a2d esm", "Energy shift"},
                 {"a2d ElemsCor", "Correlation"},
                 {"a2d ElemsCorTh", "Correlation above threshold"}};
    for (const auto &k : known)
        if (mapName == QLatin1String(k.name))
            return QString::fromLatin1(k.title);
    return mapName;
}

QString mapDescription(const Analyzed2DRes &map) {
    const AnalyzeCond &g = map.grid();
    // The origin is the top-left pixel of the analysed area.
    return QStringLiteral("Lumenstack map; name=%1; units=%2; bin=%3 %4; origin=%5 %6; size=%7 %8")
        .arg(map.name(), mapUnits(map.name()))
        .arg(g.hx)
        .arg(g.hy)
        .arg(g.x0)
        .arg(g.y0)
        .arg(map.width())
        .arg(map.height());
}

bool writeMapTiff(Analyzed2DRes &map, const QString &path, const MapTiffOptions &options) {
    MapSamples16 s = map.tiffDataForSave(options.fixedScale, options.scaleMin, options.scaleMax,
                                         options.asAnalyzed);
    if (s.isNull())
        return false;
    if (!options.asAnalyzed) {
        const std::vector<char> analysed = map.analysedCells();
        for (size_t i = 0; i < s.samples.size() && i < analysed.size(); ++i)
            if (!analysed[i])
                s.samples[i] = 0;
    }
    const QString description =
        mapDescription(map) +
        QStringLiteral("; scale=%1 %2; unanalysed=0").arg(s.lo, 0, 'g', 17).arg(s.hi, 0, 'g', 17);
    return TiffData::write16BitTiff(path, s.width, s.height, s.samples.data(), description);
}

bool writeMapFloatTiff(const Analyzed2DRes &map, const QString &path,
                       const QJsonObject &provenance) {
    const double *v = map.showProcessed() ? map.processedValues() : map.values();
    if (!map.hasGrids() || !v)
        return false;
    const std::vector<char> analysed = map.analysedCells();
    std::vector<float> samples(analysed.size());
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = analysed[i] ? float(v[i]) : std::numeric_limits<float>::quiet_NaN();
    QString description = mapDescription(map);
    if (!provenance.isEmpty())
        description += QLatin1Char('\n') +
                       QString::fromUtf8(QJsonDocument(mapSidecarJson(map, path, {}, provenance))
                                             .toJson(QJsonDocument::Compact));
    return TiffData::writeFloat32Tiff(path, map.width(), map.height(), samples.data(), description);
}

QJsonObject mapSidecarJson(const Analyzed2DRes &map, const QString &dataPath,
                           const QStringList &columns, const QJsonObject &provenance) {
    const AnalyzeCond &g = map.grid();
    QJsonObject o = provenance;
    o.insert(QStringLiteral("file"), QFileInfo(dataPath).fileName());
    o.insert(QStringLiteral("map"), map.name());
    o.insert(QStringLiteral("units"), mapUnits(map.name()));
    if (!columns.isEmpty())
        o.insert(QStringLiteral("columns"), QJsonArray::fromStringList(columns));
    o.insert(QStringLiteral("bin"), QJsonArray{g.hx, g.hy});
    o.insert(QStringLiteral("origin"), QJsonArray{g.x0, g.y0});
    o.insert(QStringLiteral("size"), QJsonArray{map.width(), map.height()});
    return o;
}

bool writeMapSidecar(const Analyzed2DRes &map, const QString &dataPath, const QStringList &columns,
                     const QJsonObject &provenance) {
    return writeSidecar(dataPath, mapSidecarJson(map, dataPath, columns, provenance));
}

QString numberedDataFileName(const QString &name, int n, const QString &suffix) {
    return taggedFileNameWithSuffix(name, QString::number(n), suffix);
}

namespace {

const char *formatLine(SpectrumSetKind kind) {
    switch (kind) {
    case SpectrumSetKind::NormalizedXafs:
        return "# Lumenstack Save Normalized Xafs Spectra 1.0";
    case SpectrumSetKind::RawXafs:
        return "# Lumenstack Save Raw Xafs Spectra 1.0";
    case SpectrumSetKind::Raw:
        break;
    }
    return "# Lumenstack Save Raw Spectra 1.0";
}

// One bin's line after its head: the (energy, value) pairs.
class SpectrumSetLineWriter {
public:
    SpectrumSetLineWriter(SpectrumSetKind kind, MeasurementStack &stack,
                          const BinSpectrumSettings &source)
        : m_kind(kind), m_stack(stack), m_source(source) {}

    void write(QTextStream &out, int cx, int cy) {
        const MuTConditions &c = m_source.conditions;
        if (m_kind == SpectrumSetKind::Raw) {
            out << QStringLiteral("%1 %2").arg(cx).arg(cy);
            m_stack.buildRaw(cx, cy, c.hx, c.hy, m_mut);
            writePairs(out, m_mut);
            return;
        }
        const double shift = buildBinSpectrum(m_stack, cx, cy, m_source,
                                              QStringLiteral("Body-SaveEach"), m_mut, m_xafs);
        out << QStringLiteral("%1 %2 %3").arg(cx).arg(cy).arg(shift, 0, 'g', 6);
        if (m_kind == SpectrumSetKind::RawXafs) {
            writePairs(out, m_mut);
            return;
        }
        const Spectrum &normalized = m_xafs.normalized();
        for (int i = 0; i < m_xafs.count(); ++i)
            out << ' ' << m_xafs.effectiveX(i) << ' '
                << (i < normalized.count() ? normalized.y(i) : 0.0);
    }

private:
    // Stored energies, uncorrected.
    static void writePairs(QTextStream &out, const Spectrum &s) {
        for (int i = 0; i < s.count(); ++i)
            out << ' ' << s.x(i) << ' ' << s.y(i);
    }

    SpectrumSetKind m_kind;
    MeasurementStack &m_stack;
    const BinSpectrumSettings &m_source;
    Spectrum m_mut;
    XafsSpectrum m_xafs;
};

} // namespace

QString spectrumSetHeader(SpectrumSetKind kind, const AnalyzeCond &g) {
    return QStringLiteral("%1\n"
                          "# X-Range (x0, x1), steps : %2 %3 %4\n"
                          "# Y-Range (y0, y1), steps : %5 %6 %7\n"
                          "# Full Width, Height      : %8 %9\n"
                          "# Bin Half Width, Height  : %10 %11\n"
                          "# Step dX, dY             : %12 %13\n"
                          "# End of Header\n")
        .arg(QLatin1String(formatLine(kind)))
        .arg(g.x0)
        .arg(g.x1)
        .arg(g.binsX())
        .arg(g.y0)
        .arg(g.y1)
        .arg(g.binsY())
        .arg(g.W)
        .arg(g.H)
        .arg(g.hx)
        .arg(g.hy)
        .arg(g.sx)
        .arg(g.sy);
}

bool writeSpectrumSet(const QString &fileName, SpectrumSetKind kind, const AnalyzeCond &grid,
                      MeasurementStack &stack, const BinSpectrumSettings &source) {
    if (stack.i1().isEmpty())
        return false;
    const QString path = fileNameWithDefaultSuffix(fileName, QStringLiteral("dat"));
    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        DebugLog::write("Can't open " + path);
        return false;
    }
    stack.updateDarkAreas(source.conditions);
    QTextStream out(file.device());
    out << spectrumSetHeader(kind, grid);
    SpectrumSetLineWriter line(kind, stack, source);
    AnalyzeCond g = grid;
    g.reset();
    const double rows = std::max(1, g.y1 - g.y0);
    do {
        if (g.newRow)
            DebugLog::write(
                QStringLiteral("Save Xafs Spectra : Progress %1").arg((g.cy - g.y0) / rows * 100));
        line.write(out, g.cx, g.cy);
        out << '\n';
    } while (g.next());
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        DebugLog::write("Can't write " + path);
        return false;
    }
    return true;
}
