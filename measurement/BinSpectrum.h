#pragma once
// The XAFS spectrum of one bin, built the one way the program builds it: the
// energy shift read from the shift map, mu*t over all energies with the bin
// half sizes, then an XafsSpectrum with the background form, the shift and the
// element suggestion, normalised. The main window, the map runs and the
// command-line tool all go through here, so they agree to the bit.
#include "measurement/MeasurementStack.h"
#include "spectrum/XafsSpectrum.h"

#include <QRect>
#include <QString>

struct BinSpectrumSettings {
    MuTConditions conditions;
    ShiftMapView shiftMap;
    bool simpleBackground = true; // straight background lines, else Victoreen
    SuggestElm suggestion;
};

// Builds the spectrum of the bin centred at (x, y) into out, with mut as
// scratch (both keep their storage between calls). Reads the stack only: its
// dark areas must be up to date. Returns the energy shift used.
double buildBinSpectrum(const MeasurementStack &stack, int x, int y, const BinSpectrumSettings &s,
                        const QString &name, Spectrum &mut, XafsSpectrum &out);

// The same from mu*t already read (MeasurementStack::computeMuTRow), for runs.
double buildBinSpectrumFromMuT(const MeasurementStack &stack, int x, int y,
                               const BinSpectrumSettings &s, const QString &name,
                               const Spectrum &mut, XafsSpectrum &out);

// "" when the suggestion asks for no fixed edge or its energy lies within the
// energies of the I1 images; otherwise why a fixed-edge normalisation is
// refused there: the background windows would have no data on one side.
QString fixedEdgeProblem(const MeasurementStack &stack, const SuggestElm &s);

// The edge energy for a fixed-edge normalisation taken from the data: the
// midpoint energy (midx) of the area's summed spectrum, i.e. one bin covering
// the area (clipped to the image), normalised with the edge search of
// s.suggestion (its fixed edge ignored). Dark areas must be up to date. False
// when the area holds no pixel of the image or the spectrum shows no edge.
bool areaEdgeEnergy(const MeasurementStack &stack, const BinSpectrumSettings &s, const QRect &area,
                    double *e0);
