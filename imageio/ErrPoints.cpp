#include "imageio/ErrPoints.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"
#include "app/TextLine.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>
#include <algorithm>
#include <charconv>
#include <vector>

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

// Open addressing with linear probing, at most half full. Keys pass through
// the splitmix64 finaliser, so neighbouring or regularly spaced points land in
// unrelated slots. All-ones marks an empty slot; the one point with that key,
// (-1, -1), is kept aside.
class ErrPoints::PointSet {
public:
    bool contains(quint64 k) const {
        if (k == Empty)
            return m_hasEmptyKey;
        for (size_t i = mix(k) & m_mask;; i = (i + 1) & m_mask) {
            if (m_slots[i] == k)
                return true;
            if (m_slots[i] == Empty)
                return false;
        }
    }
    void insert(quint64 k) {
        if (k == Empty) {
            m_hasEmptyKey = true;
            return;
        }
        if (2 * (m_used + 1) > m_slots.size())
            rehash(std::max<size_t>(16, 2 * m_slots.size()));
        if (place(k))
            ++m_used;
    }

private:
    static constexpr quint64 Empty = ~quint64(0);
    static quint64 mix(quint64 z) {
        z += 0x9e3779b97f4a7c15ULL;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // False when the key was there already.
    bool place(quint64 k) {
        size_t i = mix(k) & m_mask;
        for (; m_slots[i] != Empty; i = (i + 1) & m_mask)
            if (m_slots[i] == k)
                return false;
        m_slots[i] = k;
        return true;
    }
    void rehash(size_t size) {
        std::vector<quint64> old(size, Empty);
        old.swap(m_slots);
        m_mask = size - 1;
        for (const quint64 k : old)
            if (k != Empty)
                place(k);
    }

    std::vector<quint64> m_slots = std::vector<quint64>(1, Empty);
    size_t m_mask = 0;
    size_t m_used = 0;
    bool m_hasEmptyKey = false;
};

void ErrPoints::addPoint(int x, int y) {
    m_points.append(QPoint(x, y));
    if (!m_lookup)
        m_lookup = std::make_shared<PointSet>();
    else if (m_lookup.use_count() > 1)
        m_lookup = std::make_shared<PointSet>(*m_lookup);
    m_lookup->insert(key(x, y));
}

void ErrPoints::clearPoints() {
    m_points.clear();
    m_lookup.reset();
}

bool ErrPoints::contains(int x, int y) const {
    return m_lookup && m_lookup->contains(key(x, y));
}

bool ErrPoints::read(const QString &fileName, bool append) {
    QFile f(fileName);
    const bool opened = !TextFileLimits::refuseSpecialFile(fileName) &&
                        f.open(QIODevice::ReadOnly | QIODevice::Text);
    if (!opened || !TextFileLimits::guarded(fileName, [&] { return readLines(f, append); })) {
        if (!opened)
            DebugLog::write("Can't Open error point file : " + fileName);
        m_fileName.clear();
        clearPoints();
        m_use = false;
        return false;
    }
    return true;
}

namespace {

enum class FastLine { Point, Blank, Other };

// An item as QString::toInt reads it: the whole item a decimal int with an
// optional sign, else 0.
int intOf(const char *begin, const char *end) {
    if (begin < end && *begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    int v = 0;
    const auto r = std::from_chars(begin, end, v);
    return r.ec == std::errc() && r.ptr == end ? v : 0;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The common line of a mask, "x y" in plain ASCII, read without building
// strings: lines with a comment mark, quotes or other than ASCII bytes are
// left to the general rules.
FastLine fastPoint(const QByteArray &line, int *x, int *y) {
    const char *p = line.constData();
    const char *end = p + line.size();
    for (const char *q = p; q < end; ++q)
        if (*q == '#' || *q == '"' || *q == '\'' || uchar(*q) >= 0x80)
            return FastLine::Other;
    const char *item[2][2] = {{end, end}, {end, end}};
    for (int i = 0; i < 2; ++i) {
        while (p < end && isAsciiSpace(*p))
            ++p;
        item[i][0] = p;
        while (p < end && !isAsciiSpace(*p))
            ++p;
        item[i][1] = p;
    }
    if (item[0][0] == item[0][1])
        return FastLine::Blank;
    *x = intOf(item[0][0], item[0][1]);
    *y = intOf(item[1][0], item[1][1]);
    return FastLine::Point;
}

bool startsWithByteOrderMark(QFile &f) {
    const QByteArray head = f.peek(3);
    return head.startsWith("\xEF\xBB\xBF") || head.startsWith("\xFE\xFF") ||
           head.startsWith("\xFF\xFE");
}

} // namespace

void ErrPoints::takeLine(const QString &line) {
    QStringList items;
    if (TextLine::prefixWithItems(line, 2, "# Size", &items)) {
        m_sizeFirst = items[0].toInt();
        m_sizeSecond = items[1].toInt();
        clearPoints();
        m_use = false;
        return;
    }
    QString rest, unused;
    const QString x = TextLine::nextItem(TextLine::stripComment(line).simplified(), &rest);
    if (x.isEmpty())
        return;
    const QString y = TextLine::nextItem(rest, &unused);
    addPoint(x.toInt(), y.toInt());
}

bool ErrPoints::readLines(QFile &f, bool append) {
    m_use = true;
    m_fileName = QFileInfo(f.fileName()).canonicalFilePath();
    if (!append) {
        clearPoints();
        m_use = false;
    }
    // UTF-16 or marked UTF-8: the text stream decodes it.
    if (startsWithByteOrderMark(f))
        return TextFileLimits::forEachLine(f, [this](const QString &line) { takeLine(line); });
    QByteArray line;
    for (qint64 lineNo = 1;; ++lineNo) {
        const TextFileLimits::LineRead r = TextFileLimits::readLine(f, &line);
        if (r == TextFileLimits::LineRead::TooLong)
            TextFileLimits::reportTooLong(f.fileName(), lineNo);
        if (r != TextFileLimits::LineRead::Line)
            return r == TextFileLimits::LineRead::End;
        int x = 0, y = 0;
        switch (fastPoint(line, &x, &y)) {
        case FastLine::Point:
            addPoint(x, y);
            break;
        case FastLine::Blank:
            break;
        case FastLine::Other:
            takeLine(QString::fromUtf8(line));
            break;
        }
    }
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
