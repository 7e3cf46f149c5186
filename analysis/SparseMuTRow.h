#pragma once
// mu*t of a row of bins at some of the spectrum's points only. A run whose
// analysis reads mu at a few energies (the element maps read it around each
// edge and over each ROI) need not take the logarithm of every image, nor
// read the image rows it never looks at.
#include "measurement/MeasurementStack.h"

#include <vector>

// The points of every bin's spectrum: the I1 images whose energy I0 covers,
// in image order, as MeasurementStack::muTOfRowBin lists them.
struct MuTPoints {
    std::vector<int> images; // I1 image of each point
    std::vector<double> energies;
    bool ascending = false; // energies rise strictly
    void take(const MeasurementStack &stack, const MuTConditions &c);
    int count() const { return int(energies.size()); }
};

class SparseMuTRow {
public:
    // mu*t of the `count` bins centred at (firstX + b * stepX, y) at the
    // points whose `wanted` flag is set, with the operations of
    // MeasurementStack::computeMuTRow in its order: the same bits. The other
    // points keep whatever an earlier row left.
    void read(const MeasurementStack &stack, const MuTPoints &points, const char *wanted, int y,
              int firstX, int stepX, int count, const MuTConditions &c);
    bool inside(int b) const { return m_inside[size_t(b)] != 0; }
    // mu*t of bin b at point i is binMu(b)[i * stride()].
    const double *binMu(int b) const { return m_mu.data() + b; }
    int stride() const { return m_stride; }

private:
    void sums(const TiffData &image, int y, int firstX, int stepX, const MuTConditions &c,
              std::vector<double> &out) const;
    void beam(const MuTConditions &c, int i0Count, double total, bool useTotal, double pixels,
              double area0, double fromLower, double pairWidth, bool samePair);

    int m_count = 0;
    int m_stride = 0;
    std::vector<double> m_mu; // [point * stride + bin]
    std::vector<double> m_dark1, m_dark0;
    std::vector<double> m_span1, m_spanA, m_spanB;
    std::vector<double> m_beam, m_signal; // of one point: I0 - dark, I1 - dark
    std::vector<char> m_inside;
};
