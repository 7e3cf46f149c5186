#include "imageio/EnergyCheck.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

QString nameOf(const QString &path) {
    return QFileInfo(path).fileName();
}

bool inRange(double eV) {
    return std::isfinite(eV) && eV >= EnergyCheck::MinEv && eV <= EnergyCheck::MaxEv;
}

// The faults of a series, each as its first place and how many there are.
struct Faults {
    int firstOutside = -1;
    int outside = 0;
    int firstDescent = -1; // index of the file whose energy is below its predecessor's
    int descents = 0;
    int firstRepeat = -1; // index of the first file whose energy an earlier file has
    int repeatOf = -1;    // that earlier file
    int repeats = 0;

    bool pass() const { return outside == 0 && descents == 0 && repeats == 0; }
};

void findOutside(const QVector<double> &e, Faults *f) {
    for (int i = 0; i < e.size(); ++i) {
        if (inRange(e[i]))
            continue;
        if (f->firstOutside < 0)
            f->firstOutside = i;
        ++f->outside;
    }
}

void findDescents(const QVector<double> &e, Faults *f) {
    for (int i = 1; i < e.size(); ++i) {
        if (!(e[i] < e[i - 1]))
            continue;
        if (f->firstDescent < 0)
            f->firstDescent = i;
        ++f->descents;
    }
}

void findRepeats(const QVector<double> &e, Faults *f) {
    QHash<double, int> firstWith;
    firstWith.reserve(e.size());
    for (int i = 0; i < e.size(); ++i) {
        if (!std::isfinite(e[i]))
            continue;
        const auto seen = firstWith.constFind(e[i]);
        if (seen == firstWith.constEnd()) {
            firstWith.insert(e[i], i);
            continue;
        }
        if (f->firstRepeat < 0) {
            f->firstRepeat = i;
            f->repeatOf = *seen;
        }
        ++f->repeats;
    }
}

Faults faultsOf(const QVector<double> &e) {
    Faults f;
    findOutside(e, &f);
    findDescents(e, &f);
    findRepeats(e, &f);
    return f;
}

QString more(int count, const QString &what) {
    return count > 0 ? QString(" (and %1 more %2)").arg(count).arg(what) : QString();
}

QString outsideWarning(const QStringList &files, const QVector<double> &e, const Faults &f) {
    const double eV = e[f.firstOutside];
    QString where;
    if (!std::isfinite(eV))
        where = QStringLiteral("no finite energy");
    else
        where =
            EnergyCheck::evText(eV) + (eV < EnergyCheck::MinEv ? QStringLiteral(", below 100 eV")
                                                               : QStringLiteral(", above 200 keV"));
    const QString rest =
        f.outside == e.size() && e.size() > 1
            ? QString(" (all %1 files lie outside 100 eV to 200 keV)").arg(e.size())
            : more(f.outside - 1, QStringLiteral("outside 100 eV to 200 keV"));
    return QString("%1 gets %2%3: check the energy setup (pattern, factor, unit).")
        .arg(nameOf(files[f.firstOutside]), where, rest);
}

QString descentWarning(const QStringList &files, const QVector<double> &e, const Faults &f) {
    const int i = f.firstDescent;
    return QString("Energies do not ascend: %1 (%2) follows %3 (%4)%5.")
        .arg(nameOf(files[i]), EnergyCheck::evText(e[i]), nameOf(files[i - 1]),
             EnergyCheck::evText(e[i - 1]), more(f.descents - 1, QStringLiteral("places")));
}

QString repeatWarning(const QStringList &files, const QVector<double> &e, const Faults &f) {
    return QString("%1 and %2 get the same energy, %3%4.")
        .arg(nameOf(files[f.repeatOf]), nameOf(files[f.firstRepeat]),
             EnergyCheck::evText(e[f.firstRepeat]),
             more(f.repeats - 1, QStringLiteral("files with an energy already given")));
}

// Positions shown in a preview: first, middleRows spread evenly, last.
QVector<int> previewIndices(int count, int middleRows) {
    QVector<int> idx;
    if (count <= 0)
        return idx;
    idx.append(0);
    for (int k = 1; k <= middleRows; ++k)
        idx.append(int(std::lround(double(k) * (count - 1) / (middleRows + 1))));
    idx.append(count - 1);
    std::sort(idx.begin(), idx.end());
    idx.erase(std::unique(idx.begin(), idx.end()), idx.end());
    return idx;
}

void fillSteps(const QVector<double> &e, EnergyCheck::Preview *p) {
    if (e.size() < 2)
        return;
    p->meanStepEv = (e.last() - e.first()) / (e.size() - 1);
    p->minStepEv = p->maxStepEv = e[1] - e[0];
    for (int i = 2; i < e.size(); ++i) {
        p->minStepEv = std::min(p->minStepEv, e[i] - e[i - 1]);
        p->maxStepEv = std::max(p->maxStepEv, e[i] - e[i - 1]);
    }
}

QString stepText(const EnergyCheck::Preview &p) {
    const double spread = p.maxStepEv - p.minStepEv;
    if (spread <= 1e-6 * std::max(1.0, std::fabs(p.meanStepEv)))
        return "step " + EnergyCheck::evText(p.meanStepEv);
    return QString("step %1 on average (%2 to %3)")
        .arg(EnergyCheck::evText(p.meanStepEv), EnergyCheck::evText(p.minStepEv),
             EnergyCheck::evText(p.maxStepEv));
}

bool allMatched(const QRegularExpression &re, const QStringList &files) {
    return std::all_of(files.begin(), files.end(),
                       [&](const QString &f) { return re.match(f).hasMatch(); });
}

EofSettings byPattern(const QString &pattern) {
    EofSettings s;
    s.mode = EofSettings::Mode::FromFileName;
    s.pattern = pattern;
    s.factor = EnergyOfFiles::factorForPattern(pattern);
    return s;
}

} // namespace

QVector<double> EnergyCheck::energiesOf(const EofSettings &s, const QStringList &files,
                                        const QVector<int> &fileNos) {
    QVector<double> energies;
    energies.reserve(files.size());
    const QRegularExpression re(s.mode == EofSettings::Mode::FromFileName ? s.pattern : QString());
    for (int i = 0; i < files.size(); ++i) {
        const int fileNo = i < fileNos.size() ? fileNos[i] : i;
        energies.append(s.mode == EofSettings::Mode::FromFileName
                            ? EnergyOfFiles::energyFromName(re, s.factor, files[i], fileNo)
                            : EnergyOfFiles::energyOfFile(s, files[i], fileNo));
    }
    return energies;
}

EnergyCheck::Preview EnergyCheck::preview(const QStringList &files,
                                          const QVector<double> &energiesEv, int middleRows) {
    Preview p;
    p.count = int(std::min(files.size(), energiesEv.size()));
    if (p.count == 0)
        return p;
    const QVector<double> e = energiesEv.mid(0, p.count);
    for (int i : previewIndices(p.count, middleRows))
        p.rows.append(Row{i, nameOf(files[i]), e[i]});
    const auto [lo, hi] = std::minmax_element(e.begin(), e.end());
    p.minEv = *lo;
    p.maxEv = *hi;
    fillSteps(e, &p);
    p.warnings = seriesWarnings(files.mid(0, p.count), e);
    return p;
}

QString EnergyCheck::previewText(const Preview &p) {
    if (p.count == 0)
        return QStringLiteral("No files in this series yet: load them to see their energies.");
    QStringList lines;
    lines << QString("%1 file%2, %3 to %4")
                 .arg(p.count)
                 .arg(p.count == 1 ? "" : "s")
                 .arg(evText(p.minEv), evText(p.maxEv));
    if (p.count > 1)
        lines << stepText(p);
    int previous = -1;
    for (const Row &r : p.rows) {
        if (previous >= 0 && r.index > previous + 1)
            lines << QStringLiteral("       ...");
        lines << QString("%1  %2  %3").arg(r.index, 6).arg(r.file, evText(r.energyEv));
        previous = r.index;
    }
    return lines.join('\n');
}

QStringList EnergyCheck::seriesWarnings(const QStringList &files,
                                        const QVector<double> &energiesEv) {
    const int n = int(std::min(files.size(), energiesEv.size()));
    const QVector<double> e = energiesEv.mid(0, n);
    const Faults f = faultsOf(e);
    QStringList warnings;
    if (f.outside > 0)
        warnings << outsideWarning(files, e, f);
    if (f.descents > 0)
        warnings << descentWarning(files, e, f);
    if (f.repeats > 0)
        warnings << repeatWarning(files, e, f);
    return warnings;
}

bool EnergyCheck::patternNamesUnit(const QString &pattern) {
    return pattern.contains(QLatin1String("ev"), Qt::CaseInsensitive);
}

bool EnergyCheck::offersKeVFactor(const EofSettings &s, const QVector<double> &energiesEv) {
    if (s.mode != EofSettings::Mode::FromFileName || patternNamesUnit(s.pattern) ||
        energiesEv.isEmpty() || (s.factor > 0 && s.factor != 1))
        return false;
    const bool keVBand = std::all_of(energiesEv.begin(), energiesEv.end(),
                                     [](double e) { return e >= KeVLow && e <= KeVHigh; });
    if (!keVBand)
        return false;
    QVector<double> scaled = energiesEv;
    for (double &e : scaled)
        e *= KeVFactor;
    const auto [lo, hi] = std::minmax_element(scaled.begin(), scaled.end());
    return faultsOf(scaled).pass() && *hi - *lo < *lo;
}

QString EnergyCheck::keVFactorOffer(const QVector<double> &energiesEv) {
    if (energiesEv.isEmpty())
        return QString();
    const auto [lo, hi] = std::minmax_element(energiesEv.begin(), energiesEv.end());
    return QString("The numbers read from the names (%1 to %2) look like keV and the pattern names "
                   "no unit: with the factor 1000 the energies run from %3 to %4.")
        .arg(*lo, 0, 'g', 6)
        .arg(*hi, 0, 'g', 6)
        .arg(evText(*lo * KeVFactor), evText(*hi * KeVFactor));
}

QString EnergyCheck::suggestedPattern(const QStringList &files, const QVector<int> &fileNos) {
    if (files.isEmpty())
        return QString();
    QString firstPassing;
    for (const QString &pattern : EnergyOfFiles::presetPatterns()) {
        if (!allMatched(QRegularExpression(pattern), files))
            continue;
        if (!faultsOf(energiesOf(byPattern(pattern), files, fileNos)).pass())
            continue;
        // A pattern that spells out the unit is anchored on the energy, not
        // on some other number of the name that happens to fit.
        if (patternNamesUnit(pattern))
            return pattern;
        if (firstPassing.isEmpty())
            firstPassing = pattern;
    }
    return firstPassing;
}

QString EnergyCheck::patternOffer(const QString &pattern, const QStringList &files,
                                  const QVector<int> &fileNos) {
    const QVector<double> e = energiesOf(byPattern(pattern), files, fileNos);
    if (e.isEmpty())
        return QString();
    return QString("The preset pattern %1 reads %2 to %3 from these names.")
        .arg(pattern, evText(e.first()), evText(e.last()));
}

QString EnergyCheck::patternError(const QString &pattern) {
    const QRegularExpression re(pattern);
    if (re.isValid())
        return QString();
    return QString("The pattern is no valid regular expression (%1 at character %2): no name "
                   "matches it, so every file gets its number in the list.")
        .arg(re.errorString())
        .arg(re.patternErrorOffset() + 1);
}

QString EnergyCheck::evText(double eV) {
    return QString::number(eV, 'g', 6) + QStringLiteral(" eV");
}
