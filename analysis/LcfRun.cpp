#include "analysis/LcfRun.h"

#include "analysis/RowSpectrumTask.h"
#include "app/DebugLog.h"
#include "spectrum/FourierTransform.h"

#include <cmath>

namespace {

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
        for (int i = 0; i < s.refs.size(); ++i)
            if (s.refs.at(i).isUsed())
                m_usedRows.append(i);
    }

    void analyzeBin(int cx, int cy, BinWriter &out) override {
        buildSample(cx, cy);
        const bool ok = m_engine.analyze(m_s.kind, m_sample, m_s.refs, m_s.sE0, m_s.eE0,
                                         m_s.suggestion, nullptr, m_result);
        const int rows = m_s.refs.size();
        for (int d = 0; d < m_usedRows.size(); ++d) {
            const int row = m_usedRows.at(d);
            out.set(lcfAmountMap(row), ok ? m_result.amounts.at(d) : 0.0);
            out.set(lcfFractionMap(row, rows), ok ? m_result.fractions.at(d) : 0.0);
        }
        out.set(lcfResidualMap(rows), ok ? m_result.residual : 0.0);
        if (m_s.options.quality)
            writeQuality(ok, rows, out);
    }

private:
    void writeQuality(bool ok, int rows, BinWriter &out) {
        const double nan = std::nan("");
        for (int d = 0; d < m_usedRows.size(); ++d)
            out.set(lcfSigmaMap(m_usedRows.at(d), rows), ok ? m_result.sigmas.at(d) : nan);
        out.set(lcfRFactorMap(rows), ok ? m_result.rFactor : nan);
        out.set(lcfChi2Map(rows), ok ? m_result.chi2 : nan);
    }

    const LcfRunSettings m_s;
    QVector<int> m_usedRows;
    LcfEngine m_engine;
    LcfResult m_result;
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
