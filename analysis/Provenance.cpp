#include "analysis/Provenance.h"

#include "analysis/StackLoad.h"
#include "app/OutputFile.h"
#include "imageio/TiffData.h"

#include <QJsonArray>
#include <QJsonDocument>

#ifndef LUMENSTACK_VERSION
#define LUMENSTACK_VERSION "0"
#endif

QString programVersion() {
    return QStringLiteral(LUMENSTACK_VERSION);
}

void takeStackInputs(const MeasurementStack &stack, ProvenanceInputs *in) {
    for (const TiffData *image : stack.i1()) {
        in->i1Files << image->fileName();
        in->energies << image->energy();
        if (image->shiftDX() != 0 || image->shiftDY() != 0)
            in->shifts.append(
                {int(in->energies.size() - 1), QPointF(image->shiftDX(), image->shiftDY())});
    }
    for (const TiffData *image : stack.i0())
        in->i0Files << image->fileName();
    in->darkFile = stack.dark() ? stack.dark()->fileName() : QString();
}

ProvenanceInputs stackProvenance(const StackOptions &o, const LoadedStack &s) {
    ProvenanceInputs in;
    takeStackInputs(s.stack, &in);
    in.darkFile = o.darkFile.isEmpty() ? in.darkFile : o.darkFile;
    in.stackFile = o.h5File;
    in.layoutFile = o.layoutFile;
    in.shiftsFile = o.shiftsFile;
    in.shiftMapFile = o.shiftMapFile;
    in.shiftMapInUse = !o.shiftMapFile.isEmpty();
    if (!o.h5File.isEmpty())
        in.energySource = QStringLiteral("the HDF5 stack, as its layout names them, in eV");
    else if (!o.energiesFile.isEmpty())
        in.energySource = QStringLiteral("the energies file, one per image in name order, in eV");
    else
        in.energySource = QStringLiteral("the image file names, pattern %1").arg(o.energyPattern);
    in.conditions = s.bin.conditions;
    in.victoreen = !s.bin.simpleBackground;
    in.suggestion = s.bin.suggestion;
    in.fitKnown = false;
    return in;
}

bool writeSidecar(const QString &path, const QJsonObject &o) {
    OutputFile file(path + QStringLiteral(".json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(o).toJson();
    if (file.device()->write(bytes) != bytes.size()) {
        file.cancel();
        return false;
    }
    return file.commit();
}

namespace {

QJsonObject suggestionJson(const SuggestElm &s) {
    QJsonObject o{{"use", s.use}};
    if (s.use) {
        o.insert("Z", s.Z);
        o.insert("edge", QJsonArray{"K", "L1", "L2", "L3"}.at(std::clamp(s.edge, 0, 3)));
        o.insert("edgeEnergy", s.edgeEnergy);
        o.insert("preEnd", s.dPreE);
        o.insert("postStart", s.dPostS);
        o.insert("jumpSigma", s.jumpSigma);
    }
    o.insert("fixedE0", s.fixedEdge ? QJsonValue(s.fixedEdgeEnergy) : QJsonValue());
    return o;
}

QJsonArray referencesJson(const QVector<ProvenanceReference> &refs) {
    QJsonArray a;
    for (const ProvenanceReference &r : refs)
        if (!r.file.isEmpty())
            a.append(QJsonObject{{"file", r.file},
                                 {"dE", r.dE},
                                 {"background", r.victoreen ? "victoreen" : "straight"},
                                 {"inUse", r.inUse}});
    return a;
}

QJsonArray shiftsJson(const QVector<ProvenanceShift> &shifts) {
    QJsonArray a;
    for (const ProvenanceShift &s : shifts)
        a.append(QJsonArray{s.image, s.shift.x(), s.shift.y()});
    return a;
}

QJsonObject inputsJson(const ProvenanceInputs &in) {
    QJsonObject inputs{{"i1", QJsonArray::fromStringList(in.i1Files)},
                       {"i0", QJsonArray::fromStringList(in.i0Files)},
                       {"dark", in.darkFile.isEmpty() ? QJsonValue() : QJsonValue(in.darkFile)}};
    const std::pair<const char *, const QString *> files[] = {{"stack", &in.stackFile},
                                                              {"layout", &in.layoutFile},
                                                              {"shifts", &in.shiftsFile},
                                                              {"shiftMap", &in.shiftMapFile}};
    for (const auto &[key, file] : files)
        if (!file->isEmpty())
            inputs.insert(key, *file);
    return inputs;
}

} // namespace

QJsonObject provenanceJson(const ProvenanceInputs &in, const QDateTime &when) {
    const MuTConditions &c = in.conditions;
    QJsonArray energies;
    for (double e : in.energies)
        energies.append(e);
    QJsonObject o{
        {"program", in.program},
        {"version", programVersion()},
        {"date", when.toString(Qt::ISODate)},
        {"inputs", inputsJson(in)},
        {"energySource", in.energySource},
        {"energies", energies},
        {"conditions", QJsonObject{{"bin", QJsonArray{c.hx, c.hy}},
                                   {"useI0", c.useI0},
                                   {"fluorescence", c.fluo},
                                   {"victoreen", in.victoreen},
                                   {"exposureMs", QJsonArray{c.darkExpMs, c.i1ExpMs, c.i0ExpMs}}}},
        {"suggestion", suggestionJson(in.suggestion)},
        {"registrationShifts", shiftsJson(in.shifts)},
        {"shiftMapInUse", in.shiftMapInUse}};
    if (in.fitKnown) {
        const char *kind = in.lcfKind == LcfKind::MLCF     ? "MLCF"
                           : in.lcfKind == LcfKind::OldLCF ? "LCF as old"
                                                           : "LCF";
        o.insert("references", referencesJson(in.references));
        o.insert("fit", QJsonObject{{"kind", kind},
                                    {"nonNegative", in.options.nonNegative},
                                    {"sumToOne", in.options.sumToOne}});
    }
    return o;
}
