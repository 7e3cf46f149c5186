#pragma once
// The stack options every map subcommand shares, their parsing, and the
// loading of the measurement they describe:
//
//   --i1 DIR                 every image file of the folder, in name order
//   --i0 DIR                 optional incident-beam series
//   --energies FILE          one energy (eV) per line, in file order, both
//                            series: finite, rising, one per file
//   --energy-pattern PATTERN energy from the file names (default)
//   --h5 FILE --layout L     instead of --i1/--i0/--energies: the stack in one
//                            HDF5 file, described by a layout file or the name
//                            of a shipped layout (generic, facility, nexus)
//   --dark FILE              dark frame (overrides a layout's dark)
//   --shifts FILE            registration shifts of the I1 images, one line
//                            "index dx dy [score]" each (as align writes them)
//   --bin HX HY              bin half sizes (default 0 0)
//   --area X Y W H           analysed area (default the whole image), cut to
//                            the image; bins must fit the image
//   --fluorescence           mu = I1 / I0 instead of ln(I0 / I1)
//   --victoreen              Victoreen background for the bin spectra
//   --suggest SYMBOL EDGE, --dpre E, --dpost E, --jump-sigma S
//                            the element suggestion of the normalisation
//   --shift-map FILE.emp     energy shifts of a saved calibration on the bins
//   --shift-edge E           edge energy the map's angles are read at (default
//                            the file's standard energy), as EdgeEeV does
//
// A subcommand offers each argument to takeStackOption first and handles the
// rest itself. The options fill a StackOptions, which analysis/StackLoad.h
// loads.
#include "analysis/StackLoad.h"

#include <QString>
#include <QStringList>

enum class OptionTaken { No, Yes, Error };

// Consumes args[i] (and its values, advancing i) when it is a stack option.
// Error: *why says what is wrong with it.
OptionTaken takeStackOption(const QStringList &args, int &i, StackOptions &o, QString *why);

// The usage lines of the stack options, for a subcommand's usage text.
const char *stackOptionsUsage();

// loadMeasurement (analysis/StackLoad.h), its warnings said on stderr.
bool loadStack(const StackOptions &o, LoadedStack &out, QString *file, QString *why);

// The message for a failed loadStack; the exit status: 1 when a file cannot
// be read, 2 when the options do not fit the images.
int loadFailure(const char *command, const QString &file, const QString &why);

// What --threads takes, said when its value is not that.
inline QString threadsUsage() {
    return QStringLiteral("--threads takes a whole number from 1 to 1024");
}
