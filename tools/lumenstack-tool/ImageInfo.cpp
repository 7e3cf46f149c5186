#include "Subcommands.h"

#include <cstdio>

int runImageInfo(const QStringList &) {
    std::fprintf(stderr, "lumenstack-tool: this subcommand is not available yet\n");
    return 2;
}
