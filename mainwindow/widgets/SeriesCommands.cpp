#include "mainwindow/widgets/SeriesCommands.h"

#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/WidgetFields.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/CommandArgs.h"

#include <QCheckBox>
#include <QDir>
#include <functional>

using namespace CommandArgs;

namespace {

bool isNew(const CmdLine &cmd) {
    return cmd.arg(0).compare(QLatin1String("NEW"), Qt::CaseInsensitive) == 0;
}

} // namespace

SeriesCommands::SeriesCommands(Body *body) : QObject(body), m_body(body) {}

SelectDataFiles *SeriesCommands::panel(Series s) const {
    const QString name =
        s == Series::I1 ? QStringLiteral("SelectI1Files") : QStringLiteral("SelectI0Files");
    return WidgetFields::widget<SelectDataFiles>(m_body, name);
}

void SeriesCommands::registerCommands() {
    registerLoadCommands();
    registerPanelCommands();
    registerEnergyCommands();
}

// Loads complete through the loader's end of the load, which also answers a
// request whose files are all cut away. Only a load without any file never
// reaches the loader: it answers at once, so the batch never waits for ever.
// Answering twice would let the dispatcher take the second answer for the
// line after the load.
void SeriesCommands::load(Series s, int id, const CmdLine &cmd) {
    const QStringList files = cmd.args.mid(1);
    if (files.isEmpty()) {
        UserMessages::refuse(
            tr("%1 not loaded: no file given (NEW, then the files)").arg(seriesName(s)));
        emit m_body->finishBatchExec(id);
        return;
    }
    m_body->loadFromBatch(s, files, isNew(cmd));
}

// The folder's files matching the filters, in name order so a series loads
// the same way on every file system. The list goes to the loader even when
// empty: with NEW the series is then replaced by none, rather than an old
// series being taken for the one asked for; the loader answers the request.
void SeriesCommands::loadOfPattern(Series s, const CmdLine &cmd) {
    QString folder = cmd.arg(1);
    if (!folder.isEmpty() && !folder.endsWith('/') && !folder.endsWith('\\'))
        folder += '/';
    QStringList files = QDir(folder).entryList(cmd.args.mid(2), QDir::Files, QDir::Name);
    for (QString &name : files)
        name.prepend(folder);
    if (files.isEmpty())
        UserMessages::warn(tr("%1: no file in %2 matches %3")
                               .arg(seriesName(s), folder, cmd.args.mid(2).join(QLatin1Char(' '))));
    m_body->loadFromBatch(s, files, isNew(cmd));
}

void SeriesCommands::registerLoadCommands() {
    Body *b = m_body;
    b->registerAtOnce(CLEAR_I1_FILES, [b](const CmdLine &) { b->clearFiles(Series::I1); });
    b->registerAtOnce(CLEAR_I0_FILES, [b](const CmdLine &) { b->clearFiles(Series::I0); });
    for (Series s : {Series::I1, Series::I0}) {
        const bool i1 = s == Series::I1;
        const EX_CMD_ID id = i1 ? LOAD_I1_FILES : LOAD_I0_FILES;
        b->registerCommand(id, [this, s, id](const CmdLine &c) { load(s, id, c); });
        b->registerCommand(i1 ? LOAD_I1_FILES_OF_PATTERN : LOAD_I0_FILES_OF_PATTERN,
                           [this, s](const CmdLine &c) { loadOfPattern(s, c); });
    }
}

void SeriesCommands::registerPanelCommands() {
    Body *b = m_body;
    for (Series s : {Series::I0, Series::I1}) {
        SelectDataFiles *p = panel(s);
        const bool i1 = s == Series::I1;
        b->registerAtOnce(i1 ? CUT_F_I1 : CUT_F_I0,
                          [p](const CmdLine &c) { p->setCutF(intArg(c, 0)); });
        b->registerAtOnce(i1 ? CUT_L_I1 : CUT_L_I0,
                          [p](const CmdLine &c) { p->setCutL(intArg(c, 0)); });
        b->registerAtOnce(i1 ? SKIP_I1 : SKIP_I0,
                          [p](const CmdLine &c) { p->setSkip(intArg(c, 0)); });
        b->registerAtOnce(i1 ? SHOW_LATEST_I1 : SHOW_LATEST_I0,
                          [p](const CmdLine &c) { p->setShowLatest(flagArg(c, 0)); });
    }
    auto *useI0 = WidgetFields::widget<QCheckBox>(b, QStringLiteral("UseI0"));
    b->registerAtOnce(USE_I0, [useI0](const CmdLine &c) { useI0->setChecked(flagArg(c, 0)); });
}

// Pairs of commands: the first id addresses the I0 panel, the second the I1.
void SeriesCommands::registerEnergyCommands() {
    using Setter = std::function<void(SelectDataFiles *, const CmdLine &)>;
    Body *b = m_body;
    const auto pair = [this, b](EX_CMD_ID i0Id, EX_CMD_ID i1Id, Setter set) {
        for (Series s : {Series::I0, Series::I1}) {
            const EX_CMD_ID id = s == Series::I0 ? i0Id : i1Id;
            SelectDataFiles *p = panel(s);
            b->registerCommand(id, [b, id, p, set](const CmdLine &cmd) {
                set(p, cmd);
                emit b->finishBatchExec(id);
            });
        }
    };
    const Setter pattern = [](SelectDataFiles *p, const CmdLine &c) {
        p->setEngByNameRegExp(c.arg(0));
    };
    pair(SET_I0_ENERGY_PATTERN, SET_I1_ENERGY_PATTERN, pattern);
    pair(ENG_BY_NAME_I0, ENG_BY_NAME_I1,
         [](SelectDataFiles *p, const CmdLine &) { p->setEngByName(true); });
    pair(ENG_BY_NAME_REG_EXP_I0, ENG_BY_NAME_REG_EXP_I1, pattern);
    pair(ENG_BY_NAME_FACTOR_I0, ENG_BY_NAME_FACTOR_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngByNameFactor(numArg(c, 0)); });
    pair(ENG_BY_CALC_I0, ENG_BY_CALC_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngByCalc(flagArg(c, 0)); });
    pair(ENG_CALC_BASE_I0, ENG_CALC_BASE_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngCalcStart(numArg(c, 0)); });
    pair(ENG_CALC_DELTA_I0, ENG_CALC_DELTA_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngCalcDelta(numArg(c, 0)); });
    pair(ENG_CALC_END_I0, ENG_CALC_END_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngCalcEnd(numArg(c, 0)); });
    pair(ENG_CALC_NUM_I0, ENG_CALC_NUM_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngCalcNum(intArg(c, 0)); });
    pair(ENG_CALC_EVEN_IN_ENG_I0, ENG_CALC_EVEN_IN_ENG_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEvenInEng(flagArg(c, 0)); });
    pair(ENG_CALC_EVEN_IN_DEG_I0, ENG_CALC_EVEN_IN_DEG_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEvenInDeg(flagArg(c, 0)); });
    pair(ENG_CALC_DISP_UNIT_I0, ENG_CALC_DISP_UNIT_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setDispUnit(intArg(c, 0)); });
    pair(ENG_BY_REF_I0, ENG_BY_REF_I1,
         [](SelectDataFiles *p, const CmdLine &c) { p->setEngByRef(c.arg(0)); });
}
