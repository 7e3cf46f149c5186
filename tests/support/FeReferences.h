#pragma once
// Real Fe K-edge reference spectra (tests/data/fe-references, see its
// PROVENANCE.md), found next to the test sources.
#include <QDir>
#include <QFileInfo>
#include <QString>

namespace FeReferences {

// The committed file of that name, e.g. "Fe_metal_rt_01.xdi".
inline QString path(const QString &name) {
    const QDir support = QFileInfo(QStringLiteral(__FILE__)).absoluteDir();
    return support.filePath(QStringLiteral("../data/fe-references/") + name);
}

inline QString foil() {
    return path(QStringLiteral("Fe_metal_rt_01.xdi"));
}

inline QString feO() {
    return path(QStringLiteral("FeO_rt_01.xdi"));
}

} // namespace FeReferences
