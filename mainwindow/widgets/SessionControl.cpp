#include "mainwindow/widgets/SessionControl.h"

#include "analysis/ImageRegistration.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/LCFReference.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/AppSettings.h"
#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/WidgetFields.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/InputCommands.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>

namespace {

// The fields a session keeps as typed; their commands put them back.
const QStringList &windowFields() {
    static const QStringList names = {InputCommands::JumpThresholdField,
                                      InputCommands::DarkExposureField};
    return names;
}

const QStringList &analyzerFields() {
    static const QStringList names = {InputCommands::LcfRangeStartField,
                                      InputCommands::LcfRangeEndField};
    return names;
}

// The file a spectrum chooser holds, as it is on disk now; none when empty.
SessionFile fileOf(const QString &path) {
    return path.isEmpty() ? SessionFile() : SessionFile::of(path);
}

template <class W> W *child(const QObject *root, const char *name) {
    return root->findChild<W *>(QLatin1String(name));
}

QString text(const QObject *root, const char *name) {
    const QLineEdit *e = child<QLineEdit>(root, name);
    return e ? e->text() : QString();
}

bool checked(const QObject *root, const char *name) {
    const QAbstractButton *b = child<QAbstractButton>(root, name);
    return b && b->isChecked();
}

SessionEnergy energyOf(const SelectDataFiles *panel) {
    SessionEnergy e;
    const EOFSetup *setup = panel->eofSetup();
    e.sameAsI1 = panel->energiesFromLeader();
    const EofSettings s = setup->settings();
    e.mode = s.mode == EofSettings::Mode::FromFileNum   ? SessionEnergy::Mode::FileNumber
             : s.mode == EofSettings::Mode::FromRefFile ? SessionEnergy::Mode::Reference
                                                        : SessionEnergy::Mode::FileName;
    e.pattern = s.pattern;
    e.factor = s.factor;
    e.unit = int(s.unit);
    e.evenInAngle = s.evenInAngle;
    e.start = s.start;
    e.delta = s.delta;
    e.end = s.end;
    e.points = s.numOfPoints;
    const QString ref = text(setup, "RefFilePath");
    if (e.mode == SessionEnergy::Mode::Reference && !ref.isEmpty())
        e.reference = SessionFile::of(ref);
    return e;
}

// An image read from an HDF5 stack is named "FILE:DATASET[FRAME]".
QString stackFileOf(const QString &imageName) {
    static const QRegularExpression frame(QStringLiteral("^(.+):/[^\\[]*\\[\\d+\\]$"));
    const QRegularExpressionMatch m = frame.match(imageName);
    return m.hasMatch() && QFileInfo(m.captured(1)).isFile() ? m.captured(1) : QString();
}

// layout: the stack layout the last stack load used.
SessionSeries seriesOf(const QVector<TiffData *> &images, const SelectDataFiles *panel,
                       const QString &layout) {
    SessionSeries s;
    const QString stack = images.isEmpty() ? QString() : stackFileOf(images.first()->fileName());
    if (!stack.isEmpty()) {
        s.stack = SessionFile::of(stack);
        s.layout = layout.isEmpty() ? panel->stackLayout() : layout;
        if (QFileInfo(s.layout).isFile() && !s.layout.startsWith(QLatin1Char(':')))
            s.layout = QFileInfo(s.layout).absoluteFilePath();
    }
    for (const TiffData *image : images)
        if (stack.isEmpty())
            s.files.append(SessionFile::of(image->fileName()));
    s.energy = energyOf(panel);
    s.skip = panel->skip();
    s.cutFirst = panel->cutFirst();
    s.cutLast = panel->cutLast();
    return s;
}

} // namespace

SessionControl::SessionControl(Body *body)
    : QObject(body), m_body(body),
      m_commands([this] { return capture(); }, [this](const Session &s) { return apply(s); }) {}

void SessionControl::registerCommands() {
    (new InputCommands(m_body))->registerCommands();
    m_body->registerAtOnce(SESSION_SAVE, [this](const CmdLine &c) {
        const QString why = m_commands.save(c);
        if (!why.isEmpty())
            UserMessages::refuse(why);
    });
    m_body->registerAtOnce(SESSION_LOAD, [this](const CmdLine &c) {
        const QString why = m_commands.load(c);
        if (!why.isEmpty())
            UserMessages::refuse(why);
    });
}

void SessionControl::addMenuActions(QMenu *file) {
    file->addAction(tr("Save Session..."), this, [this] {
        const QString name = QFileDialog::getSaveFileName(
            m_body, tr("Save Session"), AppSettings::dataRoot(), tr("Session (*.json)"));
        if (!name.isEmpty())
            runChosen(SESSION_SAVE, name);
    });
    file->addAction(tr("Open Session..."), this, [this] {
        const QString name = QFileDialog::getOpenFileName(
            m_body, tr("Open Session"), AppSettings::dataRoot(), tr("Session (*.json)"));
        if (!name.isEmpty())
            runChosen(SESSION_LOAD, name);
    });
}

// As a batch line: the window then executes it as any batch command, and the
// settings of a loaded session follow it.
void SessionControl::runChosen(EX_CMD_ID id, const QString &fileName) {
    const QString line =
        ExCmdTable::nameOf(id) + QLatin1Char(' ') + SessionBatch::argument(fileName);
    emit commandChosen(line);
    m_body->runNext({line});
}

bool SessionControl::saveSession(const QString &fileName) {
    const QString why = m_commands.save(
        CmdLine::parse(QStringLiteral("session_save ") + SessionBatch::argument(fileName)));
    if (!why.isEmpty())
        UserMessages::refuse(why);
    else
        UserMessages::info(tr("Session saved to %1").arg(fileName));
    return why.isEmpty();
}

bool SessionControl::loadSession(const QString &fileName) {
    const QString why = m_commands.load(
        CmdLine::parse(QStringLiteral("session_load ") + SessionBatch::argument(fileName)));
    if (!why.isEmpty())
        UserMessages::refuse(why);
    return why.isEmpty();
}

Session SessionControl::capture() const {
    const MeasurementStack &stack = m_body->stack();
    Session s;
    s.i1 = seriesOf(stack.i1(), child<SelectDataFiles>(m_body, "SelectI1Files"),
                    m_body->stackLayout(Series::I1));
    s.i0 = seriesOf(stack.i0(), child<SelectDataFiles>(m_body, "SelectI0Files"),
                    m_body->stackLayout(Series::I0));
    if (stack.dark()) {
        const QString darkStack = stackFileOf(stack.dark()->fileName());
        s.dark = SessionFile::of(darkStack.isEmpty() ? stack.dark()->fileName() : darkStack);
    }
    // The files the document took (a refused choice is not among them).
    const SessionDocument &doc = m_body->document();
    s.background = fileOf(doc.backgroundFile());
    s.totalI0OfI1 = fileOf(doc.totalI0File(Series::I1));
    s.totalI0OfI0 = fileOf(doc.totalI0File(Series::I0));
    const SessionInputs &in = doc.inputs();
    s.useI0 = in.conditions().useI0;
    s.fluorescence = in.conditions().fluo;
    s.binW = in.conditions().hx;
    s.binH = in.conditions().hy;
    if (in.hasArea())
        s.area = in.area();
    for (const Series series : {Series::I1, Series::I0}) {
        const DarkArea &dark = stack.darkArea(series);
        (series == Series::I1 ? s.darkAreaI1 : s.darkAreaI0) = dark.on ? dark.rect : QRectF();
    }
    s.point = doc.currentPoint();
    SessionSuggestion &g = s.suggestion;
    g.use = checked(m_body, "UseSuggestElm");
    g.element = text(m_body, "SuggestingElm");
    if (const QComboBox *edge = child<QComboBox>(m_body, "SuggestingEdge"))
        g.edge = edge->currentIndex();
    g.edgeEnergy = text(m_body, "SuggestingEeV");
    g.preEnd = text(m_body, "DPreE");
    g.postStart = text(m_body, "DPostS");
    const AnalysisInputs &fit = in.analysis();
    g.fixedE0 = fit.fixedE0;
    g.fixedE0Energy = fit.fixedE0Energy;
    for (int row = 0; row < in.references().size(); ++row) {
        const ReferenceInput &r = in.references().at(row);
        if (!r.file.isEmpty())
            s.references.append({row, SessionFile::of(r.file), r.use, r.dE, r.victoreen});
    }
    s.mlcf = fit.kind == LcfKind::MLCF;
    s.lcfOld = fit.lcfOld;
    s.nonNegative = fit.options.nonNegative;
    s.sumToOne = fit.options.sumToOne;
    for (int i = 0; i < stack.i1().size(); ++i) {
        const TiffData *image = stack.i1().at(i);
        if (image->shiftDX() != 0 || image->shiftDY() != 0)
            s.shifts.append({i, image->shiftDX(), image->shiftDY()});
    }
    if (!m_body->shiftMapFile().isEmpty())
        s.shiftMap = SessionFile::of(m_body->shiftMapFile());
    s.analysisMode = fit.mode;
    s.raEnergy = fit.raEnergy;
    s.raFactor = fit.raFactor;
    s.fields = WidgetFields::capture(m_body, windowFields());
    s.fields.insert(WidgetFields::capture(m_body->analyzer(), analyzerFields()));
    return s;
}

// Every input goes in by its batch line, the dark frame first. A dark image
// that cannot be read refuses the session here, before anything changed (a
// stack's dark is read by its layout, and a failure says why in its line).
QString SessionControl::apply(const Session &s) {
    if (s.dark.isSet() && !Hdf5Stack::isHdf5File(s.dark.path)) {
        TiffData probe;
        if (!probe.load(s.dark.path))
            return tr("the dark frame %1 could not be read: %2").arg(s.dark.path, probe.error());
    }
    const QString shifts = shiftFile(s);
    if (!s.shifts.isEmpty() && shifts.isEmpty())
        return tr("the registration shifts could not be written to a temporary file");
    m_body->runNext(SessionBatch::lines(s, shifts));
    return QString();
}

// The shifts go in by load_shifts, as a batch gives them.
QString SessionControl::shiftFile(const Session &s) {
    if (s.shifts.isEmpty() || !m_temporary.isValid())
        return QString();
    QVector<Registration::ShiftEntry> entries;
    for (const SessionShift &sh : s.shifts)
        entries.append({sh.image, sh.dx, sh.dy, 1.0});
    const QString name = m_temporary.filePath(QStringLiteral("session-shifts.txt"));
    return Registration::writeShiftFile(name, entries) ? name : QString();
}
