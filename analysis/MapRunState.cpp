#include "analysis/MapRunState.h"

#include <utility>

void MapRunState::begin(Kind kind, const QVector<Analyzed2DRes *> &maps) {
    m_kind = kind;
    m_maps = maps;
}

MapRunState::Kind MapRunState::end() {
    return std::exchange(m_kind, Kind::None);
}

const QVector<XafsSpectrum> &MapRunState::keepReferences(QVector<XafsSpectrum> references) {
    m_references = std::move(references);
    return m_references;
}

bool MapRunState::takeLateEnd() {
    if (m_endsHandled == 0)
        return false;
    --m_endsHandled;
    return true;
}
