#pragma once
// FFT phase correlation of two images of one size, refined to a fraction of a
// pixel.
//
// Each image is read without its registration shift, its mean taken out and
// a Hann window applied, so the cut borders of the frame (which the FFT sees
// as periodic) do not correlate with themselves at shift 0. The cross-power
// spectrum R conj(S) is normalised to unit magnitude (phase correlation):
// across an absorption edge the contrast of each compound changes, but the
// positions of its borders, which live in the phase, do not. Its inverse
// transform peaks at the shift; the integer peak is refined by evaluating the
// inverse DFT on a grid of 1/upsample pixel around it, as a matrix product
// with the spectrum (the upsampled DFT of Guizar-Sicairos, Thurman and
// Fienup, Opt. Lett. 33, 156 (2008)), so no zero-padded transform is needed.
//
// For series whose contrast reverses across the edge, the images can be
// replaced by their gradient magnitudes, which keep the borders whatever the
// sign of the step across them.
//
// Shift convention: a shift (dx, dy) moves an image so that its pixel
// (x - dx, y - dy) lands on (x, y), as a TiffData registration shift.
#include <vector>

class TiffData;

struct PhaseOptions {
    bool gradient = false; // correlate gradient magnitudes instead of the images
    int upsample = 1;      // precision 1/upsample pixel; 1: whole pixels
    int maxShift = -1;     // >= 0: the peak is looked for within +-maxShift only
    // The correlation is smoothed by a Gaussian of this many pixels (applied
    // to the normalised spectrum): the high frequencies, where the noise of
    // a dim image above the edge outweighs the sample, count less.
    double smoothing = 1.0;
};

struct PhaseMatch {
    double dx = 0;
    double dy = 0;
    // The correlation peak over its value for identical images: about 1 for
    // a clean match, near 0 when nothing matches.
    double score = 0;
};

// Plans and buffers are made once per size and reused, so correlating a
// series allocates nothing per image. FFTW planning is serialised with the
// other transforms of the program; one correlator per thread.
class PhaseCorrelator {
public:
    explicit PhaseCorrelator(const PhaseOptions &options = PhaseOptions());
    ~PhaseCorrelator();
    PhaseCorrelator(const PhaseCorrelator &) = delete;
    PhaseCorrelator &operator=(const PhaseCorrelator &) = delete;

    void setOptions(const PhaseOptions &options);
    const PhaseOptions &options() const { return m_options; }

    // Takes the reference: its transform is kept for every later image.
    // False for an empty image.
    bool setReference(const TiffData &reference);
    bool hasReference() const { return m_hasRef; }
    // The shift that lays the image over the reference. False when the sizes
    // differ or no reference was set.
    bool correlate(const TiffData &image, PhaseMatch *match);
    int width() const { return m_w; }
    int height() const { return m_h; }

private:
    bool setSize(int w, int h);
    void release();
    void load(const TiffData &image);
    void toGradient();
    void makeSmoothing();
    void crossPowerSpectrum();
    double integerPeak(int *px, int *py) const;
    double refine(int px, int py, double *dx, double *dy);

    PhaseOptions m_options;
    int m_w = 0;
    int m_h = 0;
    int m_wc = 0; // complex columns of the half spectrum: w/2 + 1
    bool m_hasRef = false;
    double *m_real = nullptr;  // w * h real samples
    double *m_spec = nullptr;  // h * wc complex (re, im): the image's transform
    double *m_ref = nullptr;   // the reference's transform
    double *m_cross = nullptr; // the normalised cross-power spectrum
    void *m_forward = nullptr;
    void *m_inverse = nullptr;
    std::vector<double> m_winX;
    std::vector<double> m_winY;
    std::vector<double> m_lowX;    // the smoothing of column frequency v (wc)
    std::vector<double> m_lowY;    // of row frequency u (h)
    double m_lowSigma = -1;        // the smoothing m_lowX, m_lowY were made for
    double m_lowSum = 1;           // their sum over the whole spectrum
    std::vector<double> m_scratch; // gradient rows; upsampled-DFT kernels and sums
    std::vector<double> m_row;     // one row of the upsampled peak
};
