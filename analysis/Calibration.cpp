#include "analysis/Calibration.h"

#include "app/DebugLog.h"
#include "imageio/TiffData.h"
#include "spectrum/PointArrays.h"
#include "spectrum/RunNormalization.h"

#include <cmath>

bool CalibSteps::valid() const {
    if (!(std::isfinite(step) && std::isfinite(minStep) && std::isfinite(range)))
        return false;
    if (!(step > 0 && minStep > 0 && range >= 0))
        return false;
    // Each pass divides the step by ten: bounded passes and trials per pass.
    return step / minStep < 1e12 && 2 * range / step <= 1e5;
}

namespace {

// The similarity, or NaN when no point pair counted (either sum of squares
// not positive): such a trial scores nothing in the search.
// The curves compared are the normalised spectra ((mu - post) / dMut + 1):
// flat at 0 below the edge and at 1 above it for both, whatever their edge
// jumps, so the product measures the shape of the edge alone.
// x(i) and y(i) give the effective energies and the normalised curve of the
// n points of the spectrum.
template <typename X, typename Y>
double innerProductOf(int n, X x, Y y, double dE, const XafsSpectrum &standard) {
    const Spectrum &ref = standard.normalized();
    const double offset = ref.shifted() ? ref.shift() : 0.0;
    const double lo = standard.xMin();
    const double hi = standard.xMax();
    double ns = 0, nn = 0, ss = 0;
    for (int i = 0; i < n; ++i) {
        const double d = x(i) - dE;
        if (std::isnan(d))
            DebugLog::write(QStringLiteral("nan EeV in XafsSpectrum::doubleNormalizedPreBase"));
        if (!(d >= lo && d <= hi))
            continue;
        const double ni = y(i);
        const double si = ref.valueAt(d + offset);
        ns += ni * si;
        nn += ni * ni;
        ss += si * si;
    }
    if (nn > 0 && ss > 0)
        return ns / std::sqrt(nn * ss);
    return std::nan("");
}

double innerProductOrNaN(const XafsSpectrum &spectrum, double dE, const XafsSpectrum &standard) {
    const Spectrum &target = spectrum.normalized();
    const int nTarget = target.count();
    return innerProductOf(
        spectrum.count(), [&spectrum](int i) { return spectrum.effectiveX(i); },
        [&target, nTarget](int i) { return i < nTarget ? target.y(i) : 0.0; }, dE, standard);
}

// Every pass is centred on the dMidx shift `base`; the best similarity
// carries over, so a finer pass replaces the result only with a strictly
// better one. Trial k of a pass sits at -c + k*e (not an accumulated sum), so
// the pass ends exactly at +c: 41 trials for c = 20, e = 1 and for c = 2,
// e = 0.1. score(dE) gives the similarity at shift dE.
template <typename Score> double bestShift(double base, const CalibSteps &steps, Score score) {
    if (!steps.valid())
        return 0;
    double c = steps.range;
    double e = steps.step;
    double best = -1e300;
    double result = 0;
    while (e >= steps.minStep) {
        const long trials = long(std::floor(2 * c / e + 1e-9));
        for (long k = 0; k <= trials; ++k) {
            const double dE = base + (-c + double(k) * e);
            const double r = score(dE);
            if (r > best) {
                best = r;
                result = dE;
            }
        }
        c *= 0.1;
        e *= 0.1;
    }
    return result;
}

} // namespace

double shiftedNormalizedInnerP(const XafsSpectrum &spectrum, double dE,
                               const XafsSpectrum &standard) {
    const double r = innerProductOrNaN(spectrum, dE, standard);
    return std::isnan(r) ? 0.0 : r;
}

double findBestMatchDE(const XafsSpectrum &spectrum, const XafsSpectrum &standard,
                       const CalibSteps &steps) {
    return bestShift(spectrum.midx() - standard.midx(), steps,
                     [&](double dE) { return innerProductOrNaN(spectrum, dE, standard); });
}

bool standardHasEdge(const XafsSpectrum &standard) {
    return standard.count() >= 3 && std::isfinite(standard.dMut()) && standard.dMut() != 0 &&
           standard.normalized().count() == standard.count();
}

// ------------------------------------------------------------------ shifts

void CalibShifts::reset(const AnalyzeCond &grid) {
    m_grid = grid;
    m_binsX = grid.binsX();
    m_values.assign(size_t(grid.binCount()), std::nan(""));
}

void CalibShifts::set(int cx, int cy, double shift) {
    const int col = (cx - m_grid.x0 - m_grid.hx) / std::max(m_grid.sx, 1);
    const int row = (cy - m_grid.y0 - m_grid.hy) / std::max(m_grid.sy, 1);
    const size_t i = size_t(col) + size_t(row) * size_t(m_binsX);
    if (i < m_values.size())
        m_values[i] = shift;
}

CalibStats calibStats(const CalibShifts &shifts) {
    CalibStats s;
    double sum = 0;
    s.min = 1e300;
    s.max = -1e300;
    for (double v : shifts.values()) {
        if (std::isnan(v))
            continue;
        ++s.count;
        sum += v;
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
    }
    if (s.count == 0)
        return CalibStats();
    s.valid = true;
    s.mean = sum / s.count;
    double squares = 0;
    for (double v : shifts.values())
        if (!std::isnan(v))
            squares += (v - s.mean) * (v - s.mean);
    s.sigma = std::sqrt(squares / s.count);
    return s;
}

// ------------------------------------------------------------------ run

CalibBinTask::CalibBinTask(const MeasurementStack &stack, const XafsSpectrum &standard,
                           const CalibConditions &conditions, CalibShifts *shifts)
    : m_stack(stack), m_standard(standard), m_conditions(conditions), m_shifts(shifts),
      m_name(QStringLiteral("Body-Calib")) {
    m_spectrum.reserve(stack.i1().size());
}

double CalibTask::shiftOf(const XafsSpectrum &spectrum, const XafsSpectrum &standard,
                          const CalibConditions &conditions) {
    // Without an overlap of the energy ranges no inner product counts and the
    // search keeps its start value 0; the midpoints differ all the same.
    if (conditions.method == CalibMethod::InnerP)
        return findBestMatchDE(spectrum, standard, conditions.steps);
    return spectrum.midx() - standard.midx();
}

// The mu*t is built straight into the spectrum and normalised in place
// (assigning a spectrum to itself keeps its points), so the storage of the
// points, curves and lines is reused from bin to bin.
void CalibBinTask::beginRow(int cy, int firstCx, int sx, int count) {
    m_firstCx = firstCx;
    m_sx = sx > 0 ? sx : 1;
    m_stack.computeMuTRow(cy, firstCx, m_sx, count, m_conditions.mut, m_row);
}

void CalibBinTask::analyzeBin(int cx, int cy, BinWriter &out) {
    (void)cy; // the row was read in beginRow
    m_stack.muTOfRowBin(m_row, (cx - m_firstCx) / m_sx, m_spectrum);
    if (m_spectrum.isEmpty())
        return;
    m_spectrum.assign(m_spectrum, m_name, m_conditions.targetVictoreen ? 0 : 1, 0.0,
                      m_conditions.suggestion);
    const double shift = CalibTask::shiftOf(m_spectrum, m_standard, m_conditions);
    out.set(0, shift);
    m_shifts->set(cx, cy, shift);
}

// ------------------------------------------------------------------ row run

namespace {

// The standard's normalised curve at the points shifted by every trial of the
// search, for one edge position of the bins: trial t reads the points
// [from, to), whose values start at values[at]. Over rising energies the
// points within the standard's range are always consecutive.
struct StandardTable {
    double midx = 0;
    std::vector<int> from, to;
    std::vector<size_t> at;
    std::vector<double> ss; // the standard's sum of squares over the trial's points
    std::vector<double> values;

    // False (the table unusable) should the points in range not be consecutive.
    bool fill(const double *x, int n, double base, const std::vector<double> &offsets,
              const XafsSpectrum &standard) {
        const Spectrum &ref = standard.normalized();
        const double offset = ref.shifted() ? ref.shift() : 0.0;
        const double lo = standard.xMin();
        const double hi = standard.xMax();
        for (double o : offsets) {
            const double dE = base + o;
            int a = n, b = n;
            at.push_back(values.size());
            double sum = 0;
            for (int i = 0; i < n; ++i) {
                const double d = x[i] - dE;
                if (!(d >= lo && d <= hi)) {
                    if (a < n && b == n)
                        b = i;
                    continue;
                }
                if (b < n)
                    return false;
                if (a == n)
                    a = i;
                const double si = ref.valueAt(d + offset);
                values.push_back(si);
                sum += si * si;
            }
            from.push_back(a);
            to.push_back(a == n ? n : b);
            ss.push_back(sum);
        }
        return true;
    }
};

// Tables for at most this many values per thread (32 MB); beyond, they are
// made afresh.
constexpr size_t TableBudget = size_t(1) << 22;

} // namespace

struct CalibTask::Row {
    const MeasurementStack &stack;
    const XafsSpectrum &standard;
    const CalibConditions &conditions;
    CalibShifts *shifts;
    MuTRow row;
    int firstCx = 0;
    int sx = 1;
    std::vector<double> energies; // of the points: the I1 images I0 covers
    std::vector<int> covered;
    bool ascending = false;
    std::vector<double> mu;         // one bin's mu*t at the points
    std::vector<double> normalized; // its normalised curve
    RunNormalization norm;
    double curveJump = 0;
    std::vector<double> offsets; // of the search's trials, in its order
    std::vector<StandardTable> tables;
    size_t tableValues = 0;

    Row(const MeasurementStack &s, const XafsSpectrum &reference, const CalibConditions &c,
        CalibShifts *out)
        : stack(s), standard(reference), conditions(c), shifts(out) {
        // The trials' shifts from 0: the offsets themselves (none is -0, so
        // adding them to 0 changes no bit).
        if (c.method == CalibMethod::InnerP && c.steps.valid())
            bestShift(0.0, c.steps, [this](double dE) {
                offsets.push_back(dE);
                return 0.0;
            });
    }

    const double *binMu(int b) {
        const double *all = row.mu.data() + size_t(b) * size_t(row.images);
        if (int(covered.size()) == row.images)
            return all;
        for (size_t k = 0; k < covered.size(); ++k)
            mu[k] = all[covered[k]];
        return mu.data();
    }

    // XafsSpectrum::normalize over the arrays, keeping only midx, the lines
    // and the jump the normalised curve is made with: the one found before
    // the suggestion's check, which may set it to 0.
    void normalize(const PointArrays &p) {
        const SuggestElm &s = conditions.suggestion;
        norm.fitLines(p, conditions.targetVictoreen ? 0 : 1, s);
        curveJump = norm.dMut();
        norm.checkAgainstSuggestion(p, s);
    }
    double midx() const { return norm.midx(); }

    double innerPShift(const PointArrays &p) {
        const double *post = norm.lines().postAt.constData();
        normalized.resize(size_t(p.n));
        for (int i = 0; i < p.n; ++i)
            normalized[size_t(i)] = (p.ys[i] - post[i]) / curveJump + 1;
        const double base = midx() - standard.midx();
        if (const StandardTable *t = tableFor(base))
            return searchTable(*t, base);
        const double *x = p.xs;
        const double *y = normalized.data();
        return bestShift(base, conditions.steps, [&](double dE) {
            return innerProductOf(
                p.n, [x](int i) { return x[i]; }, [y](int i) { return y[i]; }, dE, standard);
        });
    }

    // The table of this edge position, made on first use; none when the
    // energies do not rise, the shift is not finite or the table would be
    // too large.
    const StandardTable *tableFor(double base) {
        const double midx = this->midx();
        for (const StandardTable &t : tables)
            if (t.midx == midx)
                return &t;
        const size_t size = offsets.size() * energies.size();
        if (!ascending || !std::isfinite(base) || size > TableBudget || offsets.empty())
            return nullptr;
        if (tableValues + size > TableBudget) {
            tables.clear();
            tableValues = 0;
        }
        StandardTable t;
        t.midx = midx;
        if (!t.fill(energies.data(), int(energies.size()), base, offsets, standard))
            return nullptr;
        tableValues += t.values.size();
        tables.push_back(std::move(t));
        return &tables.back();
    }

    // bestShift over the table: each trial's sums in the order of the points,
    // as innerProductOf adds them; four trials over the same points at a time.
    double searchTable(const StandardTable &t, double base) const {
        const double *y = normalized.data();
        const int trials = int(offsets.size());
        double best = -1e300;
        double result = 0;
        int nnFrom = -1, nnTo = -1;
        double nn = 0;
        double ns[4];
        for (int k = 0; k < trials;) {
            const int a = t.from[size_t(k)], b = t.to[size_t(k)];
            if (a != nnFrom || b != nnTo) {
                nn = 0;
                for (int i = a; i < b; ++i)
                    nn += y[i] * y[i];
                nnFrom = a;
                nnTo = b;
            }
            int group = 1;
            while (group < 4 && k + group < trials && t.from[size_t(k + group)] == a &&
                   t.to[size_t(k + group)] == b)
                ++group;
            if (group == 4) {
                dot4(y + a, &t.values[t.at[size_t(k)]], &t.values[t.at[size_t(k + 1)]],
                     &t.values[t.at[size_t(k + 2)]], &t.values[t.at[size_t(k + 3)]], b - a, ns);
            } else {
                group = 1;
                ns[0] = dot(y + a, &t.values[t.at[size_t(k)]], b - a);
            }
            for (int g = 0; g < group; ++g, ++k) {
                const double ss = t.ss[size_t(k)];
                const double r = (nn > 0 && ss > 0) ? ns[g] / std::sqrt(nn * ss) : std::nan("");
                if (r > best) {
                    best = r;
                    result = base + offsets[size_t(k)];
                }
            }
        }
        return result;
    }

    static double dot(const double *y, const double *v, int n) {
        double s = 0;
        for (int i = 0; i < n; ++i)
            s += y[i] * v[i];
        return s;
    }
    // Four sums side by side, each in the order of the points.
    static void dot4(const double *y, const double *v0, const double *v1, const double *v2,
                     const double *v3, int n, double *out) {
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (int i = 0; i < n; ++i) {
            s0 += y[i] * v0[i];
            s1 += y[i] * v1[i];
            s2 += y[i] * v2[i];
            s3 += y[i] * v3[i];
        }
        out[0] = s0;
        out[1] = s1;
        out[2] = s2;
        out[3] = s3;
    }
};

CalibTask::CalibTask(const MeasurementStack &stack, const XafsSpectrum &standard,
                     const CalibConditions &conditions, CalibShifts *shifts)
    : m_row(std::make_unique<Row>(stack, standard, conditions, shifts)) {}

CalibTask::~CalibTask() = default;

void CalibTask::beginRow(int cy, int firstCx, int sx, int count) {
    Row &r = *m_row;
    r.firstCx = firstCx;
    r.sx = sx > 0 ? sx : 1;
    r.stack.computeMuTRow(cy, firstCx, r.sx, count, r.conditions.mut, r.row);
    r.energies.clear();
    r.covered.clear();
    for (int i = 0; i < r.row.images; ++i) {
        if (!r.row.covered[size_t(i)])
            continue;
        r.energies.push_back(r.stack.i1().at(i)->energy());
        r.covered.push_back(i);
    }
    r.mu.resize(r.energies.size());
    r.ascending = strictlyAscending(r.energies.data(), int(r.energies.size()));
}

void CalibTask::analyzeBin(int cx, int cy, BinWriter &out) {
    Row &r = *m_row;
    const int b = (cx - r.firstCx) / r.sx;
    const int points = int(r.energies.size());
    if (b < 0 || b >= r.row.count || !r.row.inside[size_t(b)] || points == 0)
        return;
    const PointArrays p{r.energies.data(), r.binMu(b), points, r.ascending};
    r.normalize(p);
    const double shift = r.conditions.method == CalibMethod::InnerP ? r.innerPShift(p)
                                                                    : r.midx() - r.standard.midx();
    out.set(0, shift);
    r.shifts->set(cx, cy, shift);
}

bool runCalibration(MapRun &run, MeasurementStack &stack, const XafsSpectrum &standard,
                    const CalibConditions &conditions, const AnalyzeCond &grid, Analyzed2DRes &map,
                    CalibShifts &shifts, int threads) {
    stack.updateDarkAreas(conditions.mut);
    shifts.reset(grid);
    map.prepare(grid);
    return run.run(grid, {&map}, calibTaskFactory(stack, standard, conditions, shifts), threads);
}

MapRun::TaskFactory calibTaskFactory(const MeasurementStack &stack, const XafsSpectrum &standard,
                                     const CalibConditions &conditions, CalibShifts &shifts) {
    return [&stack, &standard, &conditions, &shifts] {
        return std::make_unique<CalibTask>(stack, standard, conditions, &shifts);
    };
}

MapRun::TaskFactory calibBinByBinFactory(const MeasurementStack &stack,
                                         const XafsSpectrum &standard,
                                         const CalibConditions &conditions, CalibShifts &shifts) {
    return [&stack, &standard, &conditions, &shifts] {
        return std::make_unique<CalibBinTask>(stack, standard, conditions, &shifts);
    };
}
