#pragma once
// Magnitudes of the discrete Fourier transform of a spectrum's values over the
// point index (no k-space, no window, no normalisation). The plan and buffers
// are made once per length and reused.
#include <QtGlobal>

class QMutex;
class Spectrum;

// FFTW's planner is not thread-safe: every plan made or destroyed anywhere in
// the program holds this lock.
QMutex &fftwPlannerMutex();

class FourierTransform {
public:
    FourierTransform() = default;
    ~FourierTransform();
    FourierTransform(const FourierTransform &) = delete;
    FourierTransform &operator=(const FourierTransform &) = delete;

    // Nothing when n equals the current length; otherwise reallocates and
    // plans for length n (n <= 0 releases).
    void setSize(int n);
    int size() const { return m_n; }
    // Forward transform of the spectrum's y values, zero padded to the length;
    // points beyond the length are ignored. Nothing without buffers.
    void transform(const Spectrum &spectrum);
    // |X_k| for k = 0..n-1 of the last transform, or nullptr without buffers.
    const double *magnitudes();
    void release();

private:
    int m_n = 0;
    void *m_fwdIn = nullptr;  // fftw_complex[n]
    void *m_fwdOut = nullptr; // fftw_complex[n]
    double *m_magnitude = nullptr;
    void *m_fwdPlan = nullptr; // fftw_plan
};
