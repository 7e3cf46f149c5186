#pragma once
// Pictures (the display, colour bars, map images) written to files. The
// format follows the file name's suffix; a suffix no image writer of this
// build knows (a picture named ".tif" beside 16-bit TIFF data, say) gets a
// PNG under the same name with ".png" in place of its suffix, and a name
// without suffix a PNG under that name. Written through OutputFile (QSaveFile).
#include <QImage>
#include <QString>

// The file name the picture is written to for fileName.
QString pictureFileName(const QString &fileName);

// Writes the picture; false (logged) when it is null or cannot be written.
bool writePicture(const QImage &picture, const QString &fileName);
