// batch-reference: the batch-language reference in Markdown, from the command
// table and its descriptions; docs/batch-reference.md is this output.
#include "Subcommands.h"

#include "batch/CommandDocs.h"

#include <QSaveFile>
#include <cstdio>

int runBatchReference(const QStringList &args) {
    const QByteArray text = CommandDocs::referenceMarkdown().toUtf8();
    if (args.isEmpty()) {
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    if (args.size() != 2 || args.first() != QLatin1String("--out")) {
        std::fprintf(stderr, "usage: lumenstack-tool batch-reference [--out FILE]\n");
        return 2;
    }
    QSaveFile file(args.at(1));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
