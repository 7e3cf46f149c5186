#include "imageio/EnergyOfFiles.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <cmath>

namespace {

double toRadians(double degrees) {
    return degrees * EnergyOfFiles::Pi / 180;
}

// The angle item of a data line of a reference file, or nothing when the line
// is not a data line.
bool angleOfDataLine(const QString &line, bool beamlineFormat, double *angle) {
    const QString simple = line.simplified();
    if (simple.startsWith('#'))
        return false;
    const QStringList items = simple.split(' ', Qt::SkipEmptyParts);
    if (beamlineFormat) {
        if (items.size() < 2)
            return false;
        *angle = items.at(1).toDouble();
    } else {
        *angle = items.isEmpty() ? 0 : items.at(0).toDouble();
    }
    return true;
}

void appendIfFinite(QVector<double> *energies, double angle) {
    const double e = EnergyOfFiles::energyOfAngle(angle);
    if (std::isfinite(e))
        energies->append(e);
}

} // namespace

double EnergyOfFiles::energyOfFile(const EofSettings &s, const QString &path, int fileNo) {
    switch (s.mode) {
    case EofSettings::Mode::FromFileName:
        return energyFromName(s.pattern, s.factor, path, fileNo);
    case EofSettings::Mode::FromRefFile:
        return energyFromRef(s.refEnergies, fileNo);
    case EofSettings::Mode::FromFileNum:
        break;
    }
    return energyByCalc(s, fileNo);
}

double EnergyOfFiles::energyFromName(const QString &pattern, double factor, const QString &path,
                                     int fileNo) {
    return energyFromName(QRegularExpression(pattern), factor, path, fileNo);
}

double EnergyOfFiles::energyFromName(const QRegularExpression &pattern, double factor,
                                     const QString &path, int fileNo, bool *matched) {
    // The first match anywhere in the path counts, folder names included.
    const QRegularExpressionMatch m = pattern.match(path);
    if (matched)
        *matched = m.hasMatch();
    double number = fileNo;
    if (m.hasMatch()) {
        QString text = m.captured(0).toUpper();
        text.replace('_', '.');
        text.remove("KEV");
        text.remove("EV");
        number = text.toDouble();
    }
    return factor > 0 ? number * factor : number;
}

double EnergyOfFiles::energyByCalc(const EofSettings &s, int fileNo) {
    const double i = fileNo;
    if (s.unit == EofSettings::Unit::Deg)
        return energyOfAngle(s.start + s.delta * i);
    if (!s.evenInAngle) {
        const double e = s.start + s.delta * i;
        return s.unit == EofSettings::Unit::KEV ? 1000 * e : e;
    }
    const double scale = s.unit == EofSettings::Unit::KEV ? 1000 : 1;
    const double thetaStart = angleOfEnergy(s.start * scale);
    const double thetaEnd = angleOfEnergy(s.end * scale);
    // With no steps every file sits at the start angle.
    const double fraction = s.numOfPoints != 0 ? i / s.numOfPoints : 0;
    return energyOfAngle(thetaStart + (thetaEnd - thetaStart) * fraction);
}

double EnergyOfFiles::energyFromRef(const QVector<double> &refEnergies, int fileNo) {
    if (refEnergies.isEmpty())
        return NoRefBaseEnergy + fileNo;
    const int last = refEnergies.size() - 1;
    return refEnergies.at(qBound(0, fileNo, last));
}

double EnergyOfFiles::angleOfEnergy(double eV) {
    const double s = HcEvAngstrom / (eV * 2 * SiLatticeD);
    if (!(std::fabs(s) <= 1))
        return -1;
    return std::asin(s) * 180 / Pi;
}

double EnergyOfFiles::energyOfAngle(double degrees) {
    return HcEvAngstrom / (2 * SiLatticeD * std::sin(toRadians(degrees)));
}

double EnergyOfFiles::factorForPattern(const QString &pattern) {
    const QString upper = pattern.toUpper();
    return upper.contains("EV") && upper.contains("KEV") ? 1000 : 1;
}

const QStringList &EnergyOfFiles::presetPatterns() {
    static const QStringList presets = {"(\\d|)\\d\\d\\d\\d_\\d\\d\\d\\d",
                                        "\\d\\d\\d\\d_\\d\\d\\d\\d",
                                        "\\d\\d\\d\\d_\\d\\d",
                                        "\\d\\d\\d\\d_\\d\\deV",
                                        "\\d\\d\\d\\d\\.\\d\\d\\d\\d",
                                        "\\d\\d\\d\\d\\.\\d\\d",
                                        "\\d\\d\\d\\d\\.\\d\\deV",
                                        "\\d\\d\\d\\d\\.\\d",
                                        "\\d\\d_\\d\\d\\d\\d\\d\\dKeV",
                                        "\\d_\\d\\d\\d\\d\\d\\dKeV"};
    return presets;
}

double EnergyOfFiles::endOf(double start, double delta, int n) {
    return start + n * delta;
}

bool EnergyOfFiles::deltaOf(double start, double end, int n, double *delta) {
    if (n == 0)
        return false;
    *delta = (end - start) / n;
    return true;
}

bool EnergyOfFiles::readRefFile(const QString &path, QVector<double> *energies) {
    QFile f(path);
    if (TextFileLimits::refuseSpecialFile(path) || !f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write("Can't open ref file " + path);
        return false;
    }
    energies->clear();
    const bool read = TextFileLimits::guarded(path, [&] {
        QTextStream in(&f);
        QString line;
        if (TextFileLimits::readLine(in, &line) == TextFileLimits::LineRead::TooLong) {
            TextFileLimits::reportTooLong(path, 1);
            return false;
        }
        const QStringList head = line.simplified().split(' ', Qt::SkipEmptyParts);
        DebugLog::write("reading simple");
        // Files of the 9809 beamline format carry their table after the
        // "Offset" line, with the angle in the second column.
        const bool beamlineFormat = !head.isEmpty() && head.first() == "9809";
        bool inTable = !beamlineFormat;
        for (qint64 lineNo = 2;; ++lineNo) {
            const TextFileLimits::LineRead r = TextFileLimits::readLine(in, &line);
            if (r == TextFileLimits::LineRead::End)
                return true;
            if (r == TextFileLimits::LineRead::TooLong) {
                TextFileLimits::reportTooLong(path, lineNo);
                return false;
            }
            if (!inTable) {
                inTable = line.simplified().startsWith("Offset");
                continue;
            }
            double angle = 0;
            if (angleOfDataLine(line, beamlineFormat, &angle))
                appendIfFinite(energies, angle);
        }
    });
    if (!read)
        energies->clear();
    return read;
}
