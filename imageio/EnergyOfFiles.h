#pragma once
// Energy assignment of the image files of a series: each file's X-ray energy
// (eV) comes from a number embedded in its path, from its position in the
// selected list (even steps in energy or in monochromator angle), or from a
// reference spectrum file listing the monochromator angles.
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

// Everything the calculation needs, read from the energy-of-files panel.
struct EofSettings {
    enum class Mode { FromFileName, FromFileNum, FromRefFile };
    // Index order of the display-unit list.
    enum class Unit { EV = 0, KEV = 1, Deg = 2 };

    Mode mode = Mode::FromFileName;
    QString pattern = QStringLiteral("(\\d|)\\d\\d\\d\\d_\\d\\d\\d\\d");
    double factor = 1;
    Unit unit = Unit::EV;
    bool evenInAngle = true;
    double start = 8000; // in the display unit
    double delta = 1;
    double end = 9000;
    int numOfPoints = 1000;
    QVector<double> refEnergies; // eV, in file order
};

class EnergyOfFiles {
public:
    // Photon energy times wavelength, in eV·Å (lambda = hc / E).
    static constexpr double HcEvAngstrom = 12398.424360387684;
    // Lattice spacing of the Si(111) monochromator crystal, in Å.
    static constexpr double SiLatticeD = 3.13553;
    // The degree conversion uses this ten-decimal pi so that angles and
    // energies agree with those written by the beamline software.
    static constexpr double Pi = 3.1415926535;
    // Energy of file i in reference mode before any reference file is read.
    static constexpr double NoRefBaseEnergy = 8000;

    // Energy in eV of the file at position fileNo of the selected list.
    static double energyOfFile(const EofSettings &s, const QString &path, int fileNo);

    static double energyFromName(const QString &pattern, double factor, const QString &path,
                                 int fileNo);
    // The same with the pattern compiled once, for whole series; *matched
    // (when given) tells whether the pattern was found in the path.
    static double energyFromName(const QRegularExpression &pattern, double factor,
                                 const QString &path, int fileNo, bool *matched = nullptr);
    static double energyByCalc(const EofSettings &s, int fileNo);
    static double energyFromRef(const QVector<double> &refEnergies, int fileNo);

    // Bragg angle (degrees) for an energy in eV; -1 when no angle reflects it.
    static double angleOfEnergy(double eV);
    // Energy (eV) reflected at a Bragg angle in degrees.
    static double energyOfAngle(double degrees);

    // 1000 for patterns of numbers in keV (containing "KEV" in any case), else 1.
    static double factorForPattern(const QString &pattern);
    static const QStringList &presetPatterns();

    // End of an even series: start + n * delta.
    static double endOf(double start, double delta, int n);
    // Delta of an even series, (end - start) / n; false (and *delta untouched)
    // when n is 0.
    static bool deltaOf(double start, double end, int n, double *delta);

    // Reads the monochromator angles of a reference spectrum file into energies
    // (eV, file order). Lines that give no finite energy are skipped. False when
    // the file cannot be opened; *energies is then left as it was.
    static bool readRefFile(const QString &path, QVector<double> *energies);
};
