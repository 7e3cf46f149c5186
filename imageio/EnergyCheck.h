#pragma once
// Checks of the energies a series of images gets, so that a wrong pattern,
// factor or unit shows before a spectrum is built from it. A transmission or
// fluorescence image series of one absorption edge climbs through a few
// hundred eV to a few keV somewhere between the softest edges (about 100 eV)
// and the hardest beamline energies (200 keV); a series outside that band,
// one that does not climb, or one that visits an energy twice was given the
// wrong energies. The checks name the first file at fault and count the rest,
// so that a 500-file series still gives a few readable lines.
#include "imageio/EnergyOfFiles.h"

#include <QString>
#include <QStringList>
#include <QVector>

class EnergyCheck {
public:
    static constexpr double MinEv = 100;
    static constexpr double MaxEv = 200000;
    // Plain numbers (no unit in the pattern) in this band read like keV.
    static constexpr double KeVLow = 0.1;
    static constexpr double KeVHigh = 200;
    static constexpr double KeVFactor = 1000;

    struct Row {
        int index = 0; // position in the series
        QString file;  // file name without its folder
        double energyEv = 0;
    };

    struct Preview {
        int count = 0;
        QVector<Row> rows; // the first, a few in between and the last file
        double minEv = 0;
        double maxEv = 0;
        // Steps between neighbours: the mean over the series, the smallest
        // and the largest (all 0 with fewer than two files).
        double meanStepEv = 0;
        double minStepEv = 0;
        double maxStepEv = 0;
        QStringList warnings;
    };

    // The energy of each file under s. fileNos gives each file's position in
    // the selected list (the number calculation and unmatched names use);
    // when empty, a file's position in files is taken.
    static QVector<double> energiesOf(const EofSettings &s, const QStringList &files,
                                      const QVector<int> &fileNos = {});

    // What the energy setup shows for a series: count, range, step, the
    // first, middleRows evenly spread and the last file, and the warnings.
    static Preview preview(const QStringList &files, const QVector<double> &energiesEv,
                           int middleRows = 3);
    // The preview as lines of text: count and range, the step, then
    // "index  name  energy" per row.
    static QString previewText(const Preview &p);

    // At most one line per fault, each naming the first file at fault and
    // how many more there are: energies outside MinEv..MaxEv (or not finite),
    // a series that does not ascend, energies given to two files. Empty for a
    // series that passes. The main window posts these when a load ends.
    static QStringList seriesWarnings(const QStringList &files, const QVector<double> &energiesEv);

    // True when the pattern names its unit ("eV" or "keV" in any case).
    static bool patternNamesUnit(const QString &pattern);

    // The number read from the names looks like keV: name mode, a pattern
    // without unit, no factor (1, or none), every energy between KeVLow and
    // KeVHigh, and the series times 1000 passes the checks and spans less than
    // its start energy (as a scan around one edge does; a row of file numbers
    // mistaken for energies does not).
    static bool offersKeVFactor(const EofSettings &s, const QVector<double> &energiesEv);
    static QString keVFactorOffer(const QVector<double> &energiesEv);

    // The first preset pattern that every file matches and that gives a
    // series passing the checks with its own factor, those naming their unit
    // first; empty when none does.
    static QString suggestedPattern(const QStringList &files, const QVector<int> &fileNos = {});
    static QString patternOffer(const QString &pattern, const QStringList &files,
                                const QVector<int> &fileNos = {});

    // Why the pattern is no regular expression; empty when it is one.
    static QString patternError(const QString &pattern);

    // An energy in eV with 6 significant digits: "7030 eV", "0.703 eV".
    static QString evText(double eV);
};
