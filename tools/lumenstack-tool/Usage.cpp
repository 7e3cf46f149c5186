// The usage text of each subcommand, printed by --help and after a bad
// argument.
#include "StackOptions.h"
#include "Subcommands.h"

#include <QByteArray>
#include <map>

namespace {

const std::map<QString, const char *> &usages() {
    static const std::map<QString, const char *> texts = {
        {"spectrum-info",
         "usage: lumenstack-tool spectrum-info [--victoreen] [--suggest SYMBOL EDGE]\n"
         "         [--dpre X] [--dpost X] [--jump-sigma X] [--column N] [--write OUT] FILE\n"},
        {"image-info",
         "usage: lumenstack-tool image-info [--errpoints FILE] [--write-tiff OUT] FILE...\n"},
        {"make-demo", "usage: lumenstack-tool make-demo OUTDIR\n"},
        {"lcf-map", "usage: lumenstack-tool lcf-map [stack options] "
                    "--ref FILE[:DE[:vic]][@COL]... [--mlcf] [--old]\n"
                    "       [--range S E] [--nonneg] [--sum1] [--fixed-e0 E|auto] [--quality]\n"
                    "       [--threads N] --out DIR\n"},
        {"ra-map", "usage: lumenstack-tool ra-map [stack options] [--energy E] [--factor F] "
                   "[--threads N] --out DIR\n"},
        {"elem-map", "usage: lumenstack-tool elem-map [stack options] --elems \"Fe Ni-K Pb-L3\" "
                     "[--sort]\n"
                     "       [--de X] [--th X] [--roi S E] [--no-neg] [--use \"1 1 0\"]\n"
                     "       [--std \"1 0.5 0.2\"] [--main N] [--cor-th X]\n"
                     "       [--bg DMUT DE ROI NROI] [--threads N] --out DIR\n"},
        {"shift-map", "usage: lumenstack-tool shift-map [stack options] --std FILE[@COL] "
                      "[--std-victoreen]\n"
                      "       [--method dmidx|innerp] [--de-step X] [--de-min X] "
                      "[--de-range X]\n"
                      "       [--crystal NAME] [--threads N] --out DIR\n"},
        {"align", "usage: lumenstack-tool align [stack options] [--method phase|edge] "
                  "[--reference K|auto|A-B]\n"
                  "       [--chain] [--gradient] [--upsample N] [--max-shift N] "
                  "[--threshold X]\n"
                  "       [--min-score X] [--max-jump P] [--threads N] --out FILE\n"},
        {"pca-map",
         "usage: lumenstack-tool pca-map [stack options] [--range S E] [--components N]\n"
         "       [--min-jump F] [--fixed-e0 E|auto] [--threads N] --out DIR\n"},
        {"cluster-map",
         "usage: lumenstack-tool cluster-map [stack options] [--range S E] --clusters K\n"
         "       [--components N] [--seed S] [--min-jump F] [--fixed-e0 E|auto] [--threads N] "
         "--out DIR\n"},
        {"nmf-map",
         "usage: lumenstack-tool nmf-map [stack options] [--range S E] --components K\n"
         "       [--seed S] [--min-jump F] [--fixed-e0 E|auto] [--threads N] --out DIR\n"},
        {"h5-info", "usage: lumenstack-tool h5-info [--check] FILE [--layout L]\n"},
        {"batch-reference", "usage: lumenstack-tool batch-reference [--out FILE]\n"},
        {"batch-check", "usage: lumenstack-tool batch-check FILE\n"},
        {"merge", "usage: lumenstack-tool merge --out DIR TILEDIR...\n"},
    };
    return texts;
}

// The subcommands that read a stack list its options after their own.
bool readsStack(const QString &name) {
    return name.endsWith("-map") || name == "align";
}

} // namespace

const char *subcommandUsage(const QString &name) {
    static std::map<QString, QByteArray> full;
    const auto it = usages().find(name);
    if (it == usages().end())
        return "";
    QByteArray &text = full[name];
    if (text.isEmpty())
        text = QByteArray(it->second) + (readsStack(name) ? stackOptionsUsage() : "");
    return text.constData();
}

bool wantsHelp(const QStringList &args) {
    return args.contains("--help") || args.contains("-h");
}
