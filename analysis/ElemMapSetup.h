#pragma once
// The element map run as the element panel sets it up from typed fields: the
// rows built from names such as "Fe Ni-K Pb-L3", the panel's defaults, and
// the values given for every row or per row, each rounded to the 6
// significant digits a field holds (so that the maps equal the panel's run).
// The command-line tool's elem-map and the Python module's elem_map both set
// their runs up here; after the run the correlation maps are computed anew
// from the ratio maps, as the panel does at a run's end.
#include "analysis/ElemAnalysis.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

struct ElemMapRequest {
    QString elems; // names, blanks or commas between them
    bool sort = false;
    bool noNeg = false;
    std::optional<double> dE, th, roiStart, roiEnd, corTh;
    std::optional<ElemBackground> bg;         // dMut, dE, roi, nRoi
    std::optional<QVector<double>> use;       // one 0 or 1 per row; none: every row
    std::optional<QVector<double>> stdRatios; // one per row; none: 1 each
    int mainRow = 0;
};

// The rows for the names. *skipped lists the names that name no known
// element (the panel skips them). "" when sound, else why not, naming the
// command-line option.
QString buildElemTargets(const ElemMapRequest &r, QVector<ElemTarget> *targets,
                         QStringList *skipped);

// The run's setup for the rows (stack, mut and shift left to the caller).
QString buildElemSetup(const ElemMapRequest &r, const QVector<ElemTarget> &targets,
                       ElemRunSetup *setup);

// The correlation maps (elemCorIndex) anew from the ratio maps of the run's
// map list.
void recalcElemCorrelation(const ElemRunSetup &s, const QVector<Analyzed2DRes *> &maps);
