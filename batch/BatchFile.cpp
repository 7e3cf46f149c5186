#include "batch/BatchFile.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"

#include <QFile>
#include <QTextStream>

namespace BatchFile {

bool read(const QString &fileName, QString *text) {
    text->clear();
    if (TextFileLimits::refuseSpecialFile(fileName))
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write("Can not open batch file " + fileName);
        return false;
    }
    const bool ok =
        TextFileLimits::forEachLine(file, [&](const QString &line) { *text += line + '\n'; });
    if (!ok)
        text->clear();
    return ok;
}

} // namespace BatchFile
