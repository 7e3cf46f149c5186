#include "analysis/EmpFile.h"

#include "analysis/Analyzed2DRes.h"
#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "app/TextFileLimits.h"
#include "app/TextLine.h"
#include "spectrum/PhysicalConstants.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

// The angle conversions of this file use this value of pi, so that a map
// written by one version of the program reads back the same in another.
constexpr double Pi = 3.1415926535;

const char *const Magic = "###Lumenstack::LMSK";
const char *const OldMagic = "###LMSK";
const char *const Separator = "##-----------------";

// Header keys: the name padded to 24 characters, then ": ".
QString key(const char *name) {
    return QString::fromLatin1(name).leftJustified(24) + QStringLiteral(": ");
}

// Largest map the reader accepts (8192 x 8192 pixels, 1 GiB for its two grids).
constexpr qint64 MaxCells = qint64(1) << 26;
constexpr int MaxSide = 65536;
// A header longer than this is not an energy map header.
constexpr qint64 MaxHeaderBytes = 1 << 20;

const Crystal Crystals[] = {
    {"Si(111)", 3.1355316}, {"Si(311)", 1.637478},  {"Si(333)", 1.0451772},
    {"Ge(111)", 3.2663822}, {"Ge(333)", 1.0887941},
};

} // namespace

// ------------------------------------------------------------------ Bragg

double Bragg::angleDeg(double energyEV, double spacing) {
    const double s = PhysicalConstants::hcEvAngstrom / energyEV / (2 * spacing);
    if (!(std::abs(s) <= 1))
        return -1;
    return std::asin(s) * 180 / Pi;
}

double Bragg::energyAt(double angleDeg, double spacing) {
    return PhysicalConstants::hcEvAngstrom / (2 * std::sin(angleDeg * Pi / 180) * spacing);
}

int crystalCount() {
    return int(sizeof(Crystals) / sizeof(Crystals[0]));
}

const Crystal &crystal(int i) {
    return Crystals[i];
}

double crystalSpacing(const QString &name) {
    for (const Crystal &c : Crystals)
        if (name == QLatin1String(c.name))
            return c.spacing;
    return 0;
}

// ------------------------------------------------------------------ writing

namespace {

QByteArray headerText(const Analyzed2DRes &map, const EmpFile::WriteInfo &info) {
    const AnalyzeCond &w = info.walk;
    const auto num = [](double v) { return QString::number(v, 'g', 6); };
    QString h;
    const auto line = [&h](const QString &text) { h += text + QLatin1Char('\n'); };
    line(QLatin1String(Magic));
    line(key("Record Date") +
         QDateTime::currentDateTime().toString(QStringLiteral("yy/MM/dd hh:mm:ss.zzz")));
    line(key("Std Edge Energy [eV]") + num(info.stdEdgeEnergy));
    line(key("Spacing [nm]") + num(info.spacing));
    line(key("X Offset [pix]") + QString::number(info.xOffset));
    line(key("Y Offset [pix]") + QString::number(info.yOffset));
    line(key("Width [pix]") + QString::number(info.dataWidth));
    line(key("Height [pix]") + QString::number(info.dataHeight));
    line(key("Bin Half Width [pix]") + QString::number(w.hx));
    line(key("Bin Half Height [pix]") + QString::number(w.hy));
    line(key("Area X0") + QString::number(w.x0));
    line(key("Area X1") + QString::number(w.x1));
    line(key("Area Y0") + QString::number(w.y0));
    line(key("Area Y1") + QString::number(w.y1));
    line(key("Std File Name") + info.stdFileName);
    line(key("Map Height") + QString::number(map.height()));
    for (int r = 0; r < map.height(); ++r)
        line(key("Map Width") + QString::number(r) + QLatin1Char(' ') +
             QString::number(map.width()));
    line(QLatin1String(Separator));
    return h.toUtf8();
}

// One data row: each angle difference in %.6g form followed by a blank.
void appendRow(QByteArray &out, const Analyzed2DRes &map, const EmpFile::WriteInfo &info, int y,
               double thetaStd) {
    char buf[40];
    for (int x = 0; x < info.dataWidth; ++x) {
        const double v = map.valueAt(x, y);
        const double dTheta = Bragg::angleDeg(info.stdEdgeEnergy - v, info.spacing) - thetaStd;
        const auto r =
            std::to_chars(buf, buf + sizeof(buf) - 1, dTheta, std::chars_format::general, 6);
        *r.ptr = ' ';
        out.append(buf, int(r.ptr - buf) + 1);
    }
    out.append('\n');
}

} // namespace

QString EmpFile::withSuffix(const QString &fileName) {
    if (QFileInfo(fileName).suffix().isEmpty())
        return fileName + QStringLiteral(".emp");
    return fileName;
}

bool EmpFile::write(const QString &fileName, const Analyzed2DRes &map, const WriteInfo &info) {
    OutputFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        DebugLog::write(QStringLiteral("Can not open ") + fileName);
        return false;
    }
    file.device()->write(headerText(map, info));
    DebugLog::writeTimeStamp(QStringLiteral("EMap Write Start : "));
    const double thetaStd = Bragg::angleDeg(info.stdEdgeEnergy, info.spacing);
    QByteArray rows;
    rows.reserve(qMax(info.dataWidth, 0) * 14 + 16);
    for (int y = 0; y < info.dataHeight; ++y) {
        rows.resize(0);
        appendRow(rows, map, info, y, thetaStd);
        file.device()->write(rows);
    }
    DebugLog::writeTimeStamp(QStringLiteral("EMap Write End   : "));
    if (!file.commit()) {
        DebugLog::write(QStringLiteral("Can not open ") + fileName);
        return false;
    }
    return true;
}

// ------------------------------------------------------------------ header

namespace {

struct HeaderSeen {
    bool width = false, height = false, energy = false, spacing = false;
};

bool intField(const QString &line, const char *name, int *field, bool *seen = nullptr) {
    QStringList items;
    if (!TextLine::itemsAfterPrefix(line, key(name), &items))
        return false;
    *field = items.isEmpty() ? 0 : items.first().toInt();
    if (seen)
        *seen = true;
    return true;
}

bool doubleField(const QString &line, const char *name, double *field, bool *seen) {
    QStringList items;
    if (!TextLine::itemsAfterPrefix(line, key(name), &items))
        return false;
    *field = items.isEmpty() ? 0 : items.first().toDouble();
    *seen = true;
    return true;
}

// Every key begins with a capital letter at the start of the line; other
// lines (blank, "Record Date", the map widths) end here cheaply, so a header
// of a million blank lines costs no more than reading it.
void readHeaderLine(const QString &line, EMPHeader &h, HeaderSeen &seen) {
    if (line.isEmpty() || !line.at(0).isUpper())
        return;
    intField(line, "X Offset [pix]", &h.xOffset) || intField(line, "Y Offset [pix]", &h.yOffset) ||
        intField(line, "Width [pix]", &h.width, &seen.width) ||
        intField(line, "Height [pix]", &h.height, &seen.height) ||
        intField(line, "Bin Half Width [pix]", &h.halfWidth) ||
        intField(line, "Bin Half Height [pix]", &h.halfHeight) ||
        intField(line, "Area X0", &h.areaX0) || intField(line, "Area X1", &h.areaX1) ||
        intField(line, "Area Y0", &h.areaY0) || intField(line, "Area Y1", &h.areaY1) ||
        doubleField(line, "Std Edge Energy [eV]", &h.stdEdgeEnergy, &seen.energy) ||
        doubleField(line, "Spacing [nm]", &h.spacing, &seen.spacing);
}

// The next line of text from *pos (without its line end); false at the end.
bool nextLine(const QByteArray &text, int *pos, QString *line) {
    if (*pos >= text.size())
        return false;
    int end = text.indexOf('\n', *pos);
    const int next = end < 0 ? text.size() : end + 1;
    if (end < 0)
        end = text.size();
    if (end > *pos && text.at(end - 1) == '\r')
        --end;
    *line = QString::fromUtf8(text.constData() + *pos, end - *pos);
    *pos = next;
    return true;
}

} // namespace

EMPHeader EmpFile::parseHeader(const QByteArray &text, int *dataStart) {
    EMPHeader h;
    int pos = 0;
    QString line;
    if (dataStart)
        *dataStart = text.size();
    if (!nextLine(text, &pos, &line) ||
        !(line.startsWith(QLatin1String(OldMagic)) || line.startsWith(QLatin1String(Magic)))) {
        DebugLog::write(QStringLiteral("Not a emp file."));
        return h;
    }
    HeaderSeen seen;
    while (nextLine(text, &pos, &line)) {
        if (line.startsWith(QLatin1String(Separator))) {
            h.valid = seen.width && seen.height && seen.energy && seen.spacing;
            if (dataStart)
                *dataStart = pos;
            return h;
        }
        readHeaderLine(line, h, seen);
    }
    return h;
}

QByteArray EmpFile::headerWithArea(const QByteArray &header, const AnalyzeCond &walk) {
    const std::pair<const char *, int> area[] = {
        {"Area X0", walk.x0}, {"Area X1", walk.x1}, {"Area Y0", walk.y0}, {"Area Y1", walk.y1}};
    QList<QByteArray> lines = header.split('\n');
    for (QByteArray &line : lines)
        for (const auto &[name, value] : area)
            if (line.startsWith(key(name).toUtf8()))
                line = key(name).toUtf8() + QByteArray::number(value);
    return lines.join('\n');
}

// ------------------------------------------------------------------ reading

namespace {

using EmpFile::LoadResult;
using EmpFile::LoadStatus;

LoadResult failed(LoadStatus status, const EMPHeader &h) {
    LoadResult r;
    r.status = status;
    r.header = h;
    r.header.valid = false;
    return r;
}

// Reads the header part of the file (up to and including the separator line)
// without reading the data.
// The header up to and including the separator line (at most MaxHeaderBytes);
// the file is left at the first data byte. One block is read and cut: a
// line-by-line read with that cap would reserve the whole cap for every
// line, and a header of a million empty lines would never end.
QByteArray readHeaderBytes(QFile &file) {
    const qint64 start = file.pos();
    QByteArray text = file.read(MaxHeaderBytes);
    for (int at = 0; at < text.size();) {
        const int lineFeed = text.indexOf('\n', at);
        const int next = lineFeed < 0 ? text.size() : lineFeed + 1;
        if (QByteArray::fromRawData(text.constData() + at, next - at).startsWith(Separator)) {
            text.truncate(next);
            break;
        }
        at = next;
    }
    file.seek(start + text.size());
    return text;
}

// Whitespace-separated numbers read in chunks, so a file never costs more
// memory than its map; a token longer than any number is not one.
class NumberReader {
public:
    explicit NumberReader(QFile &file) : m_file(file) {}

    enum Result { Number, End, NotANumber };

    Result next(double *value, QByteArray *token) {
        for (;;) {
            if (m_pos >= m_buf.size()) {
                if (!fill())
                    return End;
            } else if (isBlank(m_buf.at(m_pos))) {
                ++m_pos;
            } else {
                break;
            }
        }
        int length = 0;
        for (;;) {
            if (m_pos + length >= m_buf.size()) {
                if (!fill())
                    break;
            } else if (isBlank(m_buf.at(m_pos + length)) || length > MaxToken) {
                break;
            } else {
                ++length;
            }
        }
        const char *begin = m_buf.constData() + m_pos;
        const char *end = begin + length;
        m_pos += length;
        const char *digits = begin < end && *begin == '+' ? begin + 1 : begin;
        const auto r = std::from_chars(digits, end, *value);
        if (length > MaxToken || r.ec != std::errc() || r.ptr != end) {
            *token = QByteArray(begin, std::min(length, 40));
            return NotANumber;
        }
        return Number;
    }

private:
    static constexpr int MaxToken = 64;
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    // Appends the next chunk to the unread rest; false at the end of the file.
    bool fill() {
        if (m_eof)
            return false;
        const QByteArray more = m_file.read(1 << 20);
        if (more.isEmpty()) {
            m_eof = true;
            return false;
        }
        m_buf = m_buf.mid(m_pos) + more;
        m_pos = 0;
        return true;
    }

    QFile &m_file;
    QByteArray m_buf;
    int m_pos = 0;
    bool m_eof = false;
};

// Clamps the header's geometry to what can describe a map of its size.
AnalyzeCond walkOf(const EMPHeader &h) {
    const int side = std::max(h.width, h.height);
    const int hx = std::clamp(h.halfWidth, 0, side);
    const int hy = std::clamp(h.halfHeight, 0, side);
    const int x0 = std::clamp(h.areaX0, 0, h.width), x1 = std::clamp(h.areaX1, 0, h.width);
    const int y0 = std::clamp(h.areaY0, 0, h.height), y1 = std::clamp(h.areaY1, 0, h.height);
    return AnalyzeCond(h.width, h.height, hx, hy, x0, y0, x1 - x0, y1 - y0);
}

bool reasonable(const EMPHeader &h, qint64 dataBytes, const QString &fileName) {
    const bool sides = h.width > 0 && h.height > 0 && h.width <= MaxSide && h.height <= MaxSide;
    const qint64 cells = sides ? qint64(h.width) * h.height : 0;
    // Every value of a complete file takes two bytes at least ("0 "); a file
    // with less than half of that cannot be the map its header claims.
    if (!sides || cells > MaxCells || cells > dataBytes) {
        DebugLog::write(QStringLiteral("Energy Map size %1 x %2 : does not fit the file : %3")
                            .arg(h.width)
                            .arg(h.height)
                            .arg(fileName));
        return false;
    }
    if (!(std::isfinite(h.spacing) && h.spacing > 0 && std::isfinite(h.stdEdgeEnergy))) {
        DebugLog::write(QStringLiteral("Invalid Energy Map Data File : ") + fileName);
        return false;
    }
    return true;
}

} // namespace

LoadResult EmpFile::load(const QString &fileName, Analyzed2DRes &map, const LoadOptions &o) {
    QFile file(fileName);
    if (TextFileLimits::refuseSpecialFile(fileName) || !file.open(QIODevice::ReadOnly)) {
        DebugLog::write(QStringLiteral("Can not open ") + fileName);
        return failed(LoadStatus::CannotOpen, EMPHeader());
    }
    const EMPHeader h = parseHeader(readHeaderBytes(file));
    if (!h.valid) {
        DebugLog::write(QStringLiteral("Invalid Energy Map Data File : ") + fileName);
        return failed(LoadStatus::InvalidHeader, h);
    }
    if (o.checkSize && o.imagesLoaded && (h.width != o.imageWidth || h.height != o.imageHeight)) {
        DebugLog::write(QStringLiteral("Loading Energy Map size : %1 x %2 : is not matched to the "
                                       "current image size : %3 x %4")
                            .arg(h.width)
                            .arg(h.height)
                            .arg(o.imageWidth)
                            .arg(o.imageHeight));
        return failed(LoadStatus::SizeMismatch, h);
    }
    if (!reasonable(h, file.size() - file.pos(), fileName))
        return failed(LoadStatus::Unreasonable, h);
    const double u = o.edgeEnergy > 0 ? o.edgeEnergy : h.stdEdgeEnergy;
    const double thetaU = Bragg::angleDeg(u, h.spacing);
    if (!(u > 0) || thetaU == -1) {
        DebugLog::write(QStringLiteral("No Bragg angle at %1 eV for the spacing %2 : %3")
                            .arg(u)
                            .arg(h.spacing)
                            .arg(fileName));
        return failed(LoadStatus::NoBraggAngle, h);
    }
    DebugLog::writeTimeStamp(QStringLiteral("Start Reading EMP file "));
    std::vector<double> angles(size_t(h.width) * size_t(h.height), 0.0);
    NumberReader reader(file);
    LoadResult result;
    result.header = h;
    QByteArray token;
    for (double &a : angles) {
        const NumberReader::Result r = reader.next(&a, &token);
        if (r == NumberReader::NotANumber) {
            DebugLog::write(QStringLiteral("Not a number in the Energy Map Data File : %1 : %2")
                                .arg(QString::fromUtf8(token), fileName));
            return failed(LoadStatus::BadData, h);
        }
        if (r == NumberReader::End) {
            a = 0;
            ++result.missingValues;
        }
    }
    if (result.missingValues > 0)
        DebugLog::write(QStringLiteral("run out!"));
    map.prepare(walkOf(h));
    for (int y = 0; y < h.height; ++y) {
        for (int x = 0; x < h.width; ++x) {
            const double dTheta = angles[size_t(x) + size_t(y) * size_t(h.width)];
            const double v = u - Bragg::energyAt(dTheta + thetaU, h.spacing);
            map.setData(x, y, 0, 0, std::isfinite(v) ? v : 0.0);
        }
    }
    map.markFilled();
    DebugLog::writeTimeStamp(QStringLiteral("End Reading EMP file   "));
    result.status = LoadStatus::Loaded;
    result.header.valid = true;
    return result;
}
