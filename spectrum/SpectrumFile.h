#pragma once
// The spectrum files: the 9809 beamline format (monochromator angle and
// ion-chamber counts), plain two-column text, and the program's own spectrum
// file "###Lumenstack::XafsSpectrum".
#include <QString>

class Spectrum;
class XafsSpectrum;

class SpectrumFile {
public:
    // Default crystal lattice spacing D of the 9809 format, Si(111), in Å.
    static constexpr double defaultLatticeSpacing = 3.13553;

    // True when the first line, whitespace collapsed, begins with "9809".
    // A file that cannot be opened is not 9809.
    static bool is9809(const QString &fileName);
    // Photon energy (eV) of Bragg angle theta (degrees) for lattice spacing D (Å).
    static double braggEnergy(double thetaDeg, double D);

    // Reads a 9809-format or two-column file (decided by the first line) into
    // spectrum, and whether it was plain text; true when the file could be
    // opened. Does not normalise.
    static bool read(const QString &fileName, XafsSpectrum &spectrum);
    static bool read9809(const QString &fileName, XafsSpectrum &spectrum);
    static bool readTwoColumns(const QString &fileName, Spectrum &spectrum);
    // Writes the spectrum file "###Lumenstack::XafsSpectrum"; false when it
    // cannot be written. Energies minus eShiftValue when subtractEShift.
    static bool write(const QString &fileName, const XafsSpectrum &spectrum, bool subtractEShift);
};
