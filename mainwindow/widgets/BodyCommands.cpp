// The external batch commands the main window executes: each sets a field as
// the user would or calls the slot a button calls, then answers the
// dispatcher with finishBatchExec. Loads answer when the loader's queue runs
// empty.
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/SeriesController.h"

#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/AnalyzerCommands.h"
#include "mainwindow/widgets/CalibCommands.h"
#include "mainwindow/widgets/ExportCommands.h"
#include "mainwindow/widgets/SeriesRunCommands.h"
#include "mainwindow/widgets/SessionControl.h"
#include "ui_Body.h"

#include <QButtonGroup>
#include <QDir>

namespace {

int intArg(const CmdLine &cmd, int k) {
    return cmd.arg(k).toInt();
}

double numArg(const CmdLine &cmd, int k) {
    return cmd.arg(k).toDouble();
}

bool flagArg(const CmdLine &cmd, int k) {
    return intArg(cmd, k) == 1;
}

bool isNew(const CmdLine &cmd) {
    return cmd.arg(0).compare(QLatin1String("NEW"), Qt::CaseInsensitive) == 0;
}

} // namespace

void Body::registerCommands() {
    registerSeriesCommands();
    registerEnergyCommands();
    registerDisplayCommands();
    registerOtherCommands();
    (new AnalyzerCommands(this))->registerCommands();
    (new ExportCommands(this))->registerCommands();
    (new CalibCommands(this))->registerCommands();
    (new SeriesRunCommands(this))->registerCommands();
    m_session->registerCommands();
}

// Loads complete through the loader's finishLoadFiles, which also answers a
// request whose files are all cut away. Only a load without any file never
// reaches the loader: it answers at once, so the batch never waits for ever.
// Answering twice would let the dispatcher take the second answer for the
// line after the load.
void Body::loadCommand(Series s, const CmdLine &cmd) {
    const QStringList files = cmd.args.mid(1);
    if (files.isEmpty()) {
        UserMessages::refuse(
            tr("%1 not loaded: no file given (NEW, then the files)").arg(seriesName(s)));
        emit finishBatchExec(controller(s)->loadCommandId());
        return;
    }
    loadSeries(s, files, isNew(cmd), SeriesKept::No);
}

// The folder's files matching the filters, in name order so a series loads
// the same way on every file system. The list goes to the loader even when
// empty: with NEW the series is then replaced by none, rather than an old
// series being taken for the one asked for; the loader answers the request.
void Body::loadOfPatternCommand(Series s, const CmdLine &cmd) {
    QString folder = cmd.arg(1);
    if (!folder.isEmpty() && !folder.endsWith('/') && !folder.endsWith('\\'))
        folder += '/';
    QStringList files = QDir(folder).entryList(cmd.args.mid(2), QDir::Files, QDir::Name);
    for (QString &name : files)
        name.prepend(folder);
    if (files.isEmpty())
        UserMessages::warn(tr("%1: no file in %2 matches %3")
                               .arg(seriesName(s), folder, cmd.args.mid(2).join(QLatin1Char(' '))));
    loadSeries(s, files, isNew(cmd), SeriesKept::No);
}

void Body::registerSeriesCommands() {
    registerAtOnce(CLEAR_I1_FILES, [this](const CmdLine &) { clearFiles(Series::I1); });
    registerAtOnce(CLEAR_I0_FILES, [this](const CmdLine &) { clearFiles(Series::I0); });
    registerCommand(LOAD_I1_FILES, [this](const CmdLine &c) { loadCommand(Series::I1, c); });
    registerCommand(LOAD_I0_FILES, [this](const CmdLine &c) { loadCommand(Series::I0, c); });
    registerCommand(LOAD_I1_FILES_OF_PATTERN,
                    [this](const CmdLine &c) { loadOfPatternCommand(Series::I1, c); });
    registerCommand(LOAD_I0_FILES_OF_PATTERN,
                    [this](const CmdLine &c) { loadOfPatternCommand(Series::I0, c); });
    for (Series s : {Series::I0, Series::I1}) {
        SelectDataFiles *p = panel(s);
        const bool i1 = s == Series::I1;
        registerAtOnce(i1 ? CUT_F_I1 : CUT_F_I0,
                       [p](const CmdLine &c) { p->setCutF(intArg(c, 0)); });
        registerAtOnce(i1 ? CUT_L_I1 : CUT_L_I0,
                       [p](const CmdLine &c) { p->setCutL(intArg(c, 0)); });
        registerAtOnce(i1 ? SKIP_I1 : SKIP_I0, [p](const CmdLine &c) { p->setSkip(intArg(c, 0)); });
        registerAtOnce(i1 ? SHOW_LATEST_I1 : SHOW_LATEST_I0,
                       [p](const CmdLine &c) { p->setShowLatest(flagArg(c, 0)); });
    }
    registerAtOnce(USE_I0, [this](const CmdLine &c) { ui->UseI0->setChecked(flagArg(c, 0)); });
}

// Pairs of commands: the first id addresses the I0 panel, the second the I1.
void Body::registerEnergyCommands() {
    using Setter = std::function<void(SelectDataFiles *, const CmdLine &)>;
    const auto pair = [this](EX_CMD_ID i0Id, EX_CMD_ID i1Id, Setter set) {
        for (Series s : {Series::I0, Series::I1}) {
            const EX_CMD_ID id = s == Series::I0 ? i0Id : i1Id;
            SelectDataFiles *p = panel(s);
            registerCommand(id, [this, id, p, set](const CmdLine &cmd) {
                set(p, cmd);
                emit finishBatchExec(id);
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

void Body::registerDisplayCommands() {
    registerAtOnce(SET_FLUO_TYPE,
                   [this](const CmdLine &c) { ui->FluoType->setChecked(flagArg(c, 0)); });
    registerAtOnce(SET_BAND_W, [this](const CmdLine &c) {
        ui->HWidth->setText(QString::number(intArg(c, 0)));
        showXafsSpectrum();
    });
    registerAtOnce(SET_BAND_H, [this](const CmdLine &c) {
        ui->VWidth->setText(QString::number(intArg(c, 0)));
        showXafsSpectrum();
    });
    registerAtOnce(SELECT_DISP_IMAGE, [this](const CmdLine &c) {
        if (QAbstractButton *b = m_dispGroup->button(intArg(c, 0)))
            b->setChecked(true);
    });
    registerAtOnce(SEEK_IMAGE, [this](const CmdLine &c) { seekImage(intArg(c, 0)); });
    registerAtOnce(SAVE_IMAGE, [this](const CmdLine &c) { saveImage(c.arg(0)); });
    registerAtOnce(SAVE_IMAGE_W_NUM,
                   [this](const CmdLine &c) { saveImageWNum(c.arg(0), c.arg(1)); });
    // move_position acts on the document (InputCommands): exactly (x, y),
    // not through screen pixels.
    registerAtOnce(SAVE_SPECTRA, [this](const CmdLine &c) {
        reportIfNotWritten(m_xafsView->saveData(c.arg(0)), c.arg(0));
    });
    registerAtOnce(CBAR_SET_RANGE, [this](const CmdLine &c) {
        const double lo = numArg(c, 0);
        const double hi = numArg(c, 1);
        DebugLog::write(QStringLiteral("setting cbar %1 %2").arg(lo).arg(hi));
        ui->CBar->setRange(lo, hi);
        ui->CBar->update();
        showCurrentPicture();
    });
    registerAtOnce(CBAR_SET_ALL, [this](const CmdLine &) {
        DebugLog::write(QStringLiteral("cbar set all"));
        showCurrentPicture();
    });
    registerAtOnce(SELECT_REGION, [this](const CmdLine &c) {
        ui->dispA->setSelectedArea(intArg(c, 0), intArg(c, 1), intArg(c, 2), intArg(c, 3));
    });
    registerAtOnce(SCALE_RESET, [this](const CmdLine &) { ui->dispA->resetImageViewWindow(); });
    registerAtOnce(ZOOM_IN, [this](const CmdLine &) { ui->dispA->setViewWAsSelectedArea(); });
    registerAtOnce(XAFS_VIEW_NORMALIZE,
                   [this](const CmdLine &c) { m_xafsView->setNormalize(flagArg(c, 0)); });
    registerAtOnce(XAFS_VIEW_ENERUGY_CORRECTION,
                   [this](const CmdLine &c) { m_xafsView->setEnergyCorrection(flagArg(c, 0)); });
}

void Body::registerOtherCommands() {
    registerCommand(QUIT, [this](const CmdLine &cmd) { quitCmd(cmd); });
    // The references are normalised with the suggestion the batch sets.
    const auto suggestion = [this](EX_CMD_ID id, std::function<void(const CmdLine &)> effect) {
        registerAtOnce(id, [this, effect](const CmdLine &c) {
            effect(c);
            referenceNormalisationChanged();
        });
    };
    suggestion(SUGGEST_ELM, [this](const CmdLine &c) {
        ui->UseSuggestElm->setChecked(flagArg(c, 0));
        newElmSuggested();
    });
    suggestion(SUGGESTING_ELM, [this](const CmdLine &c) {
        ui->SuggestingElm->setText(c.arg(0));
        newElmSuggested();
    });
    suggestion(SUGGESTING_EDGE, [this](const CmdLine &c) {
        const int edge = intArg(c, 0);
        if (edge >= 0 && edge < ui->SuggestingEdge->count())
            ui->SuggestingEdge->setCurrentIndex(edge);
        newElmSuggested();
    });
    suggestion(SUGGESTING_EDGE_EV,
               [this](const CmdLine &c) { ui->SuggestingEeV->setText(c.arg(0)); });
    suggestion(SUGGESTING_PRE_END_EV, [this](const CmdLine &c) { ui->DPreE->setText(c.arg(0)); });
    suggestion(SUGGESTING_POST_START_EV,
               [this](const CmdLine &c) { ui->DPostS->setText(c.arg(0)); });
}
