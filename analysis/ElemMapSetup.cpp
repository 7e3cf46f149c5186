#include "analysis/ElemMapSetup.h"

#include "spectrum/EdgeTable.h"

#include <QSet>
#include <cmath>

namespace {

bool knownEdgeName(const QString &edge) {
    return edgeIndexOf(edge) != 0 || edge.compare("K", Qt::CaseInsensitive) == 0;
}

QString perRowProblem(const char *option, const QVector<double> &values, int rows, bool flags) {
    if (values.size() != rows)
        return QString("%1 needs one value per row (%2)").arg(option).arg(rows);
    for (double v : values)
        if (!std::isfinite(v) || (flags && v != 0 && v != 1))
            return option + QString(flags ? " takes 0 or 1 per row" : " takes one number per row");
    return QString();
}

double field(const std::optional<double> &given, double fallback) {
    return given ? elemFieldValue(*given) : fallback;
}

} // namespace

QString buildElemTargets(const ElemMapRequest &r, QVector<ElemTarget> *targets,
                         QStringList *skipped) {
    QString plain = r.elems;
    plain.replace(',', ' ');
    for (const QString &part : plain.simplified().split(' ', Qt::SkipEmptyParts))
        if (parseElemTargets(part, false).isEmpty())
            *skipped << part;
    *targets = parseElemTargets(r.elems, r.sort);
    if (targets->isEmpty())
        return QStringLiteral("--elems names no known element");
    // The row names become file names: an edge that is not K, L1, L2 or L3
    // is refused rather than skipped.
    QSet<QString> names;
    for (const ElemTarget &t : *targets) {
        if (!knownEdgeName(t.edgeName))
            return "--elems: unknown edge in " + t.name + " (K, L1, L2 or L3)";
        if (names.contains(t.name))
            return "--elems names " + t.name + " twice";
        names.insert(t.name);
    }
    return QString();
}

QString buildElemSetup(const ElemMapRequest &r, const QVector<ElemTarget> &targets,
                       ElemRunSetup *setup) {
    const int n = targets.size();
    ElemRunSetup &s = *setup;
    s = elemDefaultSetup(targets);
    for (ElemCondition &c : s.conds) {
        c.dE = field(r.dE, c.dE);
        c.th = field(r.th, c.th);
        c.roiStart = field(r.roiStart, c.roiStart);
        c.roiEnd = field(r.roiEnd, c.roiEnd);
        c.noNeg = r.noNeg;
    }
    s.corTh = field(r.corTh, s.corTh);
    if (r.bg) {
        s.bg.dMut = elemFieldValue(r.bg->dMut);
        s.bg.dE = elemFieldValue(r.bg->dE);
        s.bg.roi = elemFieldValue(r.bg->roi);
        s.bg.nRoi = elemFieldValue(r.bg->nRoi);
    }
    if (r.mainRow < 0 || r.mainRow >= n)
        return QString("--main N names a row from 0 to %1").arg(n - 1);
    s.mainT = r.mainRow;
    if (r.use) {
        if (const QString why = perRowProblem("--use", *r.use, n, true); !why.isEmpty())
            return why;
        for (int j = 0; j < n; ++j)
            s.use[j] = r.use->at(j) != 0 ? 1 : 0;
    }
    if (r.stdRatios) {
        if (const QString why = perRowProblem("--std", *r.stdRatios, n, false); !why.isEmpty())
            return why;
        for (int j = 0; j < n; ++j)
            s.stdRatios[j] = elemFieldValue(r.stdRatios->at(j));
    }
    return QString();
}

void recalcElemCorrelation(const ElemRunSetup &s, const QVector<Analyzed2DRes *> &maps) {
    const int n = s.elemCount();
    QVector<const Analyzed2DRes *> ratios;
    for (int j = 0; j < n; ++j)
        ratios.append(maps[elemMapIndex(j, ElemRatio, n)]);
    recalcCorrelationMaps(ratios, s.stdRatios, s.use, s.corTh, *maps[elemCorIndex(n)],
                          *maps[elemCorIndex(n) + 1]);
}
