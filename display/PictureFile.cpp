#include "display/PictureFile.h"

#include "app/DebugLog.h"
#include "app/OutputFile.h"

#include <QFileInfo>
#include <QImageWriter>

namespace {

bool writable(const QString &suffix) {
    return QImageWriter::supportedImageFormats().contains(suffix.toLower().toLatin1());
}

} // namespace

QString pictureFileName(const QString &fileName) {
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    if (suffix.isEmpty() || writable(suffix))
        return fileName;
    return fileName.left(fileName.size() - suffix.size()) + QStringLiteral("png");
}

bool writePicture(const QImage &picture, const QString &fileName) {
    const QString path = pictureFileName(fileName);
    const QString suffix = QFileInfo(path).suffix();
    const QByteArray format = suffix.isEmpty() ? QByteArray("png") : suffix.toLower().toLatin1();
    OutputFile file(path);
    if (picture.isNull() || !file.open(QIODevice::WriteOnly)) {
        DebugLog::write(QStringLiteral("Can't save image : ") + path);
        return false;
    }
    QImageWriter writer(file.device(), format);
    if (!writer.write(picture) || !file.commit()) {
        DebugLog::write(QStringLiteral("Can't save image : ") + path);
        return false;
    }
    return true;
}
