#include "analysis/PhaseCorrelation.h"

#include "imageio/TiffData.h"
#include "spectrum/FourierTransform.h"

#include <QMutexLocker>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fftw3.h>

namespace {

// A Hann window of n samples, 0 at both ends.
std::vector<double> hann(int n) {
    std::vector<double> v(size_t(n), 1.0);
    for (int i = 0; i < n && n > 1; ++i)
        v[size_t(i)] = 0.5 - 0.5 * std::cos(2 * M_PI * i / (n - 1));
    return v;
}

// Index i of a transform of `size` samples is shift (or frequency) i, or
// i - size past the middle.
int wrapped(int i, int size) {
    return i > size / 2 ? i - size : i;
}

} // namespace

PhaseCorrelator::PhaseCorrelator(const PhaseOptions &options) : m_options(options) {}

PhaseCorrelator::~PhaseCorrelator() {
    release();
}

void PhaseCorrelator::setOptions(const PhaseOptions &options) {
    // The reference's transform depends on whether gradients are taken.
    if (options.gradient != m_options.gradient)
        m_hasRef = false;
    m_options = options;
}

void PhaseCorrelator::release() {
    {
        QMutexLocker lock(&fftwPlannerMutex());
        if (m_forward)
            fftw_destroy_plan(static_cast<fftw_plan>(m_forward));
        if (m_inverse)
            fftw_destroy_plan(static_cast<fftw_plan>(m_inverse));
    }
    for (double *p : {m_real, m_spec, m_ref, m_cross})
        fftw_free(p);
    m_forward = m_inverse = nullptr;
    m_real = m_spec = m_ref = m_cross = nullptr;
    m_w = m_h = m_wc = 0;
    m_hasRef = false;
}

bool PhaseCorrelator::setSize(int w, int h) {
    if (w == m_w && h == m_h && m_forward)
        return true;
    release();
    if (w <= 0 || h <= 0)
        return false;
    const int wc = w / 2 + 1;
    const size_t n = size_t(w) * size_t(h), nc = size_t(h) * size_t(wc);
    m_real = static_cast<double *>(fftw_malloc(sizeof(double) * n));
    m_spec = static_cast<double *>(fftw_malloc(sizeof(fftw_complex) * nc));
    m_ref = static_cast<double *>(fftw_malloc(sizeof(fftw_complex) * nc));
    m_cross = static_cast<double *>(fftw_malloc(sizeof(fftw_complex) * nc));
    if (!m_real || !m_spec || !m_ref || !m_cross) {
        release();
        return false;
    }
    auto *spec = reinterpret_cast<fftw_complex *>(m_spec);
    {
        QMutexLocker lock(&fftwPlannerMutex());
        m_forward = fftw_plan_dft_r2c_2d(h, w, m_real, spec, FFTW_ESTIMATE);
        m_inverse = fftw_plan_dft_c2r_2d(h, w, spec, m_real, FFTW_ESTIMATE);
    }
    if (!m_forward || !m_inverse) {
        release();
        return false;
    }
    m_w = w;
    m_h = h;
    m_wc = wc;
    m_winX = hann(w);
    m_winY = hann(h);
    return true;
}

// |grad P| by central differences (one-sided at the border), in place.
void PhaseCorrelator::toGradient() {
    const size_t w = size_t(m_w);
    m_scratch.assign(m_real, m_real + w * size_t(m_h));
    const double *p = m_scratch.data();
    for (int y = 0; y < m_h; ++y) {
        const double *up = p + size_t(std::max(y - 1, 0)) * w;
        const double *down = p + size_t(std::min(y + 1, m_h - 1)) * w;
        const double *row = p + size_t(y) * w;
        double *out = m_real + size_t(y) * w;
        for (size_t x = 0; x < w; ++x) {
            const size_t l = x > 0 ? x - 1 : x, r = x + 1 < w ? x + 1 : x;
            const double gx = row[r] - row[l], gy = down[x] - up[x];
            out[x] = std::sqrt(gx * gx + gy * gy);
        }
    }
}

void PhaseCorrelator::load(const TiffData &image) {
    for (int y = 0; y < m_h; ++y)
        image.shiftedRow(y, 0, 0, m_real + size_t(y) * size_t(m_w));
    if (m_options.gradient)
        toGradient();
    // The mean is taken out before the window, so the window does not
    // imprint its own shape (which sits at shift 0) on the correlation.
    const size_t n = size_t(m_w) * size_t(m_h);
    double sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += m_real[i];
    const double mean = sum / double(n);
    for (int y = 0; y < m_h; ++y) {
        double *row = m_real + size_t(y) * size_t(m_w);
        const double wy = m_winY[size_t(y)];
        for (int x = 0; x < m_w; ++x)
            row[x] = (row[x] - mean) * wy * m_winX[size_t(x)];
    }
}

bool PhaseCorrelator::setReference(const TiffData &reference) {
    m_hasRef = false;
    if (!reference.hasData() || !setSize(reference.width(), reference.height()))
        return false;
    load(reference);
    fftw_execute(static_cast<fftw_plan>(m_forward));
    std::memcpy(m_ref, m_spec, sizeof(fftw_complex) * size_t(m_h) * size_t(m_wc));
    m_hasRef = true;
    return true;
}

// A Gaussian of sigma pixels in the correlation is exp(-2 pi^2 sigma^2 f^2)
// at f cycles per pixel in the spectrum.
void PhaseCorrelator::makeSmoothing() {
    const double sigma = std::max(m_options.smoothing, 0.0);
    if (sigma == m_lowSigma && m_lowX.size() == size_t(m_wc) && m_lowY.size() == size_t(m_h))
        return;
    const auto gauss = [sigma](int f, int n) {
        const double c = double(f) / n;
        return std::exp(-2 * M_PI * M_PI * sigma * sigma * c * c);
    };
    m_lowX.resize(size_t(m_wc));
    m_lowY.resize(size_t(m_h));
    double sumX = 0, sumY = 0;
    for (int x = 0; x < m_w; ++x) // the whole row of frequencies, for the sum
        sumX += gauss(wrapped(x, m_w), m_w);
    for (int v = 0; v < m_wc; ++v)
        m_lowX[size_t(v)] = gauss(v, m_w);
    for (int u = 0; u < m_h; ++u)
        sumY += m_lowY[size_t(u)] = gauss(wrapped(u, m_h), m_h);
    m_lowSigma = sigma;
    m_lowSum = sumX * sumY;
}

// The smoothed R conj(S) / |R conj(S)| into m_cross and m_spec (which the
// inverse transform overwrites).
void PhaseCorrelator::crossPowerSpectrum() {
    makeSmoothing();
    const double *r = m_ref, *s = m_spec;
    double *c = m_cross;
    for (int u = 0; u < m_h; ++u) {
        const double wy = m_lowY[size_t(u)];
        for (size_t v = 0, i = 2 * size_t(u) * size_t(m_wc); v < size_t(m_wc); ++v, i += 2) {
            const double re = r[i] * s[i] + r[i + 1] * s[i + 1];
            const double im = r[i + 1] * s[i] - r[i] * s[i + 1];
            const double m2 = re * re + im * im;
            const double f = m2 > 1e-300 ? wy * m_lowX[v] / std::sqrt(m2) : 0.0;
            c[i] = re * f;
            c[i + 1] = im * f;
        }
    }
    std::memcpy(m_spec, m_cross, sizeof(fftw_complex) * size_t(m_h) * size_t(m_wc));
}

double PhaseCorrelator::integerPeak(int *px, int *py) const {
    const qint64 limit = m_options.maxShift >= 0 ? m_options.maxShift : qint64(1) << 40;
    double best = -HUGE_VAL;
    *px = *py = 0;
    for (int y = 0; y < m_h; ++y) {
        const int sy = wrapped(y, m_h);
        if (std::llabs(sy) > limit)
            continue;
        const double *row = m_real + size_t(y) * size_t(m_w);
        for (int x = 0; x < m_w; ++x) {
            const int sx = wrapped(x, m_w);
            if (row[x] > best && std::llabs(sx) <= limit) {
                best = row[x];
                *px = sx;
                *py = sy;
            }
        }
    }
    return best;
}

// The inverse DFT of the cross-power spectrum C on an R x R grid of step
// 1/U centred on the integer peak:
//   c(x, y) = Re sum_u e^{2 pi i f_u y / h} sum_v w_v C(u, v) e^{2 pi i v x / w}
// over the half spectrum the real transform keeps; w_v = 2 for the columns
// whose conjugates it leaves out, 1 for column 0 and the Nyquist column. The
// inner sums (h x R) cost h (w/2 + 1) R multiply-adds, the outer R R h.
double PhaseCorrelator::refine(int px, int py, double *dx, double *dy) {
    const int U = m_options.upsample;
    const size_t R = size_t(std::ceil(1.5 * U)), wc = size_t(m_wc), h = size_t(m_h);
    const int centre = int(R / 2);
    // Real and imaginary parts apart, the R grid points innermost: the sums
    // over the spectrum then run R independent accumulators side by side,
    // which the compiler turns into vector instructions.
    m_scratch.resize(2 * (wc * R + h * R + h * R));
    double *kxRe = m_scratch.data(), *kxIm = kxRe + wc * R; // wc x R
    double *inRe = kxIm + wc * R, *inIm = inRe + h * R;     // h x R
    double *kyRe = inIm + h * R, *kyIm = kyRe + h * R;      // h x R
    const auto at = [&](size_t k, int peak) { return peak + double(int(k) - centre) / U; };
    for (size_t v = 0; v < wc; ++v) {
        const bool single = v == 0 || (m_w % 2 == 0 && v == wc - 1);
        for (size_t k = 0; k < R; ++k) {
            const double a = 2 * M_PI * double(v) * at(k, px) / m_w;
            kxRe[v * R + k] = (single ? 1 : 2) * std::cos(a);
            kxIm[v * R + k] = (single ? 1 : 2) * std::sin(a);
        }
    }
    for (size_t u = 0; u < h; ++u)
        for (size_t j = 0; j < R; ++j) {
            const double a = 2 * M_PI * wrapped(int(u), m_h) * at(j, py) / m_h;
            kyRe[u * R + j] = std::cos(a);
            kyIm[u * R + j] = std::sin(a);
        }
    std::fill(inRe, inRe + 2 * h * R, 0.0); // inRe and inIm
    for (size_t u = 0; u < h; ++u) {
        const double *c = m_cross + 2 * u * wc;
        double *__restrict re = inRe + u * R;
        double *__restrict im = inIm + u * R;
        for (size_t v = 0; v < wc; ++v) {
            const double cr = c[2 * v], ci = c[2 * v + 1];
            const double *__restrict er = kxRe + v * R;
            const double *__restrict ei = kxIm + v * R;
            for (size_t k = 0; k < R; ++k) {
                re[k] += cr * er[k] - ci * ei[k];
                im[k] += cr * ei[k] + ci * er[k];
            }
        }
    }
    double best = -HUGE_VAL;
    std::vector<double> &row = m_row;
    for (size_t j = 0; j < R; ++j) {
        row.assign(R, 0.0);
        for (size_t u = 0; u < h; ++u) {
            const double er = kyRe[u * R + j], ei = kyIm[u * R + j];
            const double *__restrict re = inRe + u * R;
            const double *__restrict im = inIm + u * R;
            for (size_t k = 0; k < R; ++k)
                row[k] += er * re[k] - ei * im[k];
        }
        for (size_t k = 0; k < R; ++k)
            if (row[k] > best) {
                best = row[k];
                *dx = at(k, px);
                *dy = at(j, py);
            }
    }
    return best;
}

bool PhaseCorrelator::correlate(const TiffData &image, PhaseMatch *match) {
    *match = PhaseMatch();
    if (!m_hasRef || !image.hasData() || image.width() != m_w || image.height() != m_h)
        return false;
    load(image);
    fftw_execute(static_cast<fftw_plan>(m_forward));
    crossPowerSpectrum();
    fftw_execute(static_cast<fftw_plan>(m_inverse));
    int px = 0, py = 0;
    double peak = integerPeak(&px, &py);
    match->dx = px;
    match->dy = py;
    // The grid holds the integer peak itself: the refined peak is never lower.
    if (m_options.upsample > 1)
        peak = refine(px, py, &match->dx, &match->dy);
    match->score = peak / m_lowSum; // identical images: every phase 0, the weights sum
    return true;
}
