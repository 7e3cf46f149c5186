#pragma once
// One X-ray absorption spectrum (x = photon energy in eV, y = mu*t) with its
// normalisation: the edge position midx, the pre- and post-edge background
// lines, the edge jump dMut and four normalised curves, each holding one point
// per data point at the same effective energies.
#include "spectrum/EdgeNormalization.h"
#include "spectrum/Spectrum.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/VictLine.h"

#include <QMetaType>
#include <QString>

class XafsSpectrum : public Spectrum {
public:
    XafsSpectrum() = default;
    // Copies the points, bounds, smoothed values and energy offset of spectrum,
    // takes name, suggestion, background form and energy-shift value, and
    // normalises when there is at least one point.
    XafsSpectrum(const Spectrum &spectrum, const QString &name, int simple, double eShiftValue,
                 const SuggestElm &suggestion);
    // The same as constructing anew, but reusing this object's storage; for
    // loops that build one spectrum per bin.
    void assign(const Spectrum &spectrum, const QString &name, int simple, double eShiftValue,
                const SuggestElm &suggestion);

    // Sets name and suggestion and resets the normalisation parameters:
    // plainText = 1, simple = 1, preStart = -1000, preEnd / postStart from the
    // suggestion, postEnd = 1000, midx = dMut = eShiftValue = 0.
    void setNameAndSuggestion(const QString &name, const SuggestElm &suggestion);

    // Normalises with the given background form (1 = straight, 0 = Victoreen);
    // nothing when there are no points. Renormalising reuses the storage of the
    // derived curves.
    void normalize(int simple);

    // Files: spectrum/SpectrumFile.h.

    int plainText() const { return m_plainText; }
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const SuggestElm &suggestion() const { return m_suggestion; }
    const VictLine &pre() const { return m_lines.pre; }
    const VictLine &post() const { return m_lines.post; }
    int simple() const { return m_simple; }
    void setSimple(int simple) { m_simple = simple; }
    double preStart() const { return m_preStart; }
    double preEnd() const { return m_preEnd; }
    double postStart() const { return m_postStart; }
    double postEnd() const { return m_postEnd; }
    const Spectrum &i0() const { return m_i0; }
    const Spectrum &i1() const { return m_i1; }
    const Spectrum &normalizedPostBase() const { return m_normalizedPostBase; }
    const Spectrum &doubleNormalizedPostBase() const { return m_doubleNormalizedPostBase; }
    const Spectrum &normalized() const { return m_normalized; }
    const Spectrum &doubleNormalizedPreBase() const { return m_doubleNormalizedPreBase; }
    double eShiftValue() const { return m_eShiftValue; }
    void setEShiftValue(double v) { m_eShiftValue = v; }
    double midx() const { return m_lines.midx; }
    double dMut() const { return m_lines.dMut; }

    // The energy windows (effective energies) the last normalisation fitted the
    // background lines over: from the first point to the edge estimate plus
    // preEnd, and from the edge estimate plus postStart to the last point.
    // Empty (lo = hi = 0) before a normalisation.
    struct FitWindow {
        double lo = 0;
        double hi = 0;
    };
    FitWindow preFitWindow() const;
    FitWindow postFitWindow() const;

private:
    friend class SpectrumFile;

    void copyData(const Spectrum &spectrum);
    void setSuggestion(const SuggestElm &suggestion);
    void fillDerivedCurves();

    int m_plainText = 1;
    QString m_name = QStringLiteral("No Name");
    SuggestElm m_suggestion;
    int m_simple = 1;
    double m_preStart = -1000.0;
    double m_preEnd = -10.0;
    double m_postStart = 10.0;
    double m_postEnd = 1000.0;
    Spectrum m_i0;
    Spectrum m_i1;
    Spectrum m_normalizedPostBase;
    Spectrum m_doubleNormalizedPostBase;
    Spectrum m_normalized;
    Spectrum m_doubleNormalizedPreBase;
    double m_eShiftValue = 0.0;
    bool m_fitted = false;
    // Lines, edge and jump of the last normalisation; the storage is reused.
    EdgeNormalization::Lines m_lines;
};

Q_DECLARE_METATYPE(XafsSpectrum)
