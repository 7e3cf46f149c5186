#pragma once
// The bin task every spectrum-based map run builds on: it reads the mu*t of a
// whole row of bins at once (in the order the images lie in memory) and then
// builds each bin's spectrum from it, exactly as bin by bin
// (measurement/BinSpectrum.h): shift map, registration shifts, dark, I0,
// background form and element suggestion (fixed edge included) all apply.
#include "analysis/MapRun.h"
#include "measurement/BinSpectrum.h"

#include <QString>

inline BinSpectrumSettings binSpectrumSettings(const MuTConditions &c, const ShiftMapView &map,
                                               bool simple, const SuggestElm &sElm) {
    BinSpectrumSettings b;
    b.conditions = c;
    b.shiftMap = map;
    b.simpleBackground = simple;
    b.suggestion = sElm;
    return b;
}

class RowSpectrumTask : public BinTask {
public:
    RowSpectrumTask(const MeasurementStack *stack, const BinSpectrumSettings &bin,
                    const QString &name)
        : m_stack(stack), m_bin(bin), m_name(name) {}
    void beginRow(int cy, int firstCx, int sx, int count) override {
        m_firstCx = firstCx;
        m_sx = sx > 0 ? sx : 1;
        m_stack->computeMuTRow(cy, firstCx, m_sx, count, m_bin.conditions, m_row);
    }

protected:
    // The spectrum of the bin at (cx, cy) of the current row, in m_sample.
    void buildSample(int cx, int cy) {
        m_stack->muTOfRowBin(m_row, (cx - m_firstCx) / m_sx, m_mut);
        buildBinSpectrumFromMuT(*m_stack, cx, cy, m_bin, m_name, m_mut, m_sample);
    }
    // The column of the bin at cx within the current row.
    int columnOf(int cx) const { return (cx - m_firstCx) / m_sx; }
    XafsSpectrum m_sample;

private:
    const MeasurementStack *m_stack;
    const BinSpectrumSettings m_bin;
    const QString m_name;
    MuTRow m_row;
    int m_firstCx = 0;
    int m_sx = 1;
    Spectrum m_mut;
};
