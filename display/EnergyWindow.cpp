#include "display/EnergyWindow.h"

void EnergyWindow::followRange(double lo, double hi) {
    if (!follow)
        return;
    xMinShown = xMinReset = lo;
    xMaxShown = xMaxReset = hi;
}

void EnergyWindow::reset() {
    xMinShown = xMinReset;
    xMaxShown = xMaxReset;
}

void EnergyWindow::zoomAbout(double a, double f) {
    xMinShown = (xMinShown - a) * f + a;
    xMaxShown = (xMaxShown - a) * f + a;
}

void EnergyWindow::pan(double dE) {
    xMinShown += dE;
    xMaxShown += dE;
}
