// lumenstack-tool: the core library's command-line client for scripts.
#include "Subcommands.h"
#include "ToolProvenance.h"
#include "imageio/Hdf5Probe.h"
#include "spectrum/EdgeTable.h"

#include <QGuiApplication>
#include <cstdio>
#include <functional>
#include <map>
#include <new>

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
            "  pca-map        principal components of the bins' normalised spectra\n"
            "  cluster-map    k-means clusters of the bins and their mean spectra\n"
            "  nmf-map        non-negative factorisation of the bins' normalised spectra\n"
            "  shift-map      energy-shift map of a stack against a standard\n"
            "  align          registration shifts of a drifted I1 series\n"
            "  h5-info        datasets of an HDF5 file and the stack layout that fits\n"
            "  batch-reference  the batch-language reference (Markdown)\n"
            "  batch-check    unknown commands and wrong argument counts of a batch file\n"
            "  merge          join the map outputs of tiles of one stack\n");
}

// An HDF5 stack given with --h5 and --layout is first opened by a second
// process of this program (h5-info --check): a crash of the HDF5 library on a
// damaged file then ends in a refusal with a message, not in a crash here.
// Any other verdict is left to the run itself, which says it in its place
// among the checks of the arguments.
QString hdf5LibraryCrash(const QStringList &args) {
    const int h5 = args.indexOf("--h5"), layout = args.indexOf("--layout");
    if (h5 < 0 || layout < 0 || h5 + 1 >= args.size() || layout + 1 >= args.size())
        return QString();
    Hdf5Probe::setHelper(QCoreApplication::applicationFilePath());
    bool crashed = false;
    const QString refusal = Hdf5Probe::check(args.at(h5 + 1), args.at(layout + 1), &crashed);
    return crashed ? refusal : QString();
}

int runCommand(const std::function<int(const QStringList &)> &command, const QString &name,
               const QStringList &args) {
    const QString refusal = name == "h5-info" ? QString() : hdf5LibraryCrash(args);
    if (!refusal.isEmpty()) {
        std::fprintf(stderr, "lumenstack-tool %s: %s\n", qPrintable(name), qPrintable(refusal));
        return 1;
    }
    try {
        return command(args);
    } catch (const std::bad_alloc &) {
        // Sizes are checked against the files before anything is allocated;
        // what remains is a machine short of memory for an honest input.
        std::fprintf(stderr,
                     "lumenstack-tool %s: out of memory (a smaller --area or larger --bin "
                     "needs less)\n",
                     qPrintable(name));
        return 1;
    }
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
        {"pca-map", runPcaMap},
        {"cluster-map", runClusterMap},
        {"nmf-map", runNmfMap},
        {"shift-map", runShiftMap},
        {"align", runAlign},
        {"h5-info", runH5Info},
        {"batch-reference", runBatchReference},
        {"batch-check", runBatchCheck},
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
    beginToolProvenance(name, args);
    const int status = runCommand(commands.at(name), name, args);
    // The JSON on stdout is the result: lost output (a full disk, a closed
    // pipe) is a failure, not a success with nothing to show.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "lumenstack-tool %s: cannot write the output\n", qPrintable(name));
        return status != 0 ? status : 1;
    }
    return status;
}
