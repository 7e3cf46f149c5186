#include "spectrum/SpectrumFile.h"

#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "app/TextFileLimits.h"
#include "spectrum/PhysicalConstants.h"
#include "spectrum/XafsSpectrum.h"

#include <QFile>
#include <QTextStream>
#include <cmath>

namespace {

// The angle conversion of the beamline files uses this value of pi.
constexpr double pi9809 = 3.1415926535;

// Tokens of a line: whitespace collapsed, trimmed, split at single blanks.
QStringList tokensOf(const QString &line) {
    const QString s = line.simplified();
    return s.isEmpty() ? QStringList() : s.split(QLatin1Char(' '));
}

// Locale-free number; a text that is not a number gives 0.
double numberOf(const QString &token) {
    return token.toDouble();
}

void logCannotOpen(const QString &fileName) {
    DebugLog::write(QStringLiteral("Can not open ") + fileName);
}

bool openText(QFile &file) {
    if (TextFileLimits::refuseSpecialFile(file.fileName()))
        return false;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        return true;
    logCannotOpen(file.fileName());
    return false;
}

using TextFileLimits::forEachLine;

} // namespace

bool SpectrumFile::is9809(const QString &fileName) {
    QFile file(fileName);
    if (TextFileLimits::refuseSpecialFile(fileName) ||
        !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // Only the head of the first line matters; a file without line breaks
    // must not be read whole for that. The head goes through a text stream as
    // the readers' lines do, so a byte-order mark (UTF-16 text) is decoded here
    // as well.
    const QByteArray head = file.readLine(4096);
    QTextStream in(head);
    return in.readLine().simplified().startsWith(QLatin1String("9809"));
}

double SpectrumFile::braggEnergy(double thetaDeg, double D) {
    return PhysicalConstants::hcEvAngstrom / (2 * D * std::sin(thetaDeg * pi9809 / 180));
}

bool SpectrumFile::read(const QString &fileName, XafsSpectrum &spectrum) {
    if (is9809(fileName)) {
        spectrum.m_plainText = 0;
        return read9809(fileName, spectrum);
    }
    spectrum.m_plainText = 1;
    return readTwoColumns(fileName, spectrum);
}

bool SpectrumFile::read9809(const QString &fileName, XafsSpectrum &spectrum) {
    spectrum.clear();
    spectrum.m_i0.clear();
    spectrum.m_i1.clear();
    QFile file(fileName);
    if (!openText(file))
        return false;
    double D = defaultLatticeSpacing;
    bool inData = false;
    const bool read = forEachLine(file, [&](const QString &line) {
        const QStringList tokens = tokensOf(line);
        if (!inData) {
            if (!tokens.isEmpty())
                inData = tokens.first() == QLatin1String("Offset");
            for (int j = 0; j + 1 < tokens.size(); ++j)
                if (tokens.at(j) == QLatin1String("D="))
                    D = numberOf(tokens.at(j + 1));
            return;
        }
        if (tokens.size() <= 4)
            return;
        const double E = braggEnergy(numberOf(tokens.at(1)), D);
        const double i0 = numberOf(tokens.at(3));
        const double i1 = numberOf(tokens.at(4));
        const double mu = i0 * i1 > 0 ? std::log(i0 / i1) : 1.0;
        spectrum.addPoint(E, mu);
        spectrum.m_i0.addPoint(E, i0);
        spectrum.m_i1.addPoint(E, i1);
    });
    if (!read) {
        spectrum.clear();
        spectrum.m_i0.clear();
        spectrum.m_i1.clear();
    }
    return read;
}

bool SpectrumFile::readTwoColumns(const QString &fileName, Spectrum &spectrum) {
    spectrum.clear();
    QFile file(fileName);
    if (!openText(file))
        return false;
    const bool read = forEachLine(file, [&](const QString &line) {
        const QStringList tokens = tokensOf(line);
        if (tokens.size() <= 1 || tokens.first().startsWith(QLatin1Char('#')))
            return;
        spectrum.addPoint(numberOf(tokens.at(0)), numberOf(tokens.at(1)));
    });
    if (!read)
        spectrum.clear();
    return read;
}

bool SpectrumFile::write(const QString &fileName, const XafsSpectrum &s, bool subtractEShift) {
    OutputFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(file.device());
    const VictLine &pre = s.pre();
    const VictLine &post = s.post();
    out << "###Lumenstack::XafsSpectrum\n";
    out << "# midx    : " << s.midx() << "\n";
    out << "# dMut    : " << s.dMut() << "\n";
    out << "# pre   vic : " << pre.c0() << " " << pre.slope() << " " << pre.vicC() << " "
        << pre.vicD() << "\n";
    out << "# poste vic : " << post.c0() << " " << post.slope() << " " << post.vicC() << " "
        << post.vicD() << "\n";
    out << "#\n";
    out << "# x  double-normalized-pre-base y pre post\n";
    const Spectrum &dn = s.doubleNormalizedPreBase();
    const double eShift = subtractEShift ? s.eShiftValue() : 0.0;
    for (int i = 0; i < s.count(); ++i) {
        const double e = s.effectiveX(i);
        const double dnValue = i < dn.count() ? dn.y(i) : 0.0;
        out << e - eShift << "\t" << dnValue << "\t" << s.y(i) << "\t" << pre.lineValue(e) << "\t"
            << post.lineValue(e) << "\n";
    }
    out.flush();
    if (out.status() != QTextStream::Ok) {
        file.cancel();
        return false;
    }
    return file.commit();
}
