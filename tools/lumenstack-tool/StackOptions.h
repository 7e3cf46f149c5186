#pragma once
// The stack options every map subcommand shares, their parsing, and the
// loading of the measurement they describe:
//
//   --i1 DIR                 every image file of the folder, in name order
//   --i0 DIR                 optional incident-beam series
//   --energies FILE          one energy (eV) per line, in file order, both
//                            series: finite, rising, one per file
//   --energy-pattern PATTERN energy from the file names (default)
//   --h5 FILE --layout L     instead of --i1/--i0/--energies: the stack in one
//                            HDF5 file, described by a layout file or the name
//                            of a shipped layout (generic, facility, nexus)
//   --dark FILE              dark frame (overrides a layout's dark)
//   --shifts FILE            registration shifts of the I1 images, one line
//                            "index dx dy [score]" each (as align writes them)
//   --bin HX HY              bin half sizes (default 0 0)
//   --area X Y W H           analysed area (default the whole image), cut to
//                            the image; bins must fit the image
//   --fluorescence           mu = I1 / I0 instead of ln(I0 / I1)
//   --victoreen              Victoreen background for the bin spectra
//   --suggest SYMBOL EDGE, --dpre E, --dpost E, --jump-sigma S
//                            the element suggestion of the normalisation
//   --shift-map FILE.emp     energy shifts of a saved calibration on the bins
//   --shift-edge E           edge energy the map's angles are read at (default
//                            the file's standard energy), as EdgeEeV does
//
// A subcommand offers each argument to takeStackOption first and handles the
// rest itself. Options that place an energy-shift map on the bins fill
// LoadedStack::shiftValues / shiftMap.
#include "analysis/AnalyzeCond.h"
#include "imageio/TiffData.h" // MeasurementStack owns its images
#include "measurement/BinSpectrum.h"
#include "measurement/MeasurementStack.h"

#include <QString>
#include <QStringList>
#include <vector>

struct StackOptions {
    QString i1Dir;
    QString i0Dir;
    QString energiesFile;
    QString energyPattern = QStringLiteral("(\\d|)\\d\\d\\d\\d_\\d\\d\\d\\d");
    QString darkFile;
    QString h5File;
    QString layoutFile;
    QString shiftsFile;
    int decodeThreads = 0; // threads decoding an HDF5 stack; 0: every core
    int hx = 0, hy = 0;
    bool hasArea = false;
    double areaX = 0, areaY = 0, areaW = 0, areaH = 0;
    bool fluorescence = false;
    bool victoreen = false;
    bool suggest = false;
    QString suggestSymbol = QStringLiteral("Cu");
    int suggestEdge = 0; // K, L1, L2, L3
    QString dPre = QStringLiteral("-20");
    QString dPost = QStringLiteral("20");
    QString jumpSigma = QStringLiteral("1.0");
    QString shiftMapFile;
    double shiftEdge = 0;
};

enum class OptionTaken { No, Yes, Error };

// The highest energy an option takes (eV), far above every absorption edge.
constexpr double MaxEnergy = 1e6;

// Consumes args[i] (and its values, advancing i) when it is a stack option.
// Error: *why says what is wrong with it.
OptionTaken takeStackOption(const QStringList &args, int &i, StackOptions &o, QString *why);

// What remains to check once all arguments are read ("" when sound).
QString checkStackOptions(const StackOptions &o);

// The usage lines of the stack options, for a subcommand's usage text.
const char *stackOptionsUsage();

struct LoadedStack {
    MeasurementStack stack;
    BinSpectrumSettings bin; // conditions, shift map, background, suggestion
    AnalyzeCond grid;
    // Storage of the energy-shift map in bin.shiftMap (empty: no shift).
    std::vector<double> shiftValues;
};

// Reads the series, energies and dark frame, sets up the conditions and the
// grid. False when an input cannot be read: *file names it, *why says why;
// or when the options do not fit the images (placeGrid): *file is empty.
// With --area only the rows the area's bins read are loaded from each image
// (rowsNeeded, moved by the image's registration shift), so a tile of a scan
// larger than memory fits; the dark frame is read whole.
bool loadStack(const StackOptions &o, LoadedStack &out, QString *file, QString *why);

// The grid of a run over a w x h image: the area {x, y, width, height} in
// whole pixels cut to the image; otherwise *why says what does not fit.
enum class GridFit { Fits, BinTooLarge, AreaOutside };
GridFit gridOnImage(int w, int h, int hx, int hy, const double area[4], AnalyzeCond *grid,
                    QString *why);

// gridOnImage for the loaded images and the options (--area, else the whole
// image): "" when sound, else why not, naming the option.
QString placeGrid(const StackOptions &o, LoadedStack &out);

// The message for a failed loadStack; the exit status: 1 when a file cannot
// be read, 2 when the options do not fit the images.
int loadFailure(const char *command, const QString &file, const QString &why);

// The image rows [first, end) the bins of the area read (every row without
// --area), with one row of margin on each side for the error-point repair,
// which takes the neighbours of a bad pixel. An image registered with a
// shift dy reads these rows at stored rows moved by -dy (rowsOfImage). A
// reader that reads bands (TIFF strips, HDF5 row hyperslabs) stores only
// these; see TiffData::load(file, mask, rows) and TiffData::assignRows.
TiffData::RowRange rowsNeeded(const StackOptions &o);
TiffData::RowRange rowsOfImage(const TiffData::RowRange &rows, double dy);

// What --threads takes, said when its value is not that.
inline QString threadsUsage() {
    return QStringLiteral("--threads takes a whole number from 1 to 1024");
}

// Parses a number argument ("" when sound).
bool parseNumber(const QString &text, double *v);
