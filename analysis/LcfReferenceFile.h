#pragma once
// Reference spectra of the linear-combination fit, read and normalised the way
// the sample's bin spectra are. LCF compares double-normalised curves, so a
// reference must be normalised with the sample's element suggestion (its
// edge-relative background windows) and fixed edge, or the fit compares two
// different things. The sample's background lines are fitted over the stack's
// energy range; a reference measured over a wider range would get lines fitted
// over other points (EXAFS wiggles included), so with the suggestion on its
// windows are confined to the sample's range as well.
#include "spectrum/ReferenceFile.h"
#include "spectrum/SuggestElm.h"

#include <QString>

class MeasurementStack;
class XafsSpectrum;

// A reference row's file: dE (eV) moves its energies onto the sample's, the
// background form is Victoreen or straight, and column is the 1-based column
// holding mu (0: decided by the file's layout). sampleFrom..sampleTo is the
// energy range (eV) of the sample spectra the reference is fitted to (the
// image stack's first and last energy); unset (equal) when not known.
struct LcfReferenceSource {
    QString file;
    double dE = 0;
    bool victoreen = true;
    int column = 0;
    double sampleFrom = 0;
    double sampleTo = 0;
};

// The energy range of the stack's I1 images, which its bin spectra span, as
// sampleFrom / sampleTo of the references fitted to them (0, 0 without images).
void setSampleRange(const MeasurementStack &stack, LcfReferenceSource *src);

// Farthest (eV) a reference's mid-edge energy may lie from the suggested edge.
constexpr double LcfReferenceEdgeTolerance = 30;

// Reads src.file (ReferenceFile::read), applies dE as energy offset and as
// eShiftValue, and normalises it with the suggestion (windows, fixed edge) as
// the sample spectra are. With the suggestion or the fixed edge on and a
// sample range given, only the points whose effective energy lies in that
// range are kept, so that the background windows span the same energies as
// the sample's. Without a suggestion (SuggestElm()) the result is the plain
// normalisation of every point with the default windows, as before. False
// with out untouched when the file cannot be read or no point lies in the
// sample range; *why then says why, and on success carries the reader's note
// (energies taken as keV, lines skipped) or is empty. *read, when given,
// receives the reader's whole result (needsColumn, columns, labels).
bool loadLcfReference(const LcfReferenceSource &src, const SuggestElm &suggestion,
                      XafsSpectrum &out, QString *why, ReferenceFile::Result *read = nullptr);

// The former form: victoreen or straight background, no suggestion, mu
// decided by the layout.
bool loadLcfReference(const QString &fileName, double dE, bool victoreen, XafsSpectrum &out);

// "" when the normalised reference can take part in a fit; otherwise why not:
// no points, an edge jump (dMut) that is not positive, or, with the suggestion
// on, a mid-edge energy more than LcfReferenceEdgeTolerance from the suggested
// edge energy.
QString lcfReferenceProblem(const XafsSpectrum &ref, const SuggestElm &suggestion);
