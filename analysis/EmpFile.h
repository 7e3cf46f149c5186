#pragma once
// The energy-shift-map file ".emp". The map is stored as monochromator angle
// differences rather than energies: a value v (eV) at a pixel is written as
// theta(E_std - v) - theta(E_std), theta being the Bragg angle in degrees of
// the crystal spacing d. Reading turns the angles back into energies at the
// edge energy in use then, so a map measured at one edge can be applied at
// another with the same monochromator.
//
//   ###Lumenstack::LMSK                      (older files: ###LMSK)
//   key : value lines (standard energy, spacing, offsets, sizes, bin, area)
//   ##-----------------
//   Height rows of Width numbers (degrees), whitespace separated
#include "analysis/AnalyzeCond.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

class Analyzed2DRes;

struct EMPHeader {
    bool valid = false;
    int xOffset = 0, yOffset = 0;
    int width = 0, height = 0;
    int halfWidth = 0, halfHeight = 0;
    int areaX0 = 0, areaX1 = 0, areaY0 = 0, areaY1 = 0;
    double stdEdgeEnergy = 0; // eV
    double spacing = 0;       // crystal spacing, in the unit of hc (Angstrom)
};
Q_DECLARE_METATYPE(EMPHeader)

namespace Bragg {
// Bragg angle in degrees of energy E (eV) for spacing d; -1 when the sine
// argument hc / E / (2 d) exceeds 1 in magnitude (no reflection there).
double angleDeg(double energyEV, double spacing);
// Photon energy of the angle (degrees) for spacing d: hc / (2 d sin(theta)).
double energyAt(double angleDeg, double spacing);
} // namespace Bragg

// The monochromator crystals offered for the conversion: name and spacing.
struct Crystal {
    const char *name;
    double spacing;
};
int crystalCount();
const Crystal &crystal(int i);
// Spacing of the crystal named (exact), 0 when unknown.
double crystalSpacing(const QString &name);

namespace EmpFile {

// What the writer puts into the header besides the map.
struct WriteInfo {
    double stdEdgeEnergy = 0;
    double spacing = 0;
    int xOffset = 0, yOffset = 0;
    AnalyzeCond walk;    // bin and area lines
    QString stdFileName; // the standard's file, for the record
    int dataWidth = 0;   // data grid written (the image size), also the
    int dataHeight = 0;  // header's Width and Height
};

// The name with the suffix "emp" added when it has none.
QString withSuffix(const QString &fileName);

// Writes the file (atomically). False on failure, logged "Can not open".
bool write(const QString &fileName, const Analyzed2DRes &map, const WriteInfo &info);

// Header of the text, and the offset of the first data byte after the
// separator line (the size of the text when there is none).
EMPHeader parseHeader(const QByteArray &text, int *dataStart = nullptr);

// A header text (as parseHeader reads it) with its area lines set to the
// area of walk; every other line as it was.
QByteArray headerWithArea(const QByteArray &header, const AnalyzeCond &walk);

enum class LoadStatus {
    Loaded,
    CannotOpen,    // "Can not open"
    InvalidHeader, // "Invalid Energy Map Data File : "
    SizeMismatch,  // CheckSize and a map of another size than the images
    Unreasonable,  // sizes the file cannot hold, or absurd geometry
    NoBraggAngle,  // the edge energy has no Bragg angle for the spacing
    BadData,       // a data item that is not a number
};

struct LoadOptions {
    double edgeEnergy = 0;  // EdgeEeV; the header's energy when not positive
    bool checkSize = false; // refuse maps of another size than the images
    bool imagesLoaded = false;
    int imageWidth = 0, imageHeight = 0;
};

struct LoadResult {
    LoadStatus status = LoadStatus::CannotOpen;
    EMPHeader header;
    int missingValues = 0; // data items the file ran out of (read as 0)
    bool ok() const { return status == LoadStatus::Loaded; }
};

// Reads the file into map (prepared with the header's geometry, one energy
// shift per pixel, marked filled). The map is touched only on success.
// Every failure writes its debug-log message.
LoadResult load(const QString &fileName, Analyzed2DRes &map, const LoadOptions &options);

} // namespace EmpFile
