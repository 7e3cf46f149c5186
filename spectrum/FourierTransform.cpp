#include "spectrum/FourierTransform.h"

#include "spectrum/Spectrum.h"

#include <QMutex>
#include <QMutexLocker>
#include <cmath>
#include <fftw3.h>

// The transforms of the spectrum view, of the analyses and of image
// registration may be planned from different threads.
QMutex &fftwPlannerMutex() {
    static QMutex m;
    return m;
}

FourierTransform::~FourierTransform() {
    release();
}

void FourierTransform::setSize(int n) {
    if (n == m_n)
        return;
    release();
    if (n <= 0)
        return;
    auto *in = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * size_t(n)));
    auto *out = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * size_t(n)));
    fftw_plan plan = nullptr;
    if (in && out) {
        QMutexLocker lock(&fftwPlannerMutex());
        plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    }
    if (!plan) {
        fftw_free(in);
        fftw_free(out);
        return;
    }
    auto *magnitude = new double[size_t(n)]();
    m_fwdIn = in;
    m_fwdOut = out;
    m_magnitude = magnitude;
    m_fwdPlan = plan;
    m_n = n;
}

void FourierTransform::transform(const Spectrum &spectrum) {
    if (m_n == 0)
        return;
    auto *in = static_cast<fftw_complex *>(m_fwdIn);
    const int used = qMin(m_n, spectrum.count());
    const QPointF *p = spectrum.points().constData();
    for (int i = 0; i < used; ++i) {
        in[i][0] = p[i].y();
        in[i][1] = 0.0;
    }
    for (int i = used; i < m_n; ++i) {
        in[i][0] = 0.0;
        in[i][1] = 0.0;
    }
    fftw_execute(static_cast<fftw_plan>(m_fwdPlan));
}

const double *FourierTransform::magnitudes() {
    if (m_n == 0)
        return nullptr;
    const auto *out = static_cast<const fftw_complex *>(m_fwdOut);
    for (int k = 0; k < m_n; ++k)
        m_magnitude[k] = std::sqrt(out[k][0] * out[k][0] + out[k][1] * out[k][1]);
    return m_magnitude;
}

void FourierTransform::release() {
    if (m_fwdPlan) {
        QMutexLocker lock(&fftwPlannerMutex());
        fftw_destroy_plan(static_cast<fftw_plan>(m_fwdPlan));
    }
    fftw_free(m_fwdIn);
    fftw_free(m_fwdOut);
    delete[] m_magnitude;
    m_fwdPlan = nullptr;
    m_fwdIn = nullptr;
    m_fwdOut = nullptr;
    m_magnitude = nullptr;
    m_n = 0;
}
