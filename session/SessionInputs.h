#pragma once
// The settings of a piece of work that the window's fields and panels edit:
// the mu*t conditions (bin, I0 use, fluorescence, exposures), the element
// suggestion with the fit's fixed edge, the selected area of the detector,
// the analysis panel's settings and the reference rows' inputs. The window
// writes them as they are edited; runs, the cursor spectrum and saved files
// read them here. Each signal fires only on a real change.
#include "analysis/AnalysisInputs.h"
#include "measurement/MeasurementStack.h"
#include "spectrum/SuggestElm.h"

#include <QObject>
#include <QRectF>
#include <QVector>

class SessionInputs : public QObject {
    Q_OBJECT
public:
    explicit SessionInputs(QObject *parent = nullptr) : QObject(parent) {}

    const MuTConditions &conditions() const { return m_conditions; }
    void setConditions(const MuTConditions &c);

    const SuggestElm &suggestion() const { return m_suggestion; }
    void setSuggestion(const SuggestElm &s);

    // The selected area in image pixels, when one is selected.
    bool hasArea() const { return m_hasArea; }
    QRectF area() const { return m_area; }
    void setArea(const QRectF &area) { takeArea(true, area); }
    void clearArea() { takeArea(false, QRectF()); }

    const AnalysisInputs &analysis() const { return m_analysis; }
    void setAnalysis(const AnalysisInputs &a);

    // The reference rows in row order.
    const QVector<ReferenceInput> &references() const { return m_references; }
    void setReferences(const QVector<ReferenceInput> &rows);

signals:
    void conditionsChanged();
    void suggestionChanged();
    void areaChanged();
    void analysisChanged();
    void referencesChanged();

private:
    void takeArea(bool has, const QRectF &area);

    MuTConditions m_conditions;
    SuggestElm m_suggestion;
    QRectF m_area;
    bool m_hasArea = false;
    AnalysisInputs m_analysis;
    QVector<ReferenceInput> m_references;
};
