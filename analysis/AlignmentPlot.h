#pragma once
// What the alignment plot of the image processor shows, computed apart from
// the drawing: dx and dy of every image against its energy, the score of its
// correlation on an axis of its own (0 .. 1), and the suspect images.
//
// The x axis is the energy when the energies rise through the series; a
// series without energies (all 0, or out of order) is plotted against the
// image number instead. The shift axis spans the shifts with a margin and at
// least +-1 pixel, so a series that hardly drifted does not look wild.
#include "analysis/ImageRegistration.h"

#include <QVector>

struct AlignmentPlot {
    QVector<double> x;
    QVector<double> dx;
    QVector<double> dy;
    QVector<double> score;
    QVector<bool> suspect;
    bool byEnergy = false;
    double xMin = 0, xMax = 1;
    double shiftMin = -1, shiftMax = 1;

    bool isEmpty() const { return x.isEmpty(); }
    // energies[i] of image i (missing ones count as 0); suspects as
    // SeriesAlignment::suspects gives them.
    static AlignmentPlot of(const QVector<double> &energies,
                            const QVector<Registration::ShiftEntry> &shifts,
                            const QVector<int> &suspects);
    // The image whose point lies nearest to `at` along x; -1 when empty.
    int nearestImage(double at) const;
};
