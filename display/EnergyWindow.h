#pragma once
// The energy range a spectrum plot shows, and the range its reset restores.
//
// While following, every new target spectrum sets both ranges to its own
// energy span; the wheel zooms about the energy under the mouse and a drag
// pans, both changing only the shown range.

class EnergyWindow {
public:
    double xMinShown = 0;
    double xMaxShown = 1;
    double xMinReset = 0;
    double xMaxReset = 1;
    bool follow = true;

    // When following, the shown and reset ranges both become [lo, hi].
    void followRange(double lo, double hi);
    // The shown range returns to the reset range.
    void reset();
    // Scales the shown range by f about energy a: a stays where it is on screen.
    void zoomAbout(double a, double f);
    // Moves the shown range by dE.
    void pan(double dE);
};
