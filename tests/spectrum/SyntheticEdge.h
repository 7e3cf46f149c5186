#pragma once
// Realistic synthetic absorption edges for the spectrum tests: an arctangent
// step, a white line just above it and a Victoreen-shaped background.
#include "spectrum/PhysicalConstants.h"
#include "spectrum/Spectrum.h"

#include <cmath>

struct SyntheticEdge {
    double from = 8784; // eV
    double to = 9384;   // eV
    int points = 200;
    double edge = 8984;                       // eV, the inflection of the step
    double width = 1.5;                       // eV, arctangent width
    double jump = 1.0;                        // edge jump in mu*t
    double whiteLine = 0.4;                   // height of the Gaussian white line
    double c0 = 0.2, vicC = 0.6, vicD = -0.1; // background
    double noise = 0.0;                       // amplitude of a deterministic pseudo-noise

    double background(double e) const {
        const double l = PhysicalConstants::wavelength(e);
        return c0 + vicC * l * l * l + vicD * l * l * l * l;
    }
    double value(double e, int i) const {
        const double step = jump * (0.5 + std::atan((e - edge) / width) / M_PI);
        const double wl = whiteLine * std::exp(-std::pow(e - edge - 5, 2) / (2 * 3 * 3));
        const double n = noise * std::sin(i * 12.9898) * 0.5;
        return background(e) + step + wl + n;
    }
    Spectrum spectrum() const {
        Spectrum s;
        for (int i = 0; i < points; ++i) {
            const double e = from + (to - from) * i / (points - 1);
            s.addPoint(e, value(e, i));
        }
        return s;
    }
};
