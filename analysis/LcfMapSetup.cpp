#include "analysis/LcfMapSetup.h"

#include <QRect>

namespace {

LcfSetupFailure failure(LcfSetupFailure::Kind kind, const QString &file, const QString &why) {
    LcfSetupFailure f;
    f.kind = kind;
    f.file = file;
    f.why = why;
    return f;
}

LcfSetupFailure loadReferences(const LcfMapRequest &r, const MeasurementStack &stack,
                               LcfMapSetup &setup) {
    const SuggestElm &suggestion = setup.settings.suggestion;
    for (LcfReferenceSource src : r.refs) {
        setup.spectra.push_back(std::make_unique<XafsSpectrum>());
        XafsSpectrum &spectrum = *setup.spectra.back();
        setSampleRange(stack, &src);
        QString why;
        ReferenceFile::Result read;
        if (!loadLcfReference(src, suggestion, spectrum, &why, &read)) {
            LcfSetupFailure f = failure(LcfSetupFailure::Unreadable, src.file, why);
            f.needsColumn = read.needsColumn;
            return f;
        }
        if (!why.isEmpty())
            setup.notes.append({src.file, why});
        const QString problem = lcfReferenceProblem(spectrum, suggestion);
        if (!problem.isEmpty())
            return failure(LcfSetupFailure::Refused, src.file, problem);
    }
    return LcfSetupFailure();
}

} // namespace

QString fixSuggestionEdge(const LoadedStack &s, bool fromArea, double e0, SuggestElm &suggestion) {
    if (fromArea) {
        const AnalyzeCond &g = s.grid;
        const QRect area(g.x0, g.y0, g.x1 - g.x0, g.y1 - g.y0);
        if (!areaEdgeEnergy(s.stack, s.bin, area, &e0))
            return QStringLiteral("--fixed-e0 auto: the summed spectrum of the area shows no edge");
    }
    suggestion.fixedEdge = true;
    suggestion.fixedEdgeEnergy = e0;
    return fixedEdgeProblem(s.stack, suggestion);
}

LcfSetupFailure setUpLcfMap(LoadedStack &s, const LcfMapRequest &request, LcfMapSetup &setup) {
    s.stack.updateDarkAreas(s.bin.conditions);
    LcfRunSettings &settings = setup.settings;
    takeBinSettings(s, settings);
    settings.kind = request.kind;
    settings.sE0 = request.sE0;
    settings.eE0 = request.eE0;
    settings.options = request.options;
    if (request.fixedE0) {
        const QString problem =
            fixSuggestionEdge(s, request.fixedE0Auto, request.e0, settings.suggestion);
        if (!problem.isEmpty())
            return failure(LcfSetupFailure::BadRequest, QString(), problem);
    }
    const LcfSetupFailure refs = loadReferences(request, s.stack, setup);
    if (refs.kind != LcfSetupFailure::None)
        return refs;
    for (const auto &spectrum : setup.spectra)
        settings.refs.append({spectrum.get(), true});
    while (settings.refs.size() < 4)
        settings.refs.append({nullptr, false});
    const QString refused = lcfRunProblem(settings);
    if (!refused.isEmpty())
        return failure(LcfSetupFailure::BadRequest, QString(), refused);
    return LcfSetupFailure();
}
