#pragma once
// The read-outs of the main window: loading progress in the status bar, the
// image on display beside the slider and the values under the mouse.
#include <QString>

namespace StatusTexts {

// "I1: 37 / 200 files".
QString loadProgress(const QString &series, int done, int total);
// "I1: 200 images loaded".
QString loadFinished(const QString &series, int images);
// "Image 28 / 64: 7120.00 eV, fe_07120.tif" (number from 0, file name
// without its folder); "No image" for an index outside the series.
QString imageReadout(int index, int count, double energy, const QString &filePath);
// "x 12, y 34: 1532 counts at 7120.00 eV" on an image; on a map the value and
// the map's name: "x 12, y 34: 0.43 in a2d Ratio0".
QString imageCursorReadout(int x, int y, double counts, double energy);
QString mapCursorReadout(int x, int y, double value, const QString &mapName);
// The cluster of the bin under the cursor: "cluster J", or left out (-1).
QString clusterReadout(int cluster);

} // namespace StatusTexts
