#include "imageio/Hdf5Layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

// The shipped layouts are compiled into this static library; the resource
// must be registered by hand (outside any namespace).
static void initLayoutResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(layouts);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

constexpr qint64 MaxLayoutBytes = 64 * 1024;

QString stripComment(const QString &line) {
    int cut = line.size();
    for (const QChar mark : {QChar('#'), QChar(';')}) {
        const int at = line.indexOf(mark);
        if (at >= 0)
            cut = std::min(cut, at);
    }
    return line.left(cut).trimmed();
}

} // namespace

// The member a key that takes its value as it stands fills, or null.
QString *Hdf5Layout::textEntry(const QString &key) {
    const std::pair<const char *, QString Hdf5Layout::*> entries[] = {
        {"name", &Hdf5Layout::name},         {"images", &Hdf5Layout::images},
        {"nxdata", &Hdf5Layout::nxdata},     {"energies", &Hdf5Layout::energies},
        {"flat", &Hdf5Layout::flat},         {"dark", &Hdf5Layout::dark},
        {"exposure", &Hdf5Layout::exposure}, {"dark_exposure", &Hdf5Layout::darkExposure}};
    for (const auto &[name, member] : entries)
        if (key == QLatin1String(name))
            return &(this->*member);
    return nullptr;
}

bool Hdf5Layout::parse(const QString &text, QString *why) {
    *this = Hdf5Layout();
    const QStringList lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = stripComment(lines[n]);
        if (line.isEmpty() || (line.startsWith('[') && line.endsWith(']')))
            continue;
        const int eq = line.indexOf('=');
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        const QString where = QString("line %1: ").arg(n + 1);
        if (eq <= 0) {
            *why = where + "expected key = value";
            return false;
        }
        if (QString *entry = textEntry(key))
            *entry = value;
        else if (key == "axes") {
            const QString axes = QString(value).remove(' ').toLower();
            if (axes != "energy,y,x" && axes != "energy,x,y") {
                *why = where + "axes is energy,y,x or energy,x,y";
                return false;
            }
            xFirst = axes == "energy,x,y";
        } else if (key == "energy_unit") {
            energyUnit = value.compare("kev", Qt::CaseInsensitive) == 0  ? QStringLiteral("keV")
                         : value.compare("ev", Qt::CaseInsensitive) == 0 ? QStringLiteral("eV")
                                                                         : QString();
            if (energyUnit.isEmpty()) {
                *why = where + "energy_unit is eV or keV";
                return false;
            }
        } else if (key == "exposure_unit") {
            exposureUnit = value.toLower();
            if (exposureUnit != "ms" && exposureUnit != "s") {
                *why = where + "exposure_unit is ms or s";
                return false;
            }
        } else {
            *why = where + "unknown key " + key;
            return false;
        }
    }
    if (images.isEmpty() && nxdata.isEmpty()) {
        *why = "the layout names no images (images = DATASET or nxdata = GROUP)";
        return false;
    }
    if (nxdata.isEmpty() && energies.isEmpty()) {
        *why = "the layout names no energies (energies = DATASET or OBJECT@ATTRIBUTE)";
        return false;
    }
    return true;
}

bool Hdf5Layout::read(const QString &fileOrName, QString *why) {
    QString path = fileOrName;
    if (!QFileInfo::exists(path) && !path.contains('/')) {
        for (const QString &shipped : shippedFiles())
            if (shippedName(shipped) == fileOrName)
                path = shipped;
    }
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        // A pipe would block the read for ever.
        *why = "the layout " + fileOrName + " is not a regular file (a folder, pipe or device)";
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = "cannot open the layout " + fileOrName;
        return false;
    }
    if (f.size() > MaxLayoutBytes) {
        *why = "the layout " + fileOrName + " is larger than 64 KiB";
        return false;
    }
    QString lineWhy;
    if (!parse(QString::fromUtf8(f.read(MaxLayoutBytes)), &lineWhy)) {
        *why = fileOrName + ": " + lineWhy;
        return false;
    }
    sourceFile = path;
    if (name.isEmpty())
        name = QFileInfo(path).completeBaseName();
    return true;
}

QStringList Hdf5Layout::shippedFiles() {
    initLayoutResources();
    QStringList files;
    const QDir dir(QStringLiteral(":/layouts"));
    for (const QString &name : dir.entryList({"*.ini"}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

QString Hdf5Layout::shippedName(const QString &resourcePath) {
    return QFileInfo(resourcePath).completeBaseName();
}
