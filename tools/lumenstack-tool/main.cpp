// lumenstack-tool: the core library's command-line client for scripts.
#include "Subcommands.h"
#include "spectrum/EdgeTable.h"

#include <QGuiApplication>
#include <cstdio>
#include <functional>
#include <map>

namespace {

void printUsage(FILE *to) {
    std::fprintf(
        to, "usage: lumenstack-tool SUBCOMMAND [OPTIONS] ...  (SUBCOMMAND --help: its options)\n"
            "subcommands:\n"
            "  spectrum-info  read a spectrum file, normalise it, print JSON\n"
            "  image-info     read image files, print one JSON line per file\n"
            "  make-demo      write a synthetic measurement into a folder\n"
            "  lcf-map        LCF/MLCF fraction, amount and residual maps of a stack\n"
            "  ra-map         residual-absorption maps of a stack\n"
            "  elem-map       element jump, ratio, ROI and correlation maps of a stack\n"
            "  shift-map      energy-shift map of a stack against a standard\n"
            "  align          registration shifts of a drifted I1 series\n"
            "  h5-info        datasets of an HDF5 file and the stack layout that fits\n"
            "  batch-reference  the batch-language reference (Markdown)\n"
            "  merge          join the map outputs of tiles of one stack\n");
}

} // namespace

int main(int argc, char **argv) {
    // QImage text rendering and fonts need a GUI application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    // Edge energies for --suggest and the element maps.
    loadEdgeTable();
    const std::map<QString, std::function<int(const QStringList &)>> commands = {
        {"spectrum-info", runSpectrumInfo},
        {"image-info", runImageInfo},
        {"make-demo", runMakeDemo},
        {"lcf-map", runLcfMap},
        {"ra-map", runRaMap},
        {"elem-map", runElemMap},
        {"shift-map", runShiftMap},
        {"align", runAlign},
        {"h5-info", runH5Info},
        {"batch-reference", runBatchReference},
        {"merge", runMerge},
    };
    if (!args.isEmpty() && wantsHelp({args.first()})) {
        printUsage(stdout);
        return 0;
    }
    if (args.isEmpty() || !commands.count(args.first())) {
        printUsage(stderr);
        return 2;
    }
    const QString name = args.takeFirst();
    if (wantsHelp(args)) {
        std::fprintf(stdout, "%s", subcommandUsage(name));
        return 0;
    }
    const int status = commands.at(name)(args);
    // The JSON on stdout is the result: lost output (a full disk, a closed
    // pipe) is a failure, not a success with nothing to show.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "lumenstack-tool %s: cannot write the output\n", qPrintable(name));
        return status != 0 ? status : 1;
    }
    return status;
}
