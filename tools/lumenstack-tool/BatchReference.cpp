// batch-reference: the batch-language reference in Markdown, from the command
// table and its descriptions; docs/batch-reference.md is this output.
// batch-check FILE: the batch's unknown commands and wrong argument counts,
// one "FILE:LINE: problem" line each, before a beamtime rather than during it.
#include "Subcommands.h"

#include "app/OutputFile.h"
#include "batch/BatchCheck.h"
#include "batch/BatchFile.h"
#include "batch/CommandDocs.h"

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
    OutputFile file(args.at(1));
    if (!file.open(QIODevice::WriteOnly) || file.device()->write(text) != text.size() ||
        !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}

// Exit 0 when every line is sound, 1 when a problem was found or the file
// cannot be read, 2 for wrong arguments.
int runBatchCheck(const QStringList &args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: lumenstack-tool batch-check FILE\n");
        return 2;
    }
    QString text;
    if (!BatchFile::read(args.first(), &text)) {
        std::fprintf(stderr, "lumenstack-tool batch-check: cannot read %s\n",
                     qPrintable(args.first()));
        return 1;
    }
    const QVector<BatchCheck::Problem> problems = BatchCheck::check(text);
    for (const BatchCheck::Problem &p : problems)
        std::printf("%s:%d: %s\n", qPrintable(args.first()), p.line, qPrintable(p.text));
    std::fprintf(stderr, "%s: %lld problem(s)\n", qPrintable(args.first()),
                 static_cast<long long>(problems.size()));
    return problems.isEmpty() ? 0 : 1;
}
