// merge on tiles made of the input: the input is a small archive of files,
// each begun by a line "@@ tK/NAME" (K one digit, NAME a plain file name)
// followed by its content; the tiles t0..t9 present are merged into a fresh
// folder. Summaries, text maps, .emp and TIFF maps come from the fuzzer.
#include "FuzzSupport.h"

#include "Subcommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

QString scratchFolder() {
    return QDir::tempPath() +
           QStringLiteral("/lumenstack-fuzz-merge-%1").arg(QCoreApplication::applicationPid());
}

// Writes the archive's files under root; the tile folders written.
QStringList unpack(const QByteArray &archive, const QString &root) {
    static const QRegularExpression name(QStringLiteral("^t([0-9])/([A-Za-z0-9_.-]{1,40})$"));
    QStringList tiles;
    int at = archive.startsWith("@@ ") ? 0 : archive.indexOf("\n@@ ") + 1;
    while (at >= 0 && archive.mid(at, 3) == "@@ ") {
        const int lineEnd = archive.indexOf('\n', at);
        if (lineEnd < 0)
            break;
        const int next = archive.indexOf("\n@@ ", lineEnd);
        const auto m = name.match(QString::fromUtf8(archive.mid(at + 3, lineEnd - at - 3)));
        if (m.hasMatch()) {
            const QString tile = root + "/t" + m.captured(1);
            QDir().mkpath(tile);
            QFile f(tile + "/" + m.captured(2));
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(archive.mid(lineEnd + 1, next < 0 ? -1 : next - lineEnd - 1));
            if (!tiles.contains(tile))
                tiles << tile;
        }
        if (next < 0)
            break;
        at = next + 1;
    }
    tiles.sort();
    return tiles;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    const QString root = scratchFolder();
    QDir(root).removeRecursively();
    const QStringList tiles =
        unpack(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)), root);
    if (!tiles.isEmpty())
        runMerge(QStringList{"--out", root + "/merged"} + tiles);
    return 0;
}
