#include "session/SessionInputs.h"

namespace {

bool sameConditions(const MuTConditions &a, const MuTConditions &b) {
    return a.hx == b.hx && a.hy == b.hy && a.useI0 == b.useI0 && a.fluo == b.fluo &&
           a.darkExpMs == b.darkExpMs && a.i1ExpMs == b.i1ExpMs && a.i0ExpMs == b.i0ExpMs;
}

} // namespace

void SessionInputs::setConditions(const MuTConditions &c) {
    if (sameConditions(c, m_conditions))
        return;
    m_conditions = c;
    emit conditionsChanged();
}

void SessionInputs::setSuggestion(const SuggestElm &s) {
    if (s == m_suggestion)
        return;
    m_suggestion = s;
    emit suggestionChanged();
}

void SessionInputs::takeArea(bool has, const QRectF &area) {
    // Exact comparison: QRectF's own == is fuzzy.
    if (has == m_hasArea && area.x() == m_area.x() && area.y() == m_area.y() &&
        area.width() == m_area.width() && area.height() == m_area.height())
        return;
    m_hasArea = has;
    m_area = area;
    emit areaChanged();
}

void SessionInputs::setAnalysis(const AnalysisInputs &a) {
    if (a == m_analysis)
        return;
    m_analysis = a;
    emit analysisChanged();
}

void SessionInputs::setReferences(const QVector<ReferenceInput> &rows) {
    if (rows == m_references)
        return;
    m_references = rows;
    emit referencesChanged();
}
