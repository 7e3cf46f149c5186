#include "imageio/ErrPoints.h"

#include "app/DebugLog.h"
#include "app/TextLine.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>

namespace {

struct ProcessWideMask {
    QMutex mutex;
    ErrPoints mask;
};

ProcessWideMask &processWideMask() {
    static ProcessWideMask m;
    return m;
}

} // namespace

void ErrPoints::addPoint(int x, int y) {
    m_points.append(QPoint(x, y));
    m_lookup.insert(key(x, y));
}

void ErrPoints::clearPoints() {
    m_points.clear();
    m_lookup.clear();
}

bool ErrPoints::contains(int x, int y) const {
    return m_lookup.contains(key(x, y));
}

bool ErrPoints::read(const QString &fileName, bool append) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write("Can't Open error point file : " + fileName);
        m_fileName.clear();
        clearPoints();
        m_use = false;
        return false;
    }
    m_use = true;
    m_fileName = QFileInfo(fileName).canonicalFilePath();
    if (!append) {
        clearPoints();
        m_use = false;
    }
    QTextStream in(&f);
    QString line;
    while (in.readLineInto(&line)) {
        QStringList items;
        if (TextLine::prefixWithItems(line, 2, "# Size", &items)) {
            m_sizeFirst = items[0].toInt();
            m_sizeSecond = items[1].toInt();
            clearPoints();
            m_use = false;
            continue;
        }
        QString rest, unused;
        const QString x = TextLine::nextItem(TextLine::stripComment(line).simplified(), &rest);
        if (x.isEmpty())
            continue;
        const QString y = TextLine::nextItem(rest, &unused);
        addPoint(x.toInt(), y.toInt());
    }
    return true;
}

ErrPoints ErrPoints::processWide() {
    ProcessWideMask &m = processWideMask();
    QMutexLocker lock(&m.mutex);
    return m.mask;
}

void ErrPoints::setProcessWide(const ErrPoints &mask) {
    ProcessWideMask &m = processWideMask();
    QMutexLocker lock(&m.mutex);
    m.mask = mask;
}

void ErrPoints::setProcessWideUse(bool use) {
    ProcessWideMask &m = processWideMask();
    QMutexLocker lock(&m.mutex);
    m.mask.setUse(use);
}

bool ErrPoints::readProcessWide(const QString &fileName) {
    ErrPoints mask;
    const bool ok = mask.read(fileName);
    setProcessWide(mask);
    return ok;
}
