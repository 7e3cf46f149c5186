#pragma once
// Writing results out: a result map as a 16-bit TIFF, and the spectra of
// every bin of an area as one text file ("spectrum set"), one line per bin in
// walk order. Everything is written through QSaveFile, so a failed write
// leaves any older file untouched.
#include "analysis/AnalyzeCond.h"
#include "measurement/BinSpectrum.h"
#include "measurement/MeasurementStack.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

class Analyzed2DRes;

struct MapTiffOptions {
    bool fixedScale = false; // scale over [scaleMin, scaleMax] instead of the map's range
    double scaleMin = 0;
    double scaleMax = 10;
    bool asAnalyzed = false; // one sample per analysed bin instead of the full map
};

// The map converted to 16 bits and written as an uncompressed TIFF. Its
// ImageDescription records the scale ("scale=LO HI": sample s stands for
// LO + s / 65535 (HI - LO)) so the values can be recovered; cells no bin was
// analysed in are written as 0 ("unanalysed=0"). False (nothing written)
// when the map has no grids or the file cannot be written.
bool writeMapTiff(Analyzed2DRes &map, const QString &path, const MapTiffOptions &options);

// The map's values (its processed values when it shows those) as a 32-bit
// float TIFF, the form the command-line runs write, with NaN in the cells no
// bin was analysed in. Its ImageDescription holds the line of mapDescription
// and, when provenance is given, on the next line the map's sidecar JSON
// (mapSidecarJson, one line), so the file says what it was made from even
// when it travels without its FILE.json.
bool writeMapFloatTiff(const Analyzed2DRes &map, const QString &path,
                       const QJsonObject &provenance = QJsonObject());

// What is said beside an export: the members of provenance (what the map was
// made from, analysis/Provenance.h) with the file's name, the map's name, its
// units, the columns (none for a picture or TIFF) and the bin, origin and
// size, so the numbers can be read without the window.
QJsonObject mapSidecarJson(const Analyzed2DRes &map, const QString &dataPath,
                           const QStringList &columns, const QJsonObject &provenance);

// mapSidecarJson written as "<file>.json" (writeSidecar).
bool writeMapSidecar(const Analyzed2DRes &map, const QString &dataPath, const QStringList &columns,
                     const QJsonObject &provenance = QJsonObject());

// The units of a map, by its name ("" when the map has none of its own).
QString mapUnits(const QString &mapName);

// Plain words for the internal names of the panel's maps ("a2d Zansa" is
// "Residual"); other names as they are.
QString plainMapTitle(const QString &mapName);

// "Lumenstack map; name=...; units=...; bin=HX HY; origin=X0 Y0; size=W H".
QString mapDescription(const Analyzed2DRes &map);

// The name a numbered data file is saved under: "base-n.suffix" in the folder
// of name (the name's own suffix is replaced).
QString numberedDataFileName(const QString &name, int n, const QString &suffix);

enum class SpectrumSetKind {
    NormalizedXafs, // "X Y shift" then (E, normalised mu*t) pairs
    RawXafs,        // "X Y shift" then (E, mu*t) pairs
    Raw             // "X Y" then (E, raw I1 bin sum) pairs
};

// The seven header lines (each ended by a line feed) of a spectrum set over
// grid.
QString spectrumSetHeader(SpectrumSetKind kind, const AnalyzeCond &grid);

// Writes the spectra of every bin of grid to fileName ("dat" appended when it
// has no suffix), each bin's spectrum built as everywhere else in the program
// (bin half sizes from source.conditions). Nothing is written without I1
// images. Brings the stack's dark areas up to date first. False when nothing
// could be written.
bool writeSpectrumSet(const QString &fileName, SpectrumSetKind kind, const AnalyzeCond &grid,
                      MeasurementStack &stack, const BinSpectrumSettings &source);
