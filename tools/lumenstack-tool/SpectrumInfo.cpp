#include "Subcommands.h"

#include <cstdio>

int runSpectrumInfo(const QStringList &) {
    std::fprintf(stderr, "lumenstack-tool: this subcommand is not available yet\n");
    return 2;
}
