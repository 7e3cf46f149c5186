#include "analysis/LcfReferenceFile.h"

#include "imageio/TiffData.h"
#include "measurement/MeasurementStack.h"
#include "spectrum/XafsSpectrum.h"

#include <algorithm>
#include <cmath>

namespace {

// The points whose effective energy lies in [from, to], offset kept.
Spectrum withinRange(const Spectrum &s, double from, double to) {
    Spectrum kept;
    kept.setShifted(s.shifted());
    kept.setShift(s.shift());
    for (int i = 0; i < s.count(); ++i)
        if (from <= s.effectiveX(i) && s.effectiveX(i) <= to)
            kept.addPoint(s.x(i), s.y(i));
    return kept;
}

} // namespace

bool loadLcfReference(const LcfReferenceSource &src, const SuggestElm &suggestion,
                      XafsSpectrum &out, QString *why, ReferenceFile::Result *read) {
    XafsSpectrum ref;
    const ReferenceFile::Result r = ReferenceFile::read(src.file, src.column, ref);
    if (read)
        *read = r;
    if (why)
        *why = r.message;
    if (!r.ok)
        return false;
    ref.setShifted(true);
    ref.setShift(src.dE);
    const bool likeSample =
        (suggestion.use || suggestion.fixedEdge) && src.sampleFrom < src.sampleTo;
    if (likeSample) {
        const Spectrum kept = withinRange(ref, src.sampleFrom, src.sampleTo);
        if (kept.isEmpty()) {
            if (why)
                *why = QStringLiteral("no point of the reference lies in the sample's energy "
                                      "range %1 to %2 eV")
                           .arg(src.sampleFrom)
                           .arg(src.sampleTo);
            return false;
        }
        static_cast<Spectrum &>(ref) = kept;
    }
    // As a bin spectrum is built: the suggestion sets the windows (and the
    // fixed edge), then the normalisation runs on the effective energies.
    ref.setNameAndSuggestion(ref.name(), suggestion);
    ref.normalize(src.victoreen ? 0 : 1);
    ref.setEShiftValue(src.dE);
    out = ref;
    return true;
}

void setSampleRange(const MeasurementStack &stack, LcfReferenceSource *src) {
    const QVector<TiffData *> &images = stack.i1();
    src->sampleFrom = images.isEmpty() ? 0 : images.first()->energy();
    src->sampleTo = src->sampleFrom;
    for (const TiffData *image : images) {
        src->sampleFrom = std::min(src->sampleFrom, image->energy());
        src->sampleTo = std::max(src->sampleTo, image->energy());
    }
}

bool loadLcfReference(const QString &fileName, double dE, bool victoreen, XafsSpectrum &out) {
    LcfReferenceSource src;
    src.file = fileName;
    src.dE = dE;
    src.victoreen = victoreen;
    return loadLcfReference(src, SuggestElm(), out, nullptr);
}

QString lcfReferenceProblem(const XafsSpectrum &ref, const SuggestElm &suggestion) {
    if (ref.isEmpty())
        return QStringLiteral("the reference holds no points");
    const QString jump = QString::number(ref.dMut(), 'g', 5);
    const QString mid = QString::number(ref.midx(), 'f', 1);
    const QString edge = QString::number(suggestion.edgeEnergy, 'f', 1);
    // With the suggestion on, a jump the normalisation rejected reads 0 with
    // the mid-edge energy set to the suggested edge.
    if (!(ref.dMut() > 0) && suggestion.use)
        return QStringLiteral("edge jump dMut %1 is not positive: no edge found in the "
                              "suggested window around %2 eV")
            .arg(jump, edge);
    if (!(ref.dMut() > 0))
        return QStringLiteral("edge jump dMut %1 at %2 eV is not positive").arg(jump, mid);
    if (suggestion.use && std::fabs(ref.midx() - suggestion.edgeEnergy) > LcfReferenceEdgeTolerance)
        return QStringLiteral("mid-edge energy %1 eV lies more than %2 eV from the suggested "
                              "edge %3 eV")
            .arg(mid)
            .arg(LcfReferenceEdgeTolerance)
            .arg(edge);
    return QString();
}
