#pragma once
// The analysis panel's settings as plain values: the mode, the fit (LCF
// kind, energy range, constraints, fixed edge), the residual-absorption
// energy and factor, and what each reference row was given (its file, use,
// dE and background form). Runs, sessions and the provenance of saved maps
// read them here, whatever panel edits them.
#include "analysis/LcfEngine.h"

#include <QString>
#include <QVector>

struct ReferenceInput {
    QString file; // the file chosen; empty: none
    bool use = false;
    double dE = 0; // eV, the row's energy shift
    bool victoreen = false;

    bool operator==(const ReferenceInput &o) const {
        return file == o.file && use == o.use && dE == o.dE && victoreen == o.victoreen;
    }
    bool operator!=(const ReferenceInput &o) const { return !(*this == o); }
};

struct AnalysisInputs {
    int mode = 0; // the panel's mode (LCF, residual absorption, elements, ...)
    LcfKind kind = LcfKind::LCF;
    bool lcfOld = false; // the "old" box, which MLCF overrides in kind
    double lcfStart = 0; // eV, the fitted range
    double lcfEnd = 0;
    LcfOptions options;
    bool fixedE0 = false;
    double fixedE0Energy = 0;
    double raEnergy = 0;
    double raFactor = 0;

    bool operator==(const AnalysisInputs &o) const {
        return mode == o.mode && kind == o.kind && lcfOld == o.lcfOld && lcfStart == o.lcfStart &&
               lcfEnd == o.lcfEnd && options.nonNegative == o.options.nonNegative &&
               options.sumToOne == o.options.sumToOne && options.quality == o.options.quality &&
               fixedE0 == o.fixedE0 && fixedE0Energy == o.fixedE0Energy && raEnergy == o.raEnergy &&
               raFactor == o.raFactor;
    }
    bool operator!=(const AnalysisInputs &o) const { return !(*this == o); }
};
