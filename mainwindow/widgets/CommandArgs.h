#pragma once
// The arguments of the window's batch commands, read as its fields take
// typed text: what is not a number reads 0, and a flag is on only for "1".
#include "batch/CmdLine.h"

namespace CommandArgs {

inline int intArg(const CmdLine &cmd, int k) {
    return cmd.arg(k).toInt();
}

inline double numArg(const CmdLine &cmd, int k) {
    return cmd.arg(k).toDouble();
}

inline bool flagArg(const CmdLine &cmd, int k) {
    return intArg(cmd, k) == 1;
}

} // namespace CommandArgs
