#include "spectrum/ReferenceFile.h"

#include "app/TextFileLimits.h"
#include "spectrum/SpectrumFile.h"
#include "spectrum/XafsSpectrum.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#include <cmath>

namespace {

using Result = ReferenceFile::Result;
using Layout = ReferenceFile::Layout;

// How mu is made from the numbers of a data line.
enum class MuFrom { Column, Transmission, Fluorescence };

enum class Unit { Unstated, EV, KeV };

struct XdiColumn {
    QString label; // lower case
    QString unit;  // lower case, may be empty
};

// Fields of a data or header line: split at semicolons or else commas when
// there are any (CSV; empty trailing fields dropped), else at runs of
// whitespace (blanks, tabs). Quotes around a field go.
QStringList fieldsOf(const QString &line) {
    QStringList fields;
    const QChar separator = line.contains(QLatin1Char(';'))   ? QLatin1Char(';')
                            : line.contains(QLatin1Char(',')) ? QLatin1Char(',')
                                                              : QChar();
    if (!separator.isNull()) {
        fields = line.split(separator);
        while (!fields.isEmpty() && fields.last().trimmed().isEmpty())
            fields.removeLast();
    } else {
        const QString s = line.simplified();
        if (!s.isEmpty())
            fields = s.split(QLatin1Char(' '));
    }
    for (QString &f : fields) {
        f = f.trimmed();
        if (f.size() >= 2 && f.startsWith(QLatin1Char('"')) && f.endsWith(QLatin1Char('"')))
            f = f.mid(1, f.size() - 2).trimmed();
    }
    return fields;
}

bool numbersOf(const QStringList &fields, QVector<double> *values) {
    values->resize(fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        bool ok = false;
        (*values)[i] = fields.at(i).toDouble(&ok);
        if (!ok)
            return false;
    }
    return !fields.isEmpty();
}

bool isComment(const QString &trimmed) {
    return trimmed.startsWith(QLatin1Char('#'));
}

QString withoutCommentMarks(const QString &trimmed) {
    int i = 0;
    while (i < trimmed.size() && trimmed.at(i) == QLatin1Char('#'))
        ++i;
    return trimmed.mid(i);
}

Unit unitOfLabel(const QString &label) {
    if (label.contains(QLatin1String("kev"), Qt::CaseInsensitive))
        return Unit::KeV;
    return Unit::Unstated;
}

// One pass over the lines of a text reference, deciding the layout on the
// first line. The points are collected as they come; the mu column is settled
// at the first data line, where the column count becomes known.
class TextTable {
public:
    TextTable(int muColumn, Result *result) : m_muColumn(muColumn), m_r(result) {}

    // False once the read has failed and the rest of the file does not matter.
    bool take(const QString &line);
    bool finish(XafsSpectrum &out);

private:
    bool fail(const QString &why, bool needsColumn = false) {
        m_r->message = why;
        m_r->needsColumn = needsColumn;
        m_failed = true;
        return false;
    }
    void decideLayout(const QString &trimmed);
    bool takeHeader(const QString &trimmed);
    void takeXdiHeader(const QString &trimmed);
    bool startData(const QStringList &fields);
    bool settleDelimited();
    bool settleXdi();
    bool askForColumn(const QString &why);
    int xdiColumnLabelled(const QStringList &labels) const;
    void takeData(const QStringList &fields);
    double muOf(const double *v) const;
    bool inKeV() const;

    const int m_muColumn;
    Result *m_r;
    bool m_failed = false;
    bool m_firstLine = true;
    bool m_inData = false;
    QString m_lastHeader;
    QMap<int, XdiColumn> m_xdi; // by 0-based column index
    MuFrom m_from = MuFrom::Column;
    int m_energy = 0, m_mu = 1, m_i0 = -1, m_i = -1; // 0-based columns
    Unit m_unit = Unit::Unstated;
    QVector<double> m_values;
    QVector<QPointF> m_points;
};

bool TextTable::take(const QString &line) {
    const QString trimmed = line.trimmed();
    if (m_firstLine) {
        m_firstLine = false;
        decideLayout(trimmed);
    }
    if (trimmed.isEmpty())
        return true;
    if (!m_inData)
        return takeHeader(trimmed);
    if (isComment(trimmed))
        return true;
    // A remark after the numbers of a data line.
    const int mark = trimmed.indexOf(QLatin1Char('#'));
    takeData(fieldsOf(mark < 0 ? trimmed : trimmed.left(mark)));
    return true;
}

void TextTable::decideLayout(const QString &trimmed) {
    if (trimmed.startsWith(QLatin1String("###Lumenstack::XafsSpectrum")))
        m_r->layout = Layout::OwnSpectrum;
    else if (withoutCommentMarks(trimmed).trimmed().startsWith(QLatin1String("XDI/"),
                                                               Qt::CaseInsensitive))
        m_r->layout = Layout::Xdi;
    else
        m_r->layout = Layout::Delimited;
}

bool TextTable::takeHeader(const QString &trimmed) {
    const bool xdi = m_r->layout == Layout::Xdi;
    if (isComment(trimmed)) {
        if (xdi)
            takeXdiHeader(trimmed);
        else
            m_lastHeader = withoutCommentMarks(trimmed);
        return true;
    }
    const QStringList fields = fieldsOf(trimmed);
    if (!numbersOf(fields, &m_values)) {
        // XDI has no header outside its comment lines: a stray line is skipped.
        if (xdi)
            ++m_r->skippedLines;
        else
            m_lastHeader = trimmed;
        return true;
    }
    return startData(fields);
}

// "# Column.N: label [unit]"; other header fields are not needed here.
void TextTable::takeXdiHeader(const QString &trimmed) {
    static const QRegularExpression column(
        QStringLiteral("^#\\s*Column\\.(\\d{1,4})\\s*:\\s*(\\S+)\\s*(\\S*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = column.match(trimmed);
    if (!m.hasMatch())
        return;
    const int n = m.captured(1).toInt();
    if (n >= 1)
        m_xdi.insert(n - 1, {m.captured(2).toLower(), m.captured(3).toLower()});
}

bool TextTable::startData(const QStringList &fields) {
    m_inData = true;
    m_r->columns = fields.size();
    const bool settled = m_r->layout == Layout::Xdi ? settleXdi() : settleDelimited();
    if (settled)
        takeData(fields);
    return settled;
}

bool TextTable::askForColumn(const QString &why) {
    QString message = why;
    if (!m_r->labels.isEmpty())
        message += QStringLiteral(" (%1)").arg(m_r->labels.join(QStringLiteral(", ")));
    message += QStringLiteral(": say which column holds mu (2 to %1)").arg(m_r->columns);
    return fail(message, true);
}

bool TextTable::settleDelimited() {
    const int n = m_r->columns;
    const QStringList header = fieldsOf(m_lastHeader);
    if (header.size() == n)
        m_r->labels = header;
    if (n < 2)
        return fail(QStringLiteral("the data lines hold one number each; a reference needs the "
                                   "energy and mu"));
    if (!m_r->labels.isEmpty())
        m_unit = unitOfLabel(m_r->labels.first());
    if (m_muColumn > 0) {
        if (m_muColumn < 2 || m_muColumn > n)
            return askForColumn(QStringLiteral("column %1 was asked for as mu, but the file has "
                                               "%2 numeric columns and the first is the energy")
                                    .arg(m_muColumn)
                                    .arg(n));
        m_mu = m_muColumn - 1;
        return true;
    }
    // The program's own file: the double-normalised curve of column 2.
    if (n == 2 || m_r->layout == Layout::OwnSpectrum)
        return true;
    return askForColumn(QStringLiteral("the file has %1 numeric columns").arg(n));
}

int TextTable::xdiColumnLabelled(const QStringList &labels) const {
    for (const QString &label : labels)
        for (auto it = m_xdi.cbegin(); it != m_xdi.cend(); ++it)
            if (it.value().label == label.toLower())
                return it.key();
    return -1;
}

bool TextTable::settleXdi() {
    const int n = m_r->columns;
    for (int c = 0; c < n; ++c)
        m_r->labels << m_xdi.value(c).label;
    // Columns the header names beyond the data would be read out of range.
    const QMap<int, XdiColumn> &named = m_xdi;
    const auto beyond = named.lowerBound(n);
    if (beyond != named.cend())
        return fail(QStringLiteral("the header names Column.%1 (%2), but the data lines hold "
                                   "%3 numbers")
                        .arg(beyond.key() + 1)
                        .arg(beyond.value().label)
                        .arg(n));
    m_energy = xdiColumnLabelled({QStringLiteral("energy")});
    if (m_energy < 0)
        return fail(QStringLiteral("no XDI column is labelled energy"));
    const QString unit = m_xdi.value(m_energy).unit;
    if (unit == QLatin1String("kev"))
        m_unit = Unit::KeV;
    else if (unit == QLatin1String("ev"))
        m_unit = Unit::EV;
    else if (!unit.isEmpty())
        return fail(QStringLiteral("the energy column is in %1; eV or keV are read").arg(unit));
    if (m_muColumn > 0) {
        if (m_muColumn > n || m_muColumn - 1 == m_energy)
            return askForColumn(
                QStringLiteral("column %1 cannot be mu: the file has %2 columns, the energy is "
                               "column %3")
                    .arg(m_muColumn)
                    .arg(n)
                    .arg(m_energy + 1));
        m_mu = m_muColumn - 1;
        return true;
    }
    m_mu = xdiColumnLabelled({QStringLiteral("mutrans"), QStringLiteral("mu")});
    if (m_mu >= 0)
        return true;
    m_i0 = xdiColumnLabelled({QStringLiteral("i0")});
    m_i = xdiColumnLabelled({QStringLiteral("itrans")});
    m_from = MuFrom::Transmission;
    if (m_i0 >= 0 && m_i >= 0)
        return true;
    m_i = xdiColumnLabelled({QStringLiteral("ifluor"), QStringLiteral("if")});
    m_from = MuFrom::Fluorescence;
    if (m_i0 >= 0 && m_i >= 0)
        return true;
    return askForColumn(QStringLiteral("no XDI column gives mu (mutrans, mu, i0 with itrans or "
                                       "ifluor); the file has %1 columns")
                            .arg(n));
}

double TextTable::muOf(const double *v) const {
    switch (m_from) {
    case MuFrom::Transmission:
        return std::log(v[m_i0] / v[m_i]);
    case MuFrom::Fluorescence:
        return v[m_i] / v[m_i0];
    case MuFrom::Column:
        break;
    }
    return v[m_mu];
}

void TextTable::takeData(const QStringList &fields) {
    if (fields.size() != m_r->columns || !numbersOf(fields, &m_values)) {
        ++m_r->skippedLines;
        return;
    }
    const double e = m_values[m_energy];
    const double mu = muOf(m_values.constData());
    if (!std::isfinite(e) || !std::isfinite(mu)) {
        ++m_r->skippedLines;
        return;
    }
    m_points.append(QPointF(e, mu));
}

bool TextTable::inKeV() const {
    if (m_unit != Unit::Unstated || m_r->layout == Layout::OwnSpectrum)
        return m_unit == Unit::KeV;
    return std::all_of(m_points.cbegin(), m_points.cend(), [](const QPointF &p) {
        return ReferenceFile::KeVLow <= p.x() && p.x() <= ReferenceFile::KeVHigh;
    });
}

bool TextTable::finish(XafsSpectrum &out) {
    if (m_failed)
        return false;
    if (!m_inData)
        return fail(QStringLiteral("no line of numbers found"));
    if (m_points.isEmpty())
        return fail(QStringLiteral("none of the %1 data lines holds finite numbers in every "
                                   "column")
                        .arg(m_r->skippedLines));
    m_r->energiesInKeV = inKeV();
    if (m_r->energiesInKeV)
        for (QPointF &p : m_points)
            p.setX(p.x() * 1000);
    // The normalisation walks the points in energy order.
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    XafsSpectrum read;
    std::copy(m_points.cbegin(), m_points.cend(), read.pointsForWrite(m_points.size()));
    read.rebuildBounds();
    out = read;
    return true;
}

QString successNote(const Result &r) {
    QStringList notes;
    if (r.energiesInKeV)
        notes << QStringLiteral("energies taken as keV and multiplied by 1000");
    if (r.skippedLines > 0)
        notes << QStringLiteral("%1 lines skipped (wrong column count or not finite)")
                     .arg(r.skippedLines);
    return notes.join(QStringLiteral("; "));
}

Result readText(const QString &fileName, int muColumn, XafsSpectrum &out) {
    Result r;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        r.message = QStringLiteral("cannot be opened");
        return r;
    }
    TextTable table(muColumn, &r);
    const bool read = TextFileLimits::guarded(fileName, [&] {
        QTextStream in(&file);
        QString line;
        for (qint64 lineNo = 1;; ++lineNo) {
            const auto got = TextFileLimits::readLine(in, &line);
            if (got == TextFileLimits::LineRead::End)
                return true;
            if (got == TextFileLimits::LineRead::TooLong) {
                TextFileLimits::reportTooLong(fileName, lineNo);
                r.message = QStringLiteral("line %1 is longer than %2 characters")
                                .arg(lineNo)
                                .arg(TextFileLimits::MaxLineChars);
                return false;
            }
            if (!table.take(line))
                return false;
        }
    });
    if (!read) {
        if (r.message.isEmpty())
            r.message = QStringLiteral("out of memory");
        return r;
    }
    r.ok = table.finish(out);
    return r;
}

Result read9809(const QString &fileName, XafsSpectrum &out) {
    Result r;
    r.layout = Layout::Beamline9809;
    XafsSpectrum read;
    if (!SpectrumFile::read(fileName, read))
        r.message = QStringLiteral("cannot be read");
    else if (read.isEmpty())
        r.message = QStringLiteral("no data point after the \"Offset\" line of the 9809 file");
    else
        r.ok = true;
    if (r.ok)
        out = read;
    return r;
}

} // namespace

ReferenceFile::Result ReferenceFile::read(const QString &file, int muColumn, XafsSpectrum &out) {
    if (TextFileLimits::refuseSpecialFile(file)) {
        Result r;
        r.message = QStringLiteral("not a regular file");
        return r;
    }
    Result r = SpectrumFile::is9809(file) ? read9809(file, out) : readText(file, muColumn, out);
    if (r.ok) {
        r.points = out.count();
        r.message = successNote(r);
    }
    return r;
}

QString ReferenceFile::layoutName(Layout layout) {
    switch (layout) {
    case Layout::Beamline9809:
        return QStringLiteral("9809");
    case Layout::OwnSpectrum:
        return QStringLiteral("spectrum file");
    case Layout::Xdi:
        return QStringLiteral("XDI");
    case Layout::Delimited:
        return QStringLiteral("delimited text");
    case Layout::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString ReferenceFile::splitColumnSuffix(const QString &text, int *column) {
    static const QRegularExpression suffix(QStringLiteral("@(\\d{1,4})$"));
    const QRegularExpressionMatch m = suffix.match(text);
    *column = m.hasMatch() ? m.captured(1).toInt() : 0;
    return m.hasMatch() ? text.left(m.capturedStart()) : text;
}
