#pragma once
// What every file a subcommand writes says of itself, in "FILE.json" beside it
// (analysis/Provenance.h): the program's version, when the run started, the
// subcommand with its arguments as given and the folder they are relative to,
// and, once a stack is loaded, its files, energies and their source, the
// conditions, the suggestion, the registration shifts and the energy-shift
// map. The arguments carry the rest (references, fit options, methods), so
// the run can be repeated from the sidecar alone.
//
// One subcommand runs per process: main starts the record, loadStack adds
// the stack, and from then on the record is only read (maps are written on
// several threads at once).
#include <QJsonObject>
#include <QString>
#include <QStringList>

class Analyzed2DRes;
struct StackOptions;
struct LoadedStack;

void beginToolProvenance(const QString &command, const QStringList &args);
void noteToolStack(const StackOptions &o, const LoadedStack &s);

// The record so far.
QJsonObject toolProvenance();

// FILE.json beside a written file that is no map (spectra, shift lists,
// images), naming the files it was read from when no stack was loaded; for a
// map the map's name, units, bin and origin too.
bool writeToolSidecar(const QString &path, const QStringList &inputFiles = {});
bool writeToolMapSidecar(const Analyzed2DRes &map, const QString &path,
                         const QStringList &columns = {});
