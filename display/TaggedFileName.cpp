#include "display/TaggedFileName.h"

#include <QFileInfo>

namespace {

// The folder part as written, with its trailing separator ("" for a bare name),
// so a relative name stays relative.
QString folderPrefix(const QString &name) {
    const int slash = qMax(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    return name.left(slash + 1);
}

// The file part alone, so a backslash folder never leaks into the base name.
QFileInfo filePart(const QString &name) {
    return QFileInfo(name.mid(folderPrefix(name).size()));
}

QString joined(const QString &name, const QString &tag, const QString &suffix) {
    const QString base = folderPrefix(name) + filePart(name).completeBaseName() + '-' + tag;
    return suffix.isEmpty() ? base : base + '.' + suffix;
}

} // namespace

QString taggedFileName(const QString &name, const QString &tag, const QString &defaultSuffix) {
    const QString suffix = filePart(name).suffix();
    return joined(name, tag, suffix.isEmpty() ? defaultSuffix : suffix);
}

QString taggedFileNameWithSuffix(const QString &name, const QString &tag, const QString &suffix) {
    return joined(name, tag, suffix);
}

QString fileNameWithDefaultSuffix(const QString &name, const QString &suffix) {
    if (!filePart(name).suffix().isEmpty() || suffix.isEmpty())
        return name;
    return name + '.' + suffix;
}
