#pragma once
// What a saved map or picture was made from, for the JSON file written beside
// it: the program and its version, when, the image files and the dark frame,
// the energies, the mu*t conditions, the suggestion with its fixed edge, the
// reference rows, the fit options and the registration shifts. Enough to say,
// months later, which inputs and settings gave the numbers.
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
    QVector<double> energies; // of the I1 images, in order
    MuTConditions conditions;
    SuggestElm suggestion;
    QVector<ProvenanceReference> references;
    LcfKind lcfKind = LcfKind::LCF;
    LcfOptions options;
    QVector<ProvenanceShift> shifts; // I1 images with a registration shift
    bool shiftMapInUse = false;
};

// The inputs of a stack as the program holds them (files, energies, shifts).
void takeStackInputs(const MeasurementStack &stack, ProvenanceInputs *in);

QJsonObject provenanceJson(const ProvenanceInputs &in, const QDateTime &when);

// The program's version, as the build gives it.
QString programVersion();
