// Replay driver: without libFuzzer the fuzz targets run every file of the
// corpus folders (or single files) named on the command line once, in name
// order, so the committed regression corpus replays under the sanitizers as
// an ordinary test. A crash or sanitizer report fails the run.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replayFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::fprintf(stderr, "replay %s (%lld bytes)\n", qPrintable(path), qlonglong(bytes.size()));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            const QDir dir(arg);
            for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
                ok = replayFile(dir.filePath(name)) && ok;
                ++replayed;
            }
        } else {
            ok = replayFile(arg) && ok;
            ++replayed;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
