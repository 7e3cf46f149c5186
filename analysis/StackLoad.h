#pragma once
// A measurement loaded from files the way every map of the command-line tool
// and the Python module reads it: the I1 series (a folder of images in name
// order, or the images of an HDF5 stack), the optional I0 series and dark
// frame, the energies (from the names, a file, or the stack file), the
// registration shifts of the I1 images, an energy-shift map, and the
// conditions of the bin spectra (bin half sizes, fluorescence, background
// form, element suggestion) with the grid of the analysed area.
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
    int decodeThreads = 0; // threads decoding the images (TIFF series, HDF5); 0: every core
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

// The highest energy an option takes (eV), far above every absorption edge.
constexpr double MaxEnergy = 1e6;

// Parses a number argument; false (v untouched) when it is none.
bool parseNumber(const QString &text, double *v);

// The edge of an element suggestion by name: K, L1, L2, L3 -> 0..3, else -1.
int suggestEdgeIndex(const QString &name);
// What is said of an edge name it does not know.
QString suggestEdgeUsage();

// What is wrong with one value of the options ("" when sound); the messages
// name the command-line option.
QString energyPatternProblem(const QString &pattern);
QString areaProblem(double x, double y, double w, double h);
QString shiftEdgeProblem(double eV);

// What remains to check once all options are set ("" when sound): the inputs
// that go together or exclude each other, and a known suggested element.
QString checkStackOptions(const StackOptions &o);

struct LoadedStack {
    MeasurementStack stack;
    BinSpectrumSettings bin; // conditions, shift map, background, suggestion
    AnalyzeCond grid;
    // Storage of the energy-shift map in bin.shiftMap (empty: no shift).
    std::vector<double> shiftValues;
    // What loaded but deserves a word (images of mixed sizes).
    QStringList warnings;
    // Wall time loadMeasurement took.
    double loadSeconds = 0;
};

// Reads the series, energies and dark frame, sets up the conditions and the
// grid. False when an input cannot be read: *file names it, *why says why;
// or when the options do not fit the images (placeGrid): *file is empty.
// With an area only the rows the area's bins read are loaded from each image
// (rowsNeeded, moved by the image's registration shift), so a tile of a scan
// larger than memory fits; the dark frame is read whole.
bool loadMeasurement(const StackOptions &o, LoadedStack &out, QString *file, QString *why);

// The grid of a run over a w x h image: the area {x, y, width, height} in
// whole pixels cut to the image; otherwise *why says what does not fit.
enum class GridFit { Fits, BinTooLarge, AreaOutside };
GridFit gridOnImage(int w, int h, int hx, int hy, const double area[4], AnalyzeCond *grid,
                    QString *why);

// gridOnImage for the loaded images and the options (the area, else the whole
// image): "" when sound, else why not, naming the option.
QString placeGrid(const StackOptions &o, LoadedStack &out);

// The image rows [first, end) the bins of the area read (every row without
// an area), with one row of margin on each side for the error-point repair,
// which takes the neighbours of a bad pixel. An image registered with a
// shift dy reads these rows at stored rows moved by -dy (rowsOfImage). A
// reader that reads bands (TIFF strips, HDF5 row hyperslabs) stores only
// these; see TiffData::load(file, mask, rows) and TiffData::assignRows.
TiffData::RowRange rowsNeeded(const StackOptions &o);
TiffData::RowRange rowsOfImage(const TiffData::RowRange &rows, double dy);
