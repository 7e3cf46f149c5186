#include "mainwindow/Provenance.h"

#include "imageio/TiffData.h"

#include <QJsonArray>

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

} // namespace

QJsonObject provenanceJson(const ProvenanceInputs &in, const QDateTime &when) {
    const MuTConditions &c = in.conditions;
    QJsonObject inputs{{"i1", QJsonArray::fromStringList(in.i1Files)},
                       {"i0", QJsonArray::fromStringList(in.i0Files)},
                       {"dark", in.darkFile.isEmpty() ? QJsonValue() : QJsonValue(in.darkFile)}};
    QJsonArray energies;
    for (double e : in.energies)
        energies.append(e);
    const char *kind = in.lcfKind == LcfKind::MLCF     ? "MLCF"
                       : in.lcfKind == LcfKind::OldLCF ? "LCF as old"
                                                       : "LCF";
    return QJsonObject{
        {"program", in.program},
        {"version", programVersion()},
        {"date", when.toString(Qt::ISODate)},
        {"inputs", inputs},
        {"energySource", "the energies of the I1 images as loaded, in eV"},
        {"energies", energies},
        {"conditions", QJsonObject{{"bin", QJsonArray{c.hx, c.hy}},
                                   {"useI0", c.useI0},
                                   {"fluorescence", c.fluo},
                                   {"exposureMs", QJsonArray{c.darkExpMs, c.i1ExpMs, c.i0ExpMs}}}},
        {"suggestion", suggestionJson(in.suggestion)},
        {"references", referencesJson(in.references)},
        {"fit", QJsonObject{{"kind", kind},
                            {"nonNegative", in.options.nonNegative},
                            {"sumToOne", in.options.sumToOne}}},
        {"registrationShifts", shiftsJson(in.shifts)},
        {"shiftMapInUse", in.shiftMapInUse}};
}
