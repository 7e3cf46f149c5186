#include "session/Session.h"

#include "app/OutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr const char *Format = "lumenstack-session";
constexpr int FormatVersion = 1;
// A session of two series of a few thousand images each is well below this;
// a larger file is no session and is not read into memory.
constexpr qint64 MaxSessionBytes = 64 << 20;

QString tr(const char *text) {
    return QCoreApplication::translate("Session", text);
}

// ---- paths: relative below the session's folder, absolute elsewhere ----

// A layout shipped with the program (":/layouts/NAME.ini").
bool isResource(const QString &path) {
    return path.startsWith(QLatin1Char(':'));
}

QString storedPath(const QString &path, const QDir &base) {
    const QString relative = base.relativeFilePath(path);
    if (relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative))
        return QDir::cleanPath(path);
    return relative;
}

QString loadedPath(const QString &stored, const QDir &base) {
    return QDir::cleanPath(base.absoluteFilePath(stored));
}

// ---- writing ----

QJsonValue fileJson(const SessionFile &f, const QDir &base) {
    if (!f.isSet())
        return QJsonValue();
    return QJsonObject{{"path", storedPath(f.path, base)},
                       {"size", double(f.size)},
                       {"modified", f.modified.toString(Qt::ISODateWithMs)}};
}

QJsonArray filesJson(const QVector<SessionFile> &files, const QDir &base) {
    QJsonArray a;
    for (const SessionFile &f : files)
        a.append(fileJson(f, base));
    return a;
}

const char *modeName(SessionEnergy::Mode m) {
    return m == SessionEnergy::Mode::FileNumber  ? "fileNumber"
           : m == SessionEnergy::Mode::Reference ? "reference"
                                                 : "fileName";
}

QJsonObject energyJson(const SessionEnergy &e, const QDir &base) {
    if (e.sameAsI1)
        return QJsonObject{{"sameAsI1", true}};
    return QJsonObject{{"mode", modeName(e.mode)},
                       {"pattern", e.pattern},
                       {"factor", e.factor},
                       {"unit", e.unit},
                       {"evenInAngle", e.evenInAngle},
                       {"start", e.start},
                       {"delta", e.delta},
                       {"end", e.end},
                       {"points", e.points},
                       {"reference", fileJson(e.reference, base)}};
}

QJsonObject seriesJson(const SessionSeries &s, const QDir &base) {
    return QJsonObject{{"files", filesJson(s.files, base)},
                       {"stack", fileJson(s.stack, base)},
                       {"layout", isResource(s.layout) ? s.layout : storedPath(s.layout, base)},
                       {"energy", energyJson(s.energy, base)},
                       {"skip", s.skip},
                       {"cutFirst", s.cutFirst},
                       {"cutLast", s.cutLast}};
}

QJsonObject suggestionJson(const SessionSuggestion &s) {
    return QJsonObject{{"use", s.use},
                       {"element", s.element},
                       {"edge", s.edge},
                       {"edgeEnergy", s.edgeEnergy},
                       {"preEnd", s.preEnd},
                       {"postStart", s.postStart},
                       {"fixedE0", s.fixedE0 ? QJsonValue(s.fixedE0Energy) : QJsonValue()}};
}

QJsonArray referencesJson(const QVector<SessionReference> &refs, const QDir &base) {
    QJsonArray a;
    for (const SessionReference &r : refs)
        a.append(QJsonObject{{"row", r.row},
                             {"file", fileJson(r.file, base)},
                             {"use", r.use},
                             {"dE", r.dE},
                             {"background", r.victoreen ? "victoreen" : "straight"}});
    return a;
}

QJsonValue areaJson(const QRectF &r) {
    return r.isNull() ? QJsonValue() : QJsonArray{r.left(), r.top(), r.right(), r.bottom()};
}

QJsonObject toJson(const Session &s, const QDir &base) {
    QJsonArray shifts;
    for (const SessionShift &sh : s.shifts)
        shifts.append(QJsonArray{sh.image, sh.dx, sh.dy});
    QJsonObject fields;
    for (auto it = s.fields.cbegin(); it != s.fields.cend(); ++it)
        fields.insert(it.key(), it.value());
    const QJsonValue area = areaJson(s.area);
    return QJsonObject{
        {"format", Format},
        {"version", FormatVersion},
        {"i1", seriesJson(s.i1, base)},
        {"i0", seriesJson(s.i0, base)},
        {"dark", fileJson(s.dark, base)},
        {"background", fileJson(s.background, base)},
        {"totalI0OfI1", fileJson(s.totalI0OfI1, base)},
        {"totalI0OfI0", fileJson(s.totalI0OfI0, base)},
        {"useI0", s.useI0},
        {"fluorescence", s.fluorescence},
        {"bin", QJsonArray{s.binW, s.binH}},
        {"area", area},
        {"darkAreas", QJsonObject{{"i1", areaJson(s.darkAreaI1)}, {"i0", areaJson(s.darkAreaI0)}}},
        {"point", QJsonArray{s.point.x(), s.point.y()}},
        {"suggestion", suggestionJson(s.suggestion)},
        {"references", referencesJson(s.references, base)},
        {"fit", QJsonObject{{"kind", s.mlcf ? "MLCF" : "LCF"},
                            {"old", s.lcfOld},
                            {"nonNegative", s.nonNegative},
                            {"sumToOne", s.sumToOne}}},
        {"registrationShifts", shifts},
        {"shiftMap", fileJson(s.shiftMap, base)},
        {"analysis",
         QJsonObject{{"mode", s.analysisMode}, {"raEnergy", s.raEnergy}, {"raFactor", s.raFactor}}},
        {"fields", fields}};
}

// ---- reading: every member is checked for its type ----

class Reader {
public:
    explicit Reader(const QDir &base) : m_base(base) {}
    QString error;

    bool fail(const QString &what) {
        if (error.isEmpty())
            error = what;
        return false;
    }

    SessionFile file(const QJsonValue &v, const QString &where) {
        SessionFile f;
        if (v.isNull() || v.isUndefined())
            return f;
        const QJsonObject o = v.toObject();
        const QString path = o.value("path").toString();
        const QDateTime modified =
            QDateTime::fromString(o.value("modified").toString(), Qt::ISODateWithMs);
        if (path.isEmpty() || !o.value("size").isDouble() || !modified.isValid()) {
            fail(tr("%1: a file needs a path, a size and a modification time").arg(where));
            return f;
        }
        f.path = loadedPath(path, m_base);
        f.size = qint64(o.value("size").toDouble());
        f.modified = modified.toUTC();
        return f;
    }

    SessionEnergy energy(const QJsonObject &o, const QString &where) {
        SessionEnergy e;
        e.sameAsI1 = o.value("sameAsI1").toBool();
        if (e.sameAsI1)
            return e;
        const QString mode = o.value("mode").toString();
        e.mode = mode == "fileNumber"  ? SessionEnergy::Mode::FileNumber
                 : mode == "reference" ? SessionEnergy::Mode::Reference
                                       : SessionEnergy::Mode::FileName;
        e.pattern = o.value("pattern").toString();
        e.factor = o.value("factor").toDouble(1);
        e.unit = o.value("unit").toInt();
        e.evenInAngle = o.value("evenInAngle").toBool(true);
        e.start = o.value("start").toDouble(8000);
        e.delta = o.value("delta").toDouble(1);
        e.end = o.value("end").toDouble(9000);
        e.points = o.value("points").toInt(1000);
        e.reference = file(o.value("reference"), where + tr(" energy reference"));
        return e;
    }

    SessionSeries series(const QJsonObject &o, const QString &name) {
        SessionSeries s;
        for (const QJsonValue &v : o.value("files").toArray()) {
            s.files.append(file(v, name));
            if (!s.files.last().isSet())
                fail(tr("%1: a file of the series has no path").arg(name));
        }
        s.stack = file(o.value("stack"), name + tr(" stack"));
        s.layout = o.value("layout").toString();
        if (!s.layout.isEmpty() && !isResource(s.layout))
            s.layout = loadedPath(s.layout, m_base);
        s.energy = energy(o.value("energy").toObject(), name);
        s.skip = o.value("skip").toInt(1);
        s.cutFirst = o.value("cutFirst").toInt();
        s.cutLast = o.value("cutLast").toInt();
        return s;
    }

    void suggestion(const QJsonObject &o, SessionSuggestion *s) {
        s->use = o.value("use").toBool();
        s->element = o.value("element").toString();
        s->edge = o.value("edge").toInt();
        s->edgeEnergy = o.value("edgeEnergy").toString();
        s->preEnd = o.value("preEnd").toString();
        s->postStart = o.value("postStart").toString();
        s->fixedE0 = o.value("fixedE0").isDouble();
        s->fixedE0Energy = o.value("fixedE0").toDouble();
    }

    QVector<SessionReference> references(const QJsonArray &a) {
        QVector<SessionReference> refs;
        for (const QJsonValue &v : a) {
            const QJsonObject o = v.toObject();
            SessionReference r;
            r.row = o.value("row").toInt(-1);
            r.file = file(o.value("file"), tr("reference row"));
            if (r.row < 0 || !r.file.isSet())
                fail(tr("a reference row needs its row number and its file"));
            r.use = o.value("use").toBool(true);
            r.dE = o.value("dE").toDouble();
            r.victoreen = o.value("background").toString() == "victoreen";
            refs.append(r);
        }
        return refs;
    }

    QPoint point(const QJsonValue &v) {
        const QJsonArray a = v.toArray();
        return QPoint(a.at(0).toInt(), a.at(1).toInt());
    }

    QRectF area(const QJsonValue &v) {
        const QJsonArray a = v.toArray();
        if (a.size() != 4)
            return QRectF();
        return QRectF(QPointF(a.at(0).toDouble(), a.at(1).toDouble()),
                      QPointF(a.at(2).toDouble(), a.at(3).toDouble()));
    }

    QVector<SessionShift> shifts(const QJsonArray &a) {
        QVector<SessionShift> out;
        for (const QJsonValue &v : a) {
            const QJsonArray s = v.toArray();
            if (s.size() != 3 || !s.at(0).isDouble())
                fail(tr("a registration shift is [image, dx, dy]"));
            out.append({s.at(0).toInt(), s.at(1).toDouble(), s.at(2).toDouble()});
        }
        return out;
    }

    bool session(const QJsonObject &o, Session *s) {
        if (o.value("format").toString() != Format)
            return fail(tr("not a session file (no \"format\": \"%1\")").arg(Format));
        if (o.value("version").toInt() > FormatVersion)
            return fail(
                tr("written by a newer program (version %1)").arg(o.value("version").toInt()));
        s->i1 = series(o.value("i1").toObject(), QStringLiteral("I1"));
        s->i0 = series(o.value("i0").toObject(), QStringLiteral("I0"));
        s->dark = file(o.value("dark"), tr("dark"));
        // Absent in sessions written before the spectra were kept: none.
        s->background = file(o.value("background"), tr("background spectrum"));
        s->totalI0OfI1 = file(o.value("totalI0OfI1"), tr("total I0 of I1"));
        s->totalI0OfI0 = file(o.value("totalI0OfI0"), tr("total I0 of I0"));
        s->useI0 = o.value("useI0").toBool();
        s->fluorescence = o.value("fluorescence").toBool();
        const QPoint bin = point(o.value("bin"));
        s->binW = bin.x();
        s->binH = bin.y();
        s->area = area(o.value("area"));
        // Absent in sessions written before the dark areas were kept: none.
        const QJsonObject darkAreas = o.value("darkAreas").toObject();
        s->darkAreaI1 = area(darkAreas.value("i1"));
        s->darkAreaI0 = area(darkAreas.value("i0"));
        s->point = point(o.value("point"));
        suggestion(o.value("suggestion").toObject(), &s->suggestion);
        s->references = references(o.value("references").toArray());
        const QJsonObject fit = o.value("fit").toObject();
        s->mlcf = fit.value("kind").toString() == "MLCF";
        s->lcfOld = fit.value("old").toBool();
        s->nonNegative = fit.value("nonNegative").toBool();
        s->sumToOne = fit.value("sumToOne").toBool();
        s->shifts = shifts(o.value("registrationShifts").toArray());
        s->shiftMap = file(o.value("shiftMap"), tr("shift map"));
        const QJsonObject analysis = o.value("analysis").toObject();
        s->analysisMode = analysis.value("mode").toInt();
        s->raEnergy = analysis.value("raEnergy").toDouble();
        s->raFactor = analysis.value("raFactor").toDouble();
        const QJsonObject fields = o.value("fields").toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            s->fields.insert(it.key(), it.value().toString());
        return error.isEmpty();
    }

private:
    QDir m_base;
};

} // namespace

SessionFile SessionFile::of(const QString &path) {
    SessionFile f;
    const QFileInfo info(path);
    f.path = QDir::cleanPath(info.absoluteFilePath());
    if (info.isFile()) {
        f.size = info.size();
        f.modified = info.lastModified().toUTC();
    }
    return f;
}

bool SessionEnergy::operator==(const SessionEnergy &o) const {
    if (sameAsI1 || o.sameAsI1)
        return sameAsI1 == o.sameAsI1;
    return mode == o.mode && pattern == o.pattern && factor == o.factor && unit == o.unit &&
           evenInAngle == o.evenInAngle && start == o.start && delta == o.delta && end == o.end &&
           points == o.points && reference == o.reference;
}

bool Session::operator==(const Session &o) const {
    return i1 == o.i1 && i0 == o.i0 && dark == o.dark && background == o.background &&
           totalI0OfI1 == o.totalI0OfI1 && totalI0OfI0 == o.totalI0OfI0 && useI0 == o.useI0 &&
           fluorescence == o.fluorescence && binW == o.binW && binH == o.binH && area == o.area &&
           darkAreaI1 == o.darkAreaI1 && darkAreaI0 == o.darkAreaI0 && point == o.point &&
           suggestion == o.suggestion && references == o.references && mlcf == o.mlcf &&
           lcfOld == o.lcfOld && nonNegative == o.nonNegative && sumToOne == o.sumToOne &&
           shifts == o.shifts && shiftMap == o.shiftMap && analysisMode == o.analysisMode &&
           raEnergy == o.raEnergy && raFactor == o.raFactor && fields == o.fields;
}

QVector<const SessionFile *> Session::files() const {
    QVector<const SessionFile *> all;
    for (const SessionSeries *s : {&i1, &i0}) {
        for (const SessionFile &f : s->files)
            all.append(&f);
        if (s->stack.isSet())
            all.append(&s->stack);
        if (s->energy.reference.isSet() && !s->energy.sameAsI1)
            all.append(&s->energy.reference);
    }
    for (const SessionFile *f : {&dark, &background, &totalI0OfI1, &totalI0OfI0, &shiftMap})
        if (f->isSet())
            all.append(f);
    for (const SessionReference &r : references)
        all.append(&r.file);
    return all;
}

QString Session::staleFile() const {
    for (const SessionFile *f : files()) {
        const SessionFile now = SessionFile::of(f->path);
        if (now.size < 0)
            return tr("%1 is missing").arg(f->path);
        if (now.size != f->size)
            return tr("%1 changed since the session was saved (%2 bytes, %3 then)")
                .arg(f->path)
                .arg(now.size)
                .arg(f->size);
        if (now.modified != f->modified)
            return tr("%1 changed since the session was saved (modified %2, %3 then)")
                .arg(f->path, now.modified.toString(Qt::ISODateWithMs),
                     f->modified.toString(Qt::ISODateWithMs));
    }
    return QString();
}

bool Session::save(const QString &fileName, QString *why) const {
    for (const SessionFile *f : files())
        if (f->size < 0) {
            *why = tr("%1 is gone").arg(f->path);
            return false;
        }
    const QDir base = QFileInfo(fileName).absoluteDir();
    OutputFile out(fileName);
    if (!out.open()) {
        *why = out.errorString();
        return false;
    }
    out.device()->write(QJsonDocument(toJson(*this, base)).toJson(QJsonDocument::Indented));
    if (!out.commit()) {
        *why = out.errorString();
        return false;
    }
    return true;
}

bool Session::load(const QString &fileName, Session *out, QString *why) {
    const QFileInfo info(fileName);
    if (!info.isFile()) {
        *why = info.exists() ? tr("%1 is no regular file").arg(fileName)
                             : tr("%1 does not exist").arg(fileName);
        return false;
    }
    if (info.size() > MaxSessionBytes) {
        *why =
            tr("%1 is larger than a session file can be (%2 bytes)").arg(fileName).arg(info.size());
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = tr("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(MaxSessionBytes), &parse);
    if (!doc.isObject()) {
        *why = tr("%1 is not JSON: %2 at offset %3")
                   .arg(fileName, parse.errorString())
                   .arg(parse.offset);
        return false;
    }
    Session s;
    Reader reader(info.absoluteDir());
    if (!reader.session(doc.object(), &s)) {
        *why = tr("%1: %2").arg(fileName, reader.error);
        return false;
    }
    const QString stale = s.staleFile();
    if (!stale.isEmpty()) {
        *why = stale;
        return false;
    }
    *out = s;
    return true;
}
