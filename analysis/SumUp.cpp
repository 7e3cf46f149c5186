#include "analysis/SumUp.h"

#include "app/DebugLog.h"
#include "imageio/TiffData.h"

#include <algorithm>
#include <cmath>

QString sumUpRangeText(const SumUpRange &r) {
    return QStringLiteral("%1-%2").arg(r.from).arg(r.to);
}

SumUpTask::SumUpTask(const MeasurementStack &stack, const QVector<SumUpRange> &ranges, int hx,
                     int hy)
    : m_stack(stack), m_ranges(ranges), m_hx(hx), m_hy(hy) {}

double SumUpTask::binSum(int cx, int cy) const {
    const QVector<TiffData *> &images = m_stack.i1();
    double sum = 0;
    for (const SumUpRange &r : m_ranges) {
        const int first = std::max(r.from, 0);
        const int end = std::min(r.to, int(images.size()));
        for (int j = first; j < end; ++j)
            sum += images.at(j)->boxSum(cx, cy, m_hx, m_hy);
    }
    return sum;
}

void SumUpTask::analyzeBin(int cx, int cy, BinWriter &out) {
    out.set(0, binSum(cx, cy));
}

void SumUpTask::beginRow(int cy, int, int, int) {
    DebugLog::write(QString::number(cy));
}

bool runSumUp(MapRun &run, const MeasurementStack &stack, const QVector<SumUpRange> &ranges,
              const AnalyzeCond &grid, Analyzed2DRes &map, int threads) {
    map.prepare(grid);
    return run.run(
        grid, {&map}, [&] { return std::make_unique<SumUpTask>(stack, ranges, grid.hx, grid.hy); },
        threads);
}

double combineBinSums(MapOperation op, double sum1, double sum2) {
    switch (op) {
    case MapOperation::Div:
        return sum2 != 0 ? sum1 / sum2 : 1.0;
    case MapOperation::Mask:
        return sum2 > 0 ? sum1 : 0.0;
    case MapOperation::Sub:
        break;
    }
    return sum1 - sum2;
}

double mapBinSum(const Analyzed2DRes &map, int cx, int cy, int hx, int hy) {
    const double *v = map.values();
    if (!v)
        return 0;
    const int x0 = int(std::max<qint64>(qint64(cx) - hx, 0));
    const int x1 = int(std::min<qint64>(qint64(cx) + hx, map.width() - 1));
    const int y0 = int(std::max<qint64>(qint64(cy) - hy, 0));
    const int y1 = int(std::min<qint64>(qint64(cy) + hy, map.height() - 1));
    double sum = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            sum += v[size_t(x) + size_t(y) * size_t(map.width())];
    return sum;
}

ProcessMapsTask::ProcessMapsTask(const Analyzed2DRes &map1, const Analyzed2DRes &map2,
                                 MapOperation op, int hx, int hy)
    : m_map1(map1), m_map2(map2), m_op(op), m_hx(hx), m_hy(hy) {}

void ProcessMapsTask::analyzeBin(int cx, int cy, BinWriter &out) {
    const double s1 = mapBinSum(m_map1, cx, cy, m_hx, m_hy);
    const double s2 = mapBinSum(m_map2, cx, cy, m_hx, m_hy);
    const double result = combineBinSums(m_op, s1, s2);
    out.set(0, result);
    DebugLog::write(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                        .arg(cx)
                        .arg(cy)
                        .arg(result)
                        .arg(result)
                        .arg(m_hx)
                        .arg(m_hy)
                        .arg(m_map1.width())
                        .arg(m_map1.height()));
}

bool processMaps(MapRun &run, const Analyzed2DRes &map1, const Analyzed2DRes &map2, MapOperation op,
                 const AnalyzeCond &grid, Analyzed2DRes &out, int threads) {
    if (!map1.isFilled() || !map2.isFilled())
        return false;
    out.prepare(grid);
    const bool done = run.run(
        grid, {&out},
        [&] { return std::make_unique<ProcessMapsTask>(map1, map2, op, grid.hx, grid.hy); },
        threads);
    out.markFilled();
    return done;
}
