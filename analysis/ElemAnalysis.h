#pragma once
// Several absorption edges mapped from one spectrum: for each target element
// the edge jump dmut = mu(E0+dE) - mu(E0-dE), its ratio to the jump of a main
// element, mu above and below the edge, the shift of the half-jump energy from
// E0, and the mean of mu - mu(E0-dE) over a region of interest (ROI) with its
// jump-normalised form. Where the jump does not exceed the element's threshold
// the edge is taken as absent and background values stand in.
//
// A correlation compares the pattern of jump ratios with a standard pattern:
// cor = sum(r s) / sqrt(sum(r^2) sum(s^2)) over the elements in use, 1 when the
// patterns are proportional.
//
// Plain values only (the element rows of the analysis panel are read into
// these records); nothing here allocates per spectrum.
#include "analysis/MapRun.h"
#include "measurement/MeasurementStack.h"

#include <QMetaType>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

// One element row's conditions (eV).
struct ElemCondition {
    double e0 = 0.0;        // expected absorption edge
    double dE = 20.0;       // mu is read at e0 - dE and e0 + dE
    double roiStart = 7000; // ROI [roiStart, roiEnd)
    double roiEnd = 7005;
    double th = 0.1; // jumps not above th count as no edge
    bool noNeg = false;
};

// Values that stand in where an edge is absent.
struct ElemBackground {
    double dMut = 0;
    double dMutRatio = 0; // kept for the panel; the analysis does not read it
    double dE = 0;
    double roi = -1;
    double nRoi = -1;
};

// Map kinds of an element row, in the order of its seven maps.
enum ElemMapKind {
    ElemDMut = 0,
    ElemRatio,
    ElemMuPlus,
    ElemMuMinus,
    ElemDE,
    ElemROI,
    ElemNROI,
    ElemMapKinds
};

// Results for one element: v[kind] as recorded in the maps, and the jump as
// computed (also where background values replaced it).
struct ElemValues {
    double v[ElemMapKinds] = {0, 0, 0, 0, 0, 0, 0};
    double rawDMut = 0;
    double dMut() const { return v[ElemDMut]; }
    double ratio() const { return v[ElemRatio]; }
    double muPlus() const { return v[ElemMuPlus]; }
    double muMinus() const { return v[ElemMuMinus]; }
    double eShift() const { return v[ElemDE]; }
    double roi() const { return v[ElemROI]; }
    double nRoi() const { return v[ElemNROI]; }
};

// Analyses `count` elements of spectrum s (stored energies in ascending order;
// the spectrum's own energy offset is not applied) whose bin carries the
// energy shift g: the mu lookups, the ROI limits and the half-jump crossings
// all happen at the nominal energy + g, so the shift counts once.
// out receives count entries. Ratios divide by the recorded jump of element
// mainT; by 1 when that jump is 0 or mainT names no element.
void analyzeElems(const Spectrum &s, double g, const ElemCondition *conds, int count, int mainT,
                  const ElemBackground &bg, ElemValues *out);

// Correlation of ratios r with standard ratios s over the n elements whose
// use flag is set; 0 when either pattern is all zero (or nothing is in use).
double elemCorrelation(const double *r, const double *s, const char *use, int n);

// ---- target names ----

struct ElemTarget {
    QString name;   // "Fe-K": symbol and edge joined by "-"
    QString symbol; // "Fe"
    QString edgeName;
    int Z = 0;
    int edge = 0;    // 0 = K, 1..3 = L1..L3
    double e0 = 0.0; // edge energy in eV from the edge table
};

// Targets from a text such as "Fe,Ni  Pb-L3": commas count as blanks; a part
// without "-" (or starting with it) is a symbol with the K edge; parts with an
// unknown symbol are skipped. Sorted by ascending Z when sortByZ (stable: equal
// Z keep their order).
QVector<ElemTarget> parseElemTargets(const QString &text, bool sortByZ);

// "%1 Elem Ctrl 0" ... "%1 Elem Ctrl NROI" for the seven map kinds.
QString elemMapName(const QString &rowName, int kind);

// The short read-out of ROI values: the number with 6 significant digits cut
// to its first five characters ("-0.0123456" -> "-0.01").
QString elemShortText(double v);

// A number as the element panel's fields hold it: 6 significant digits. Every
// condition reaches the analysis through such a field, so a run set up from
// plain values rounds them alike to get the panel's numbers.
QString elemFieldText(double v);
double elemFieldValue(double v);

// ---- correlation maps ----

// Recomputes the correlation map and its thresholded copy from the ratio maps
// (one per element, kind 1): over the bins of cor's grid, c = the ratio map's
// value at the bin centre (0 outside it), cor = elemCorrelation(c, std);
// corTh gets cor when cor >= threshold, else 0. Extremes start afresh. Nothing
// happens while cor has no grids. rowStarted, when set, gets the percentage of
// bin rows done at each row start.
void recalcCorrelationMaps(const QVector<const Analyzed2DRes *> &ratioMaps,
                           const QVector<double> &stdRatios, const QVector<char> &use,
                           double threshold, Analyzed2DRes &cor, Analyzed2DRes &corTh,
                           const std::function<void(double)> &rowStarted = {});

// ---- the element map run ----

// Everything a run reads, copied once at its start: the panel's rows may
// change afterwards without touching the run.
struct ElemRunSetup {
    const MeasurementStack *stack = nullptr; // dark areas brought up to date
    MuTConditions mut;
    ShiftMapView shift;
    QVector<ElemCondition> conds;
    ElemBackground bg;
    int mainT = 0;
    QVector<double> stdRatios; // one per element
    QVector<char> use;         // one per element
    double corTh = 0.999;
    // The window's run writes "a" to the debug log for every bin recorded;
    // the command-line tool, which shows that log on stderr, does not.
    bool logBins = true;
    int elemCount() const { return conds.size(); }
};

// The run as the panel sets it up for freshly built rows of these targets:
// each row's E0 is the table edge as its field shows it, the other
// conditions, the background values and the correlation threshold are the
// fields' defaults, every row in use with standard ratio 1, the first row the
// main target. (stack, mut and shift are left to the caller.)
ElemRunSetup elemDefaultSetup(const QVector<ElemTarget> &targets);

// The run's map list: kind k of element j at j + k*n, then the correlation
// map at 7n and its thresholded copy at 7n + 1 (n elements).
inline int elemMapIndex(int elem, int kind, int n) {
    return elem + kind * n;
}
inline int elemCorIndex(int n) {
    return ElemMapKinds * n;
}
inline int elemMapCount(int n) {
    return ElemMapKinds * n + 2;
}

// One bin: mu*t of the bin, the element analysis at the bin's energy shift,
// the seven values per element and the correlation. The run bin by bin
// through each bin's spectrum, kept as the reference of the row run.
class ElemBinTask : public BinTask {
public:
    explicit ElemBinTask(std::shared_ptr<const ElemRunSetup> setup);
    void analyzeBin(int cx, int cy, BinWriter &out) override;
    void beginRow(int cy, int firstCx, int sx, int count) override;
    // The values of the last bin (for tests and the interactive read-outs).
    const QVector<ElemValues> &values() const { return m_values; }

private:
    std::shared_ptr<const ElemRunSetup> m_setup;
    Spectrum m_mut;
    MuTRow m_row; // the mu*t of the current row of bins
    int m_firstCx = 0;
    int m_sx = 1;
    QVector<ElemValues> m_values;
    QVector<double> m_ratios;
};

// The run a row of bins at a time: mu*t read only at the points the
// conditions reach (for the shifts the row's bins carry), each bin analysed
// from the row's arrays by the same code as a spectrum. Its maps equal
// elemBinByBinFactory's to the bit.
MapRun::TaskFactory elemTaskFactory(std::shared_ptr<const ElemRunSetup> setup);
MapRun::TaskFactory elemBinByBinFactory(std::shared_ptr<const ElemRunSetup> setup);

// Registers the records above for queued connections (idempotent).
void registerElemMetaTypes();

Q_DECLARE_METATYPE(ElemCondition)
Q_DECLARE_METATYPE(ElemBackground)
