#pragma once
// The layout of an image stack inside an HDF5 file: which dataset holds the
// images and in which axis order, where the energies are and in which unit,
// and the optional flat (I0), dark and exposure entries. Written by the user
// as a small INI file:
//
//   [stack]
//   name = generic                      ; shown in choosers (default: file name)
//   images = /data/images               ; [energy, y, x] dataset of any number type
//   nxdata = /entry/data                ; instead of images/energies: an NXdata
//                                       ; group whose "signal" and "axes"
//                                       ; attributes name them
//   axes = energy,y,x                   ; or energy,x,y (default energy,y,x)
//   energies = /data/energy             ; dataset, or OBJECT@ATTRIBUTE
//   energy_unit = eV                    ; eV or keV (default: the "units" attribute)
//   flat = /data/flat                   ; optional: [energy,y,x] one per energy, or
//                                       ; [y,x] / [n,y,x] averaged into one for all
//   dark = /data/dark                   ; optional: [y,x] or [n,y,x] averaged
//   exposure = 250                      ; number, dataset or OBJECT@ATTRIBUTE
//   exposure_unit = ms                  ; ms or s (default ms)
//   dark_exposure = 250                 ; as exposure (default: the exposure)
//
// A "?" before a flat, dark or exposure path makes it optional: used when
// the file has it, passed over when not. "#" and ";" start comments. An unknown key is an error, so
// a misspelt key never silently falls back to a default.
#include <QString>
#include <QStringList>

struct Hdf5Layout {
    QString name;
    QString images;
    QString nxdata;
    bool xFirst = false; // axes energy,x,y: the fastest axis is y
    QString energies;
    QString energyUnit; // "", "eV" or "keV"
    QString flat;
    QString dark;
    QString exposure;
    QString exposureUnit = QStringLiteral("ms");
    QString darkExposure;
    QString sourceFile; // where the layout was read from

    // Parses INI text; false with *why naming the line.
    bool parse(const QString &text, QString *why);
    // Reads a layout file (at most 64 KiB); a name without a path separator
    // that is not an existing file is looked up among the shipped layouts.
    bool read(const QString &fileOrName, QString *why);

    // The layouts that ship with the program (resource paths), and their names.
    static QStringList shippedFiles();
    static QString shippedName(const QString &resourcePath);

private:
    QString *textEntry(const QString &key);
};
