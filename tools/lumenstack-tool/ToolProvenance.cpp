#include "ToolProvenance.h"

#include "analysis/MapExport.h"
#include "analysis/Provenance.h"
#include "analysis/StackLoad.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

QJsonObject &record() {
    static QJsonObject o;
    return o;
}

QDateTime &started() {
    static QDateTime t;
    return t;
}

} // namespace

void beginToolProvenance(const QString &command, const QStringList &args) {
    started() = QDateTime::currentDateTime();
    QJsonObject &o = record();
    o = QJsonObject{{"program", "lumenstack-tool"},
                    {"version", programVersion()},
                    {"date", started().toString(Qt::ISODate)}};
    o.insert("command", command);
    o.insert("arguments", QJsonArray::fromStringList(args));
    // The reference and standard spectra as given (FILE[:DE[:vic]][@COL]).
    QJsonArray references;
    for (int i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--ref" || args[i] == "--std")
            references.append(args[i + 1]);
    if (!references.isEmpty())
        o.insert("references", references);
    o.insert("folder", QDir::currentPath());
}

void noteToolStack(const StackOptions &o, const LoadedStack &s) {
    ProvenanceInputs in = stackProvenance(o, s);
    in.program = QStringLiteral("lumenstack-tool");
    QJsonObject stack = provenanceJson(in, started());
    for (auto it = stack.begin(); it != stack.end(); ++it)
        record().insert(it.key(), it.value());
}

QJsonObject toolProvenance() {
    return record();
}

bool writeToolSidecar(const QString &path, const QStringList &inputFiles) {
    QJsonObject o = toolProvenance();
    o.insert("file", QFileInfo(path).fileName());
    if (!inputFiles.isEmpty())
        o.insert("inputs", QJsonObject{{"files", QJsonArray::fromStringList(inputFiles)}});
    return writeSidecar(path, o);
}

bool writeToolMapSidecar(const Analyzed2DRes &map, const QString &path,
                         const QStringList &columns) {
    return writeMapSidecar(map, path, columns, toolProvenance());
}
