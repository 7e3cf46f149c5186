#pragma once
// The HDF5 library is not hardened against damaged files: a corrupted heap or
// index can make it read or write out of bounds, which no check of ours
// before the call can always foresee. A file from outside is therefore opened
// first in a short-lived helper process ("lumenstack-tool h5-info --check
// FILE --layout LAYOUT"), which opens the stack exactly as the window will:
// the same library calls on the same bytes. When the helper crashes, hangs or
// refuses, the file is refused, and the window never makes those calls
// itself. Opening (layout, chunk index, energies, attributes) is where the
// library parses the file; the samples are then decoded by our own bounded
// decoder (Hdf5Chunks).
#include <QString>

namespace Hdf5Probe {

// The helper program; empty (the default) when files are opened in-process
// without a probe.
void setHelper(const QString &program);
QString helper();

// The helper beside the running program, or empty (and a debug line saying
// that HDF5 files will be opened in-process) when there is none.
QString helperBeside(const QString &applicationDir);

// Empty when the helper finds the file fit to open with the layout (a file
// or a shipped layout's name; empty: any shipped layout), or when there is no
// helper; else the refusal, one line naming the file. *crashed (if given)
// tells a crash or hang of the library from a plain refusal.
QString check(const QString &file, const QString &layout, bool *crashed = nullptr);

} // namespace Hdf5Probe
