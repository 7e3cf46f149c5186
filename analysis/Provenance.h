#pragma once
// What a saved file was made from, for the JSON file written beside it
// ("FILE.json"): the program and its version, when, the image files and the
// dark frame, the energies and where they came from, the mu*t conditions, the
// suggestion with its fixed edge, the reference rows, the fit options and the
// registration shifts. Enough to say, months later, which inputs and settings
// gave the numbers. The window and the command-line tool both write it, so it
// lives beside the map writers (MapExport) rather than in either program.
#include "analysis/LcfEngine.h"
#include "measurement/MeasurementStack.h"
#include "spectrum/SuggestElm.h"

#include <QDateTime>
#include <QJsonObject>
#include <QPointF>
#include <QStringList>
#include <QVector>

struct ProvenanceReference {
    QString file;
    double dE = 0;
    bool victoreen = false;
    bool inUse = false;
};

struct ProvenanceShift {
    int image = 0;
    QPointF shift;
};

struct ProvenanceInputs {
    QString program;
    QStringList i1Files;
    QStringList i0Files;
    QString darkFile;
    QString stackFile, layoutFile;    // an HDF5 stack and its layout instead of image files
    QString shiftsFile, shiftMapFile; // registration shifts, energy-shift map (when read)
    QVector<double> energies;         // of the I1 images, in order
    QString energySource = QStringLiteral("the energies of the I1 images as loaded, in eV");
    MuTConditions conditions;
    bool victoreen = false; // Victoreen background of the bin spectra
    SuggestElm suggestion;
    bool fitKnown = true; // references and fit options below are the run's
    QVector<ProvenanceReference> references;
    LcfKind lcfKind = LcfKind::LCF;
    LcfOptions options;
    QVector<ProvenanceShift> shifts; // I1 images with a registration shift
    bool shiftMapInUse = false;
};

// The inputs of a stack as the program holds them (files, energies, shifts).
void takeStackInputs(const MeasurementStack &stack, ProvenanceInputs *in);

struct StackOptions;
struct LoadedStack;
// The inputs of a stack loaded from options (analysis/StackLoad.h): its files
// and energies, where the energies came from, the conditions and suggestion.
// The references and fit are the caller's (fitKnown false).
ProvenanceInputs stackProvenance(const StackOptions &o, const LoadedStack &s);

QJsonObject provenanceJson(const ProvenanceInputs &in, const QDateTime &when);

// Writes o as "<path>.json" through OutputFile: an older file stays whole
// when the write fails. False when it cannot be written.
bool writeSidecar(const QString &path, const QJsonObject &o);

// The program's version, as the build gives it.
QString programVersion();
