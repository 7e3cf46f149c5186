#include "mainwindow/StatusTexts.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace StatusTexts {

namespace {
QString tr(const char *text) {
    return QCoreApplication::translate("StatusTexts", text);
}
} // namespace

QString loadProgress(const QString &series, int done, int total) {
    return tr("%1: %2 / %3 files").arg(series).arg(done).arg(total);
}

QString loadFinished(const QString &series, int images) {
    return tr("%1: %2 images loaded").arg(series).arg(images);
}

QString imageReadout(int index, int count, double energy, const QString &filePath) {
    if (index < 0 || index >= count)
        return tr("No image");
    return tr("Image %1 / %2: %3 eV, %4")
        .arg(index)
        .arg(count)
        .arg(energy, 0, 'f', 2)
        .arg(QFileInfo(filePath).fileName());
}

QString imageCursorReadout(int x, int y, double counts, double energy) {
    return tr("x %1, y %2: %3 counts at %4 eV")
        .arg(x)
        .arg(y)
        .arg(counts, 0, 'g', 6)
        .arg(energy, 0, 'f', 2);
}

QString mapCursorReadout(int x, int y, double value, const QString &mapName) {
    return tr("x %1, y %2: %3 in %4").arg(x).arg(y).arg(value, 0, 'g', 4).arg(mapName);
}

QString clusterReadout(int cluster) {
    return cluster < 0 ? tr("left out of the clusters (no edge)") : tr("cluster %1").arg(cluster);
}

} // namespace StatusTexts
