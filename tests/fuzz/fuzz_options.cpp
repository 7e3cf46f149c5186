// The command line of the tool's map subcommands: the input is one argument
// a line, given to each subcommand as it would come from a shell. Every path
// that exists is replaced by one that does not, so a run ends where the
// stack would be read: what is exercised is the parsing and the checks of
// numbers, areas and bins, then the grid those place on a 64 x 48 image.
#include "FuzzSupport.h"

#include "StackOptions.h"
#include "Subcommands.h"

#include <QFileInfo>

namespace {

QStringList argumentsOf(const uint8_t *data, size_t size) {
    QStringList args = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size))
                           .split('\n', Qt::KeepEmptyParts);
    for (QString &a : args)
        if (!a.isEmpty() && QFileInfo::exists(a))
            a = QStringLiteral("/nonexistent/input");
    return args.mid(0, 64);
}

// The stack options alone, and the grid they place on a small image.
void placeStackOptions(const QStringList &args) {
    StackOptions o;
    QString why;
    for (int i = 0; i < args.size(); ++i)
        if (takeStackOption(args, i, o, &why) == OptionTaken::Error)
            return;
    if (!checkStackOptions(o).isEmpty())
        return;
    const double whole[4] = {0, 0, 64, 48};
    const double area[4] = {o.areaX, o.areaY, o.areaW, o.areaH};
    AnalyzeCond grid;
    if (gridOnImage(64, 48, o.hx, o.hy, o.hasArea ? area : whole, &grid, &why) == GridFit::Fits)
        (void)grid.binCount();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    const QStringList args = argumentsOf(data, size);
    placeStackOptions(args);
    for (auto run : {runLcfMap, runRaMap, runElemMap, runShiftMap, runAlign, runMerge})
        run(args);
    return 0;
}
