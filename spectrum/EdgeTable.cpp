#include "spectrum/EdgeTable.h"

#include "app/DebugLog.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QVector>

// The resource lives in this static library; its initialiser must be pulled in
// explicitly, outside any namespace.
static void initVictoreenResource() {
    Q_INIT_RESOURCE(victoreen);
}

namespace {

struct Table {
    QMutex mutex;
    QVector<EdgeEntry> entries;
};

Table &table() {
    static Table t;
    return t;
}

// Token i as a number; a missing token or one that is not a number ("=")
// gives 0.
double tokenValue(const QStringList &tokens, int i) {
    return i < tokens.size() ? tokens.at(i).toDouble() : 0.0;
}

double nonNegative(double v) {
    return v > 0 ? v : 0.0;
}

// Column layout: symbol Z | K λK C1 D1 | LI λLI C2 D2 | LII λLII C3 D3 |
// LIII λLIII C4 D4 | M1 C5 D5 (edges in keV, wavelengths in Å, not stored).
EdgeEntry parseLine(const QStringList &t) {
    EdgeEntry e;
    e.Z = t.size() > 1 ? t.at(1).toInt() : 0;
    e.edge[0] = tokenValue(t, 2);
    const int edgeCol[4] = {6, 10, 14, 18};
    for (int k = 1; k <= 4; ++k)
        e.edge[k] = nonNegative(tokenValue(t, edgeCol[k - 1]));
    const int cCol[5] = {4, 8, 12, 16, 19};
    for (int k = 0; k < 5; ++k) {
        e.C[k] = nonNegative(tokenValue(t, cCol[k]));
        e.D[k] = nonNegative(tokenValue(t, cCol[k] + 1));
    }
    return e;
}

} // namespace

int EdgeTable::count() {
    Table &t = table();
    QMutexLocker lock(&t.mutex);
    return t.entries.size();
}

EdgeEntry EdgeTable::entry(int i) {
    Table &t = table();
    QMutexLocker lock(&t.mutex);
    return (i >= 0 && i < t.entries.size()) ? t.entries.at(i) : EdgeEntry();
}

void EdgeTable::loadFromText(const QString &text) {
    QVector<EdgeEntry> entries;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString s = line.simplified();
        if (s.isEmpty())
            continue; // the final line break, blank lines
        const QStringList tokens = s.split(QLatin1Char(' '));
        if (tokens.first().startsWith(QLatin1Char('#')))
            continue;
        // The table has a fixed capacity; further lines are ignored.
        if (entries.size() >= capacity)
            break;
        entries.append(parseLine(tokens));
    }
    Table &t = table();
    QMutexLocker lock(&t.mutex);
    t.entries = entries;
}

void loadEdgeTable() {
    initVictoreenResource();
    QFile file(QStringLiteral(":Victoreen1.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write(QStringLiteral("Cannot open [Victoreen1.txt]"));
        EdgeTable::loadFromText(QString());
        return;
    }
    EdgeTable::loadFromText(QString::fromUtf8(file.readAll()));
}

int edgeIndexOf(const QString &name) {
    const QString n = name.toUpper();
    if (n == QLatin1String("L1") || n == QLatin1String("LI"))
        return 1;
    if (n == QLatin1String("L2") || n == QLatin1String("LII"))
        return 2;
    if (n == QLatin1String("L3") || n == QLatin1String("LIII"))
        return 3;
    return 0;
}

double edgeEnergyEV(int Z, int edge) {
    if (edge < 0 || edge >= EdgeTable::edgeCount)
        return 0.0;
    return 1000 * EdgeTable::entry(Z).edge[edge];
}
