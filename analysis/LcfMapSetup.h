#pragma once
// The settings of an LCF map run over a loaded measurement: the fixed edge
// (a given energy, or the midpoint of the analysed area's summed spectrum),
// the reference files read and normalised with the run's final suggestion
// over the stack's energy range, and the rows as the analysis panel holds
// them. The command-line tool's lcf-map and the Python module's lcf_map both
// set their runs up here, so they fit the same spectra to the same curves.
#include "analysis/LcfReferenceFile.h"
#include "analysis/LcfRun.h"
#include "analysis/StackLoad.h"
#include "spectrum/XafsSpectrum.h"

#include <QString>
#include <QVector>
#include <memory>
#include <vector>

struct LcfMapRequest {
    QVector<LcfReferenceSource> refs; // sampleFrom / sampleTo are set here
    LcfKind kind = LcfKind::LCF;
    double sE0 = 0;
    double eE0 = 30000;
    LcfOptions options;
    bool fixedE0 = false;
    bool fixedE0Auto = false; // the edge from the area's summed spectrum
    double e0 = 0;
};

struct LcfMapSetup {
    LcfRunSettings settings;
    // The references' normalised spectra, which settings.refs point into.
    std::vector<std::unique_ptr<XafsSpectrum>> spectra;
    // Reader notes on references that were read (file, note).
    QVector<QPair<QString, QString>> notes;
};

// Why a setup failed: the request does not fit the stack (BadRequest), a
// reference cannot be read (Unreadable: file, why, and whether a mu column
// must be named), or a normalised reference cannot take part (Refused).
struct LcfSetupFailure {
    enum Kind { None, BadRequest, Unreadable, Refused } kind = None;
    QString file;
    QString why;
    bool needsColumn = false;
};

// The bin spectra of a map run over s, as the run's settings (LcfRunSettings,
// RaRunSettings) hold them: the stack, the conditions, the shift map, the
// background form and the suggestion.
template <typename RunSettings> void takeBinSettings(const LoadedStack &s, RunSettings &out) {
    out.stack = &s.stack;
    out.conditions = s.bin.conditions;
    out.shiftMap = s.bin.shiftMap;
    out.simpleBackground = s.bin.simpleBackground;
    out.suggestion = s.bin.suggestion;
}

// A fixed edge into the suggestion: e0, or with fromArea the midpoint energy
// of the summed spectrum of s's analysed area. "" when set, else why not
// (also an edge outside the stack's energies). Dark areas must be up to date.
QString fixSuggestionEdge(const LoadedStack &s, bool fromArea, double e0, SuggestElm &suggestion);

// Fills setup for a run over s (its grid, conditions, shift map and
// suggestion). The stack's dark areas are brought up to date. Rows: at least
// four, the references in use first.
LcfSetupFailure setUpLcfMap(LoadedStack &s, const LcfMapRequest &request, LcfMapSetup &setup);
