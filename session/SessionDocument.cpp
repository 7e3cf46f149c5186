#include "session/SessionDocument.h"

#include "imageio/TiffData.h"

#include <utility>

SessionDocument::SessionDocument(QObject *parent)
    : QObject(parent), m_shiftMap(new Analyzed2DRes(QStringLiteral("a2d esm"), this)),
      m_inputs(new SessionInputs(this)) {}

SessionDocument::~SessionDocument() = default;

SessionDocument::StackSource SessionDocument::takeI1StackSource() {
    return std::exchange(m_i1StackSource, StackSource());
}

void SessionDocument::setCurrentPoint(const QPoint &p) {
    if (p == m_point)
        return;
    m_point = p;
    emit currentPointChanged(p);
}

void SessionDocument::setBackground(const XafsSpectrum &read, const SuggestElm &suggestion) {
    m_bgLoaded = true;
    m_bg.assign(read, QStringLiteral("BG"), 1, 0, suggestion);
    emit backgroundChanged();
}

void SessionDocument::clearBackground() {
    m_bgLoaded = false;
    emit backgroundChanged();
}

void SessionDocument::setShiftMapValid(bool valid) {
    if (valid == m_shiftMapValid)
        return;
    m_shiftMapValid = valid;
    emit shiftMapChanged();
}

ShiftMapView SessionDocument::shiftMapInUse() const {
    return shiftMapView(m_shiftMap, m_shiftMapValid, m_shiftMapOrigin.x(), m_shiftMapOrigin.y());
}

bool SessionDocument::takeReferenceSuggestion(const SuggestElm &s, double from, double to) {
    if (m_referenceSuggestionSet && s == m_referenceSuggestion && from == m_referenceFrom &&
        to == m_referenceTo)
        return false;
    m_referenceSuggestion = s;
    m_referenceFrom = from;
    m_referenceTo = to;
    m_referenceSuggestionSet = true;
    emit referenceSuggestionChanged();
    return true;
}

void SessionDocument::addFailure(const QString &text) {
    m_failures << text;
    emit failureAdded(text);
}
