// h5-info FILE: one JSON line with the datasets of an HDF5 file (path, shape,
// type, chunks, filters) and the first shipped layout that opens it as a stack
// ("layout": null when none does), with the stack's size and energy range.
#include "Json.h"
#include "Subcommands.h"
#include "app/DebugLog.h"
#include "imageio/Hdf5Probe.h"
#include "imageio/Hdf5Stack.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

QString numbers(const std::vector<unsigned long long> &values) {
    QStringList items;
    for (unsigned long long v : values)
        items << QString::number(v);
    return Json::array(items);
}

QString datasetJson(const Hdf5DatasetInfo &d) {
    QStringList filters;
    for (const QString &f : d.filters)
        filters << Json::string(f);
    Json j;
    j.addString("path", d.path).add("shape", numbers(d.shape)).addString("type", d.type);
    j.add("chunks", d.chunks.empty() ? Json::null() : numbers(d.chunks));
    j.add("filters", Json::array(filters)).add("virtual", d.isVirtual);
    return j.text();
}

// The first shipped layout that opens the file, described; null when none.
// A layout that does not fit is the expected answer here, not a failure: its
// reader message is muted.
QString matchingLayout(const QString &file) {
    const DebugLog::Mute probing;
    for (const QString &shipped : Hdf5Layout::shippedFiles()) {
        Hdf5Layout layout;
        QString why;
        Hdf5Stack stack;
        if (!layout.read(shipped, &why) || !stack.open(file, layout))
            continue;
        Json j;
        j.addString("name", layout.name).add("images", stack.count(Hdf5Stack::Images));
        j.add("width", stack.width()).add("height", stack.height());
        j.add("flats", stack.count(Hdf5Stack::Flats)).add("dark", stack.count(Hdf5Stack::Dark));
        j.add("firstEnergy", stack.energy(0));
        j.add("lastEnergy", stack.energy(stack.count(Hdf5Stack::Images) - 1));
        return j.text();
    }
    return Json::null();
}

} // namespace

// h5-info --check FILE [--layout L]: exit 0 when the file opens as a stack
// with the layout (with a shipped one when none is given), else 1 with the
// reason. The window runs it as a separate process before it opens a file
// itself, so that a crash of the HDF5 library costs a refusal, not a session.
int checkFile(const QString &file, const QString &layoutName) {
    if (layoutName.isEmpty()) {
        std::vector<Hdf5DatasetInfo> datasets;
        QString why;
        if (!Hdf5Stack::listDatasets(file, &datasets, &why)) {
            std::fprintf(stderr, "lumenstack-tool h5-info: %s\n", qPrintable(why));
            return 1;
        }
        if (matchingLayout(file) != Json::null())
            return 0;
        std::fprintf(stderr, "lumenstack-tool h5-info: %s: no shipped layout opens it\n",
                     qPrintable(file));
        return 1;
    }
    Hdf5Layout layout;
    QString why;
    if (!layout.read(layoutName, &why)) {
        std::fprintf(stderr, "lumenstack-tool h5-info: %s: %s\n", qPrintable(layoutName),
                     qPrintable(why));
        return 1;
    }
    const DebugLog::Mute quiet;
    Hdf5Stack stack;
    if (!stack.open(file, layout)) {
        std::fprintf(stderr, "lumenstack-tool h5-info: %s\n", qPrintable(stack.error()));
        return 1;
    }
    return 0;
}

int runH5Info(const QStringList &args) {
    const bool check = args.value(0) == "--check";
    const bool layoutGiven = check && args.size() == 4 && args.at(2) == "--layout";
    if ((check && args.size() != 2 && !layoutGiven) || (!check && args.size() != 1) ||
        args.last().startsWith("--")) {
        std::fprintf(stderr, "usage: lumenstack-tool h5-info [--check] FILE [--layout L]\n");
        return 2;
    }
    if (check)
        return checkFile(args.at(1), layoutGiven ? args.at(3) : QString());
    const QString file = args.first();
    // The listing and the layouts tried make the same library calls as the
    // check: a file on which they crash is refused by a second process.
    bool crashed = false;
    Hdf5Probe::setHelper(QCoreApplication::applicationFilePath());
    const QString refusal = Hdf5Probe::check(file, QString(), &crashed);
    if (crashed) {
        std::fprintf(stderr, "lumenstack-tool h5-info: %s\n", qPrintable(refusal));
        return 1;
    }
    std::vector<Hdf5DatasetInfo> datasets;
    QString why;
    if (!Hdf5Stack::listDatasets(file, &datasets, &why)) {
        std::fprintf(stderr, "lumenstack-tool h5-info: %s\n", qPrintable(why));
        return 1;
    }
    QStringList items;
    for (const Hdf5DatasetInfo &d : datasets)
        items << datasetJson(d);
    Json j;
    j.addString("file", file).add("datasets", Json::array(items));
    j.add("layout", matchingLayout(file));
    std::printf("%s\n", qPrintable(j.text()));
    return 0;
}
