#include "analysis/LcfRun.h"

#include "analysis/RowSpectrumTask.h"
#include "app/DebugLog.h"
#include "imageio/TiffData.h"
#include "spectrum/FourierTransform.h"
#include "spectrum/RunNormalization.h"

#include <cmath>

namespace {

QVector<int> usedRowsOf(const QVector<LcfReference> &refs) {
    QVector<int> used;
    for (int i = 0; i < refs.size(); ++i)
        if (refs.at(i).isUsed())
            used.append(i);
    return used;
}

// Row i in use receives amount and fraction d (d counting the used rows),
// "a2d Zansa" the residual; a bin not fitted records 0, and NaN in the
// quality maps.
void writeLcfBin(const LcfRunSettings &s, const QVector<int> &usedRows, bool ok, const LcfResult &r,
                 BinWriter &out) {
    const int rows = s.refs.size();
    for (int d = 0; d < usedRows.size(); ++d) {
        const int row = usedRows.at(d);
        out.set(lcfAmountMap(row), ok ? r.amounts.at(d) : 0.0);
        out.set(lcfFractionMap(row, rows), ok ? r.fractions.at(d) : 0.0);
    }
    out.set(lcfResidualMap(rows), ok ? r.residual : 0.0);
    if (!s.options.quality)
        return;
    const double nan = std::nan("");
    for (int d = 0; d < usedRows.size(); ++d)
        out.set(lcfSigmaMap(usedRows.at(d), rows), ok ? r.sigmas.at(d) : nan);
    out.set(lcfRFactorMap(rows), ok ? r.rFactor : nan);
    out.set(lcfChi2Map(rows), ok ? r.chi2 : nan);
}

// The LCF run bin by bin through XafsSpectrum: the reference for LcfRowTask.
class LcfBinTask : public RowSpectrumTask {
public:
    explicit LcfBinTask(const LcfRunSettings &s)
        : RowSpectrumTask(
              s.stack,
              binSpectrumSettings(s.conditions, s.shiftMap, s.simpleBackground, s.suggestion),
              QStringLiteral("Body-AaP")),
          m_s(s) {
        m_engine.setReferencesFixed(true);
        m_engine.setOptions(s.options);
        m_usedRows = usedRowsOf(s.refs);
    }

    void analyzeBin(int cx, int cy, BinWriter &out) override {
        buildSample(cx, cy);
        const bool ok = m_engine.analyze(m_s.kind, m_sample, m_s.refs, m_s.sE0, m_s.eE0,
                                         m_s.suggestion, nullptr, m_result);
        writeLcfBin(m_s, m_usedRows, ok, m_result, out);
    }

private:
    const LcfRunSettings m_s;
    QVector<int> m_usedRows;
    LcfEngine m_engine;
    LcfResult m_result;
};

// The LCF run a row at a time: mu*t of the whole row (MeasurementStack::
// computeMuTRow), each bin normalised from its slice of the row's arrays
// (RunNormalization) and fitted from them (LcfSample), with the fitting range
// and the references' normal equations kept by the engine across bins. The
// same steps as LcfBinTask, on arrays instead of spectra: the same bits.
class LcfRowTask : public BinTask {
public:
    explicit LcfRowTask(const LcfRunSettings &s) : m_s(s) {
        m_engine.setReferencesFixed(true);
        m_engine.setOptions(s.options);
        m_usedRows = usedRowsOf(s.refs);
    }

    void beginRow(int cy, int firstCx, int sx, int count) override {
        m_firstCx = firstCx;
        m_sx = sx > 0 ? sx : 1;
        const MeasurementStack &stack = *m_s.stack;
        stack.computeMuTRow(cy, firstCx, m_sx, count, m_s.conditions, m_row);
        // The points of a bin: the I1 images whose energy I0 covers.
        m_energies.clear();
        m_covered.clear();
        for (int i = 0; i < m_row.images; ++i) {
            if (!m_row.covered[size_t(i)])
                continue;
            m_energies.push_back(stack.i1().at(i)->energy());
            m_covered.push_back(i);
        }
        m_mu.resize(m_energies.size());
        m_ascending = strictlyAscending(m_energies.data(), int(m_energies.size()));
    }

    void analyzeBin(int cx, int cy, BinWriter &out) override {
        const int b = (cx - m_firstCx) / m_sx;
        const int points = int(m_energies.size());
        bool ok = false;
        if (b >= 0 && b < m_row.count && m_row.inside[size_t(b)] && points > 0) {
            const PointArrays p{m_energies.data(), binMu(b), points, m_ascending};
            m_norm.normalize(p, m_s.simpleBackground ? 1 : 0, m_s.suggestion);
            const double shift = m_s.stack->shiftAt(m_s.shiftMap, cx, cy);
            ok = m_engine.analyze(m_s.kind, sampleOf(p, shift), m_s.refs, m_s.sE0, m_s.eE0,
                                  m_s.suggestion, nullptr, m_result);
            // A fit with an edge looked the references up at these energies.
            if (ok && m_result.fitted) {
                m_lookedUp = true;
                m_lastShift = shift;
            }
        }
        writeLcfBin(m_s, m_usedRows, ok, m_result, out);
    }

private:
    // mu*t of bin b at the covered images, in image order.
    const double *binMu(int b) {
        const double *mu = m_row.mu.data() + size_t(b) * size_t(m_row.images);
        if (int(m_covered.size()) == m_row.images)
            return mu;
        for (size_t k = 0; k < m_covered.size(); ++k)
            m_mu[k] = mu[m_covered[k]];
        return m_mu.data();
    }

    LcfSample sampleOf(const PointArrays &p, double shift) const {
        LcfSample v;
        v.count = p.n;
        v.x = {p.xs, 1};
        v.mu = {p.ys, 1};
        v.dnCount = p.n;
        v.dnX = {p.xs, 1};
        v.dn = {m_norm.doubleNormalizedPreBase(), 1};
        v.dMut = m_norm.dMut();
        v.eShiftValue = shift;
        // The row's energies hold for every bin of the run: only the bin's
        // calibration shift can move them.
        v.energiesAsBefore = m_lookedUp && shift == m_lastShift;
        return v;
    }

    const LcfRunSettings m_s;
    QVector<int> m_usedRows;
    LcfEngine m_engine;
    LcfResult m_result;
    RunNormalization m_norm;
    MuTRow m_row;
    std::vector<double> m_energies;
    std::vector<int> m_covered;
    std::vector<double> m_mu;
    bool m_ascending = false;
    int m_firstCx = 0;
    int m_sx = 1;
    bool m_lookedUp = false; // the engine holds lookups at the run's energies
    double m_lastShift = 0;  // ... less this calibration shift
};

class RaBinTask : public RowSpectrumTask {
public:
    explicit RaBinTask(const RaRunSettings &s)
        : RowSpectrumTask(
              s.stack,
              binSpectrumSettings(s.conditions, s.shiftMap, s.simpleBackground, s.suggestion),
              QStringLiteral("Body-RaA")),
          m_s(s) {}

    void beginRow(int cy, int firstCx, int sx, int count) override {
        RowSpectrumTask::beginRow(cy, firstCx, sx, count);
        if (m_s.logRows)
            DebugLog::write(QString::number(cy));
    }

    void analyzeBin(int cx, int cy, BinWriter &out) override {
        buildSample(cx, cy);
        if (m_sample.isEmpty()) {
            out.set(RaDMut, 0.0);
            out.set(RaRest, 0.0);
            return;
        }
        const double e = m_sample.shifted() ? m_s.energy - 2 * m_sample.eShiftValue() : m_s.energy;
        const double pre = m_sample.pre().lineValue(e);
        const double dmut = m_sample.post().lineValue(e) - pre;
        out.set(RaDMut, dmut);
        out.set(RaRest, pre - m_s.factor * dmut);
    }

private:
    const RaRunSettings m_s;
};

} // namespace

QString lcfRunProblem(const LcfRunSettings &s) {
    if (!s.stack || s.stack->i1().isEmpty())
        return QStringLiteral("no I1 image");
    if (s.refs.size() < 2)
        return QStringLiteral("fewer than two reference rows");
    int used = 0;
    for (const LcfReference &r : s.refs)
        used += r.isUsed() ? 1 : 0;
    if (used == 0)
        return QStringLiteral(
            "no reference spectrum in use: load one in a row and tick its Use box");
    if (used > LcfEngine::MaxReferences)
        return QString("more than %1 references in use").arg(LcfEngine::MaxReferences);
    return fixedEdgeProblem(*s.stack, s.suggestion);
}

MapRun::TaskFactory lcfRunFactory(const LcfRunSettings &s) {
    return [s]() -> std::unique_ptr<BinTask> { return std::make_unique<LcfRowTask>(s); };
}

MapRun::TaskFactory lcfBinByBinFactory(const LcfRunSettings &s) {
    return [s]() -> std::unique_ptr<BinTask> { return std::make_unique<LcfBinTask>(s); };
}

MapRun::TaskFactory raRunFactory(const RaRunSettings &s) {
    return [s]() -> std::unique_ptr<BinTask> { return std::make_unique<RaBinTask>(s); };
}

bool computeRaRatio(const Analyzed2DRes &dmut, const Analyzed2DRes &rest, Analyzed2DRes &ratio) {
    if (!dmut.hasGrids() || !rest.hasGrids() || dmut.width() != rest.width() ||
        dmut.height() != rest.height())
        return false;
    const int w = rest.width(), h = rest.height();
    const double *r = rest.values();
    const double *d = dmut.values();
    const qsizetype cells = qsizetype(w) * h;
    double m = 1e300;
    for (qsizetype i = 0; i < cells; ++i)
        if (r[i] < m)
            m = r[i];
    ratio.prepare(rest.grid());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const qsizetype i = x + qsizetype(y) * w;
            const double den = d[i] + r[i] - m;
            // A cell without dmut and at the smallest rest: no ratio, 0.
            ratio.setData(x, y, 0, 0, den == 0 ? 0.0 : (r[i] - m) / den);
        }
    }
    return true;
}

QVector<FourierDiagnosticLine> execFourierA(const MeasurementStack &stack,
                                            const AnalyzeCond &grid) {
    QVector<FourierDiagnosticLine> lines;
    const int n = stack.i1().size();
    if (n == 0)
        return lines;
    DebugLog::writeTimeStamp(QStringLiteral("2da FA 1:"));
    lines.resize(n);
    for (int p = 0; p < n; ++p)
        lines[p].p = p;
    // One transform per bin serves every component: the sums of component p
    // are accumulated in walk order, as a walk per component would.
    FourierTransform ft;
    ft.setSize(n);
    Spectrum raw;
    AnalyzeCond g = grid;
    g.reset();
    do {
        stack.buildRaw(g.cx, g.cy, g.hx, g.hy, raw);
        if (raw.isEmpty())
            continue;
        ft.transform(raw);
        const double *mag = ft.magnitudes();
        const double gv = raw.y(0);
        for (int p = 0; p < n; ++p) {
            const double hv = mag ? mag[p] : 0.0;
            lines[p].sumG2 += gv * gv;
            lines[p].sumH2 += hv * hv;
            lines[p].sumGH += gv * hv;
        }
    } while (g.next());
    for (FourierDiagnosticLine &l : lines) {
        l.correlation = l.sumGH / std::sqrt(std::fabs(l.sumG2 * l.sumH2));
        DebugLog::write(QString("Res %1 %2 %3 %4 %5")
                            .arg(l.p)
                            .arg(l.sumG2, 0, 'g', 10)
                            .arg(l.sumH2, 0, 'g', 10)
                            .arg(l.sumGH, 0, 'g', 10)
                            .arg(l.correlation, 0, 'g', 10));
    }
    return lines;
}
