#include "session/SessionCommands.h"

#include "batch/ExCmdTable.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("SessionCommands", text);
}

QString number(double v) {
    return QString::number(v, 'g', 17);
}

QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// Builds the lines: each a command name from the table and its arguments.
class Lines {
public:
    void add(EX_CMD_ID id, const QStringList &args = {}) {
        QStringList items{ExCmdTable::nameOf(id)};
        for (const QString &a : args)
            items << SessionBatch::argument(a);
        m_lines << items.join(QLatin1Char(' '));
    }
    // The I1 command of a pair when i1, else the I0 one.
    void add(bool i1, EX_CMD_ID i1Id, EX_CMD_ID i0Id, const QStringList &args = {}) {
        add(i1 ? i1Id : i0Id, args);
    }
    QStringList lines() const { return m_lines; }

private:
    QStringList m_lines;
};

// Each calculation field sets the next derived one: the number of points
// derives the step, the start and the step derive the end. In this order the
// start, step and count end up as saved.
void energyLines(Lines &l, bool i1, const SessionEnergy &e) {
    if (e.sameAsI1)
        return;
    l.add(i1, ENG_CALC_DISP_UNIT_I1, ENG_CALC_DISP_UNIT_I0, {QString::number(e.unit)});
    l.add(i1, SET_I1_ENERGY_PATTERN, SET_I0_ENERGY_PATTERN, {e.pattern});
    l.add(i1, ENG_BY_NAME_FACTOR_I1, ENG_BY_NAME_FACTOR_I0, {number(e.factor)});
    if (e.evenInAngle)
        l.add(i1, ENG_CALC_EVEN_IN_DEG_I1, ENG_CALC_EVEN_IN_DEG_I0, {flag(true)});
    else
        l.add(i1, ENG_CALC_EVEN_IN_ENG_I1, ENG_CALC_EVEN_IN_ENG_I0, {flag(true)});
    l.add(i1, ENG_CALC_NUM_I1, ENG_CALC_NUM_I0, {QString::number(e.points)});
    l.add(i1, ENG_CALC_BASE_I1, ENG_CALC_BASE_I0, {number(e.start)});
    l.add(i1, ENG_CALC_DELTA_I1, ENG_CALC_DELTA_I0, {number(e.delta)});
    switch (e.mode) {
    case SessionEnergy::Mode::FileName:
        l.add(i1, ENG_BY_NAME_I1, ENG_BY_NAME_I0);
        break;
    case SessionEnergy::Mode::FileNumber:
        l.add(i1, ENG_BY_CALC_I1, ENG_BY_CALC_I0, {flag(true)});
        break;
    case SessionEnergy::Mode::Reference:
        l.add(i1, ENG_BY_REF_I1, ENG_BY_REF_I0, {e.reference.path});
        break;
    }
}

// A stack is cut by the loader as it was then.
void stackLines(Lines &l, bool i1, const SessionSeries &s) {
    l.add(i1, CUT_F_I1, CUT_F_I0, {QString::number(s.cutFirst)});
    l.add(i1, CUT_L_I1, CUT_L_I0, {QString::number(s.cutLast)});
    l.add(i1, SKIP_I1, SKIP_I0, {QString::number(s.skip)});
    QStringList args{QStringLiteral("NEW"), s.stack.path};
    if (s.layout.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive))
        args << s.layout;
    l.add(i1, LOAD_I1_FILES, LOAD_I0_FILES, args);
}

// The files go to the loader as saved, which already left out the cut and
// skipped ones: the load itself cuts nothing, the fields are set afterwards.
void seriesLines(Lines &l, bool i1, const SessionSeries &s) {
    if (s.stack.isSet()) {
        stackLines(l, i1, s);
        return;
    }
    l.add(i1, CUT_F_I1, CUT_F_I0, {QStringLiteral("0")});
    l.add(i1, CUT_L_I1, CUT_L_I0, {QStringLiteral("0")});
    l.add(i1, SKIP_I1, SKIP_I0, {QStringLiteral("1")});
    if (s.files.isEmpty()) {
        l.add(i1, CLEAR_I1_FILES, CLEAR_I0_FILES);
    } else {
        QStringList args{QStringLiteral("NEW")};
        for (const SessionFile &f : s.files)
            args << f.path;
        l.add(i1, LOAD_I1_FILES, LOAD_I0_FILES, args);
    }
    l.add(i1, CUT_F_I1, CUT_F_I0, {QString::number(s.cutFirst)});
    l.add(i1, CUT_L_I1, CUT_L_I0, {QString::number(s.cutLast)});
    l.add(i1, SKIP_I1, SKIP_I0, {QString::number(s.skip)});
}

void suggestionLines(Lines &l, const SessionSuggestion &s) {
    if (!s.element.isEmpty())
        l.add(SUGGESTING_ELM, {s.element});
    l.add(SUGGESTING_EDGE, {QString::number(s.edge)});
    l.add(SUGGESTING_EDGE_EV, {s.edgeEnergy});
    l.add(SUGGESTING_PRE_END_EV, {s.preEnd});
    l.add(SUGGESTING_POST_START_EV, {s.postStart});
    l.add(SUGGEST_ELM, {flag(s.use)});
}

// A spectrum file read, or none: the one in use before goes either way.
void spectrumLine(Lines &l, const SessionFile &f, EX_CMD_ID load, EX_CMD_ID clear) {
    if (f.isSet())
        l.add(load, {f.path});
    else
        l.add(clear);
}

// The fields kept as typed, each by its command; a field the session does
// not have is left as it is in the window.
void fieldLines(Lines &l, const QMap<QString, QString> &fields) {
    const auto value = [&fields](const char *name) { return fields.value(QLatin1String(name)); };
    if (!value("DarkExpTime").isEmpty())
        l.add(SET_DARK_EXP_TIME, {value("DarkExpTime")});
    if (!value("ThJumpSigma").isEmpty())
        l.add(SUGGESTING_JUMP_TH, {value("ThJumpSigma")});
}

void analysisLines(Lines &l, const Session &s) {
    // Rows the session does not name must not keep a file of earlier work.
    l.add(ANALYZER_CLEAR_LCF_STD, {QStringLiteral("-1")});
    for (const SessionReference &r : s.references)
        l.add(ANALYZER_SET_LCF_STD, {QString::number(r.row), flag(r.use), number(r.dE), r.file.path,
                                     r.victoreen ? QStringLiteral("VIC") : QStringLiteral("0")});
    l.add(ANALYZER_SET_LCF_MODE, {flag(s.mlcf)});
    l.add(ANALYZER_SET_LCF_OLD, {flag(s.lcfOld)});
    const QString start = s.fields.value(QStringLiteral("LCFRange1"));
    const QString end = s.fields.value(QStringLiteral("LCFRange2"));
    if (!start.isEmpty() && !end.isEmpty())
        l.add(ANALYZER_SET_LCF_RANGE, {start, end});
    l.add(ANALYZER_SET_LCF_NONNEG, {flag(s.nonNegative)});
    l.add(ANALYZER_SET_LCF_SUM1, {flag(s.sumToOne)});
    if (s.suggestion.fixedE0)
        l.add(ANALYZER_SET_FIXED_E0, {flag(true), number(s.suggestion.fixedE0Energy)});
    else
        l.add(ANALYZER_SET_FIXED_E0, {flag(false)});
    l.add(ANALYZER_SELECT_ANALYSIS_MODE, {QString::number(s.analysisMode)});
    l.add(ANALYZER_SET_RA_ENERGY, {number(s.raEnergy)});
    l.add(ANALYZER_SET_RA_FACTOR, {number(s.raFactor)});
}

void regionLine(Lines &l, const QRectF &r) {
    l.add(SELECT_REGION,
          {QString::number(std::lround(r.left())), QString::number(std::lround(r.top())),
           QString::number(std::lround(r.right())), QString::number(std::lround(r.bottom()))});
}

void darkAreaLine(Lines &l, const QRectF &area, EX_CMD_ID set, EX_CMD_ID clear) {
    if (area.isNull()) {
        l.add(clear);
        return;
    }
    regionLine(l, area);
    l.add(set);
}

} // namespace

namespace SessionBatch {

QString argument(const QString &text) {
    const bool plain = !text.isEmpty() && !text.contains(QLatin1Char('"')) &&
                       std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
    return plain ? text : QLatin1Char('"') + text + QLatin1Char('"');
}

QStringList lines(const Session &s, const QString &shiftFile) {
    Lines l;
    // The dark first: a stack load then takes no dark of its own.
    spectrumLine(l, s.dark, LOAD_DARK, CLEAR_DARK);
    energyLines(l, true, s.i1.energy);
    energyLines(l, false, s.i0.energy);
    if (s.i0.energy.sameAsI1)
        l.add(ENG_SAME_AS_I1_I0, {flag(true)});
    seriesLines(l, true, s.i1);
    seriesLines(l, false, s.i0);
    spectrumLine(l, s.totalI0OfI1, LOAD_TOTAL_I0_OF_I1, CLEAR_TOTAL_I0_OF_I1);
    spectrumLine(l, s.totalI0OfI0, LOAD_TOTAL_I0_OF_I0, CLEAR_TOTAL_I0_OF_I0);
    spectrumLine(l, s.background, LOAD_BG, CLEAR_BG);
    fieldLines(l, s.fields);
    // Measured on the loaded images with the dark exposure just set; each
    // takes the selection it is made from.
    darkAreaLine(l, s.darkAreaI1, SET_I1_DARK_AREA, CLEAR_I1_DARK_AREA);
    darkAreaLine(l, s.darkAreaI0, SET_I0_DARK_AREA, CLEAR_I0_DARK_AREA);
    l.add(USE_I0, {flag(s.useI0)});
    l.add(SET_FLUO_TYPE, {flag(s.fluorescence)});
    l.add(SET_BAND_W, {QString::number(s.binW)});
    l.add(SET_BAND_H, {QString::number(s.binH)});
    suggestionLines(l, s.suggestion);
    analysisLines(l, s);
    if (s.shifts.isEmpty())
        l.add(CLEAR_SHIFTS);
    else
        l.add(LOAD_SHIFTS, {shiftFile});
    if (s.shiftMap.isSet())
        l.add(CALIB_LOAD_MAP, {s.shiftMap.path});
    else
        l.add(CALIB_CLEAR_MAP);
    if (!s.area.isNull())
        regionLine(l, s.area);
    l.add(MOVE_POSITION, {QString::number(s.point.x()), QString::number(s.point.y())});
    return l.lines();
}

} // namespace SessionBatch

SessionCommands::SessionCommands(Capture capture, Apply apply)
    : m_capture(std::move(capture)), m_apply(std::move(apply)) {}

QString SessionCommands::save(const CmdLine &cmd) const {
    const QString fileName = cmd.arg(0);
    if (fileName.isEmpty())
        return tr("Session not saved: no file given");
    QString why;
    if (!m_capture().save(fileName, &why))
        return tr("Session not saved to %1: %2").arg(fileName, why);
    return QString();
}

QString SessionCommands::load(const CmdLine &cmd) const {
    const QString fileName = cmd.arg(0);
    if (fileName.isEmpty())
        return tr("Session not loaded: no file given");
    Session s;
    QString why;
    if (!Session::load(fileName, &s, &why))
        return tr("Session not loaded from %1, nothing changed: %2").arg(fileName, why);
    why = m_apply(s);
    if (!why.isEmpty())
        return tr("Session not loaded from %1, nothing changed: %2").arg(fileName, why);
    return QString();
}
