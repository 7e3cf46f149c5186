#include "mainwindow/widgets/ActionRecorder.h"

#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/CalibCtrl.h"
#include "analysis/widgets/ElemPanel.h"
#include "analysis/widgets/LCFReference.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SaveDataCfg.h"
#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/SelectImgDialog.h"
#include "imageio/widgets/WidgetFields.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "mainwindow/widgets/SessionControl.h"
#include "session/SessionCommands.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <cmath>

namespace {

QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The widget of that name in root's own window (not in a tool window that
// happens to be its child).
template <class W = QWidget> W *named(const QWidget *root, const QString &name) {
    return WidgetFields::widget<W>(root, name);
}

QString text(const QWidget *root, const char *name) {
    const QLineEdit *e = named<QLineEdit>(root, QLatin1String(name));
    return e ? e->text() : QString();
}

bool checked(const QWidget *root, const char *name) {
    const QAbstractButton *b = named<QAbstractButton>(root, QLatin1String(name));
    return b && b->isChecked();
}

QStringList referenceArgs(const LCFReference *row, const QString &file) {
    return {QString::number(row->rowIndex()), flag(row->fileSelect()->isUse()),
            QString::number(row->deltaE(), 'g', 17), file,
            checked(row, "IsVictreen") ? QStringLiteral("VIC") : QStringLiteral("0")};
}

QString describe(const QWidget *w) {
    if (const auto *b = qobject_cast<const QAbstractButton *>(w); b && !b->text().isEmpty())
        return QStringLiteral("%1 (%2)").arg(b->text().remove(QLatin1Char('&')), w->objectName());
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

} // namespace

ActionRecorder::ActionRecorder(Body *body, QWidget *own) : QObject(own), m_body(body), m_own(own) {
    // The batch and messages windows act on the recording, not through it.
    m_watched.insert(body->batchCtrl());
    m_watched.insert(body->findChild<MessagesWindow *>());
    watchWindow();
    watchSeries("SelectI1Files", true);
    watchSeries("SelectI0Files", false);
    watchAnalyzer();
    watchSaveDataCfg();
    watchCalibration();
    watchInputs();
    watchDialogs();
    watchRegion();
    if (auto *session = body->findChild<SessionControl *>())
        connect(session, &SessionControl::commandChosen, this, &ActionRecorder::actionRecorded);
    watchGaps(body);
}

bool ActionRecorder::quiet() const {
    return m_body->isExecutingCommand();
}

bool ActionRecorder::taken(const QObject *w) const {
    for (const QObject *o = w; o; o = o->parent())
        if (m_watched.contains(o) || o == m_own)
            return true;
    return false;
}

void ActionRecorder::record(EX_CMD_ID id, const QStringList &args) {
    if (quiet())
        return;
    QStringList items{ExCmdTable::nameOf(id)};
    for (const QString &a : args)
        items << SessionBatch::argument(a);
    emit actionRecorded(items.join(QLatin1Char(' ')));
}

void ActionRecorder::gap(const QString &action) {
    if (!quiet())
        emit actionRecorded(QStringLiteral("# not recordable: ") + action);
}

void ActionRecorder::onEdited(QWidget *root, const char *name, EX_CMD_ID id, Text args) {
    QLineEdit *e = named<QLineEdit>(root, QLatin1String(name));
    if (!e)
        return;
    m_watched.insert(e);
    connect(e, &QLineEdit::editingFinished, this,
            [this, e, id, args] { record(id, args ? args() : QStringList{e->text()}); });
}

void ActionRecorder::onClicked(QWidget *root, const char *name, EX_CMD_ID id, Text args) {
    QAbstractButton *b = named<QAbstractButton>(root, QLatin1String(name));
    if (!b)
        return;
    m_watched.insert(b);
    connect(b, &QAbstractButton::clicked, this, [this, b, id, args](bool on) {
        record(id, args ? args() : b->isCheckable() ? QStringList{flag(on)} : QStringList{});
    });
}

void ActionRecorder::onChosen(QWidget *root, const char *name, EX_CMD_ID id) {
    QComboBox *c = named<QComboBox>(root, QLatin1String(name));
    if (!c)
        return;
    m_watched.insert(c);
    connect(c, QOverload<int>::of(&QComboBox::activated), this,
            [this, id](int index) { record(id, {QString::number(index)}); });
}

void ActionRecorder::ignore(QWidget *root, const QStringList &names) {
    for (const QString &name : names)
        if (QWidget *w = named(root, name))
            m_watched.insert(w);
}

void ActionRecorder::watchWindow() {
    Body *b = m_body;
    onEdited(b, "HWidth", SET_BAND_W);
    onEdited(b, "VWidth", SET_BAND_H);
    onClicked(b, "UseI0", USE_I0);
    onClicked(b, "FluoType", SET_FLUO_TYPE);
    onClicked(b, "UseSuggestElm", SUGGEST_ELM);
    onEdited(b, "SuggestingElm", SUGGESTING_ELM);
    onChosen(b, "SuggestingEdge", SUGGESTING_EDGE);
    onEdited(b, "SuggestingEeV", SUGGESTING_EDGE_EV);
    onEdited(b, "DPreE", SUGGESTING_PRE_END_EV);
    onEdited(b, "DPostS", SUGGESTING_POST_START_EV);
    const char *shown[] = {"ShowData", "ShowI0", "ShowShiftMap", "ShowResAnalysis"};
    for (int id = 0; id < 4; ++id)
        onClicked(b, shown[id], SELECT_DISP_IMAGE,
                  [id] { return QStringList{QString::number(id)}; });
    // The image shown: its number once the step has been taken.
    onEdited(b, "ImgNo", SEEK_IMAGE);
    const Text shownImage = [b] { return QStringList{text(b, "ImgNo")}; };
    onClicked(b, "Prev", SEEK_IMAGE, shownImage);
    onClicked(b, "Next", SEEK_IMAGE, shownImage);
    if (auto *seek = named<QSlider>(b, QStringLiteral("SeekBar")))
        connect(seek, &QSlider::sliderReleased, this,
                [this, seek] { record(SEEK_IMAGE, {QString::number(seek->value())}); });
    onClicked(b, "ResetScale", SCALE_RESET);
    onClicked(b, "ZoomIn", ZOOM_IN);
    onClicked(b, "CBarAll", CBAR_SET_ALL);
    // Buttons that open a window or a dialog: what is done there is recorded.
    ignore(b, {"OpenCalibCtrl", "ShowSpectrumView", "ShowImgProc", "ShowAnalyzer", "ShowAnalyzer2",
               "BatchCtrlB", "ShowMessages", "SaveImage", "SaveData", "SaveDataCfgB",
               "SaveEachSpectrum", "SaveMapPicture", "SelectDark", "SelectBG", "ShowBG"});
}

void ActionRecorder::watchSeries(const char *panelName, bool i1) {
    auto *panel = named<SelectDataFiles>(m_body, QLatin1String(panelName));
    if (!panel)
        return;
    connect(panel, &SelectDataFiles::filesSelected, this,
            [this, i1](const QStringList &files, bool newFiles) {
                record(i1 ? LOAD_I1_FILES : LOAD_I0_FILES,
                       QStringList{newFiles ? QStringLiteral("NEW") : QStringLiteral("ADD")} +
                           files);
            });
    onClicked(panel, "Clear", i1 ? CLEAR_I1_FILES : CLEAR_I0_FILES);
    onEdited(panel, "Skip", i1 ? SKIP_I1 : SKIP_I0);
    onEdited(panel, "CutFirst", i1 ? CUT_F_I1 : CUT_F_I0);
    onEdited(panel, "CutLast", i1 ? CUT_L_I1 : CUT_L_I0);
    // The NEW/add choice goes with each load.
    ignore(panel, {"Select", "LoadNewFiles", "AddFiles", "EngOfFilesSetup", "AdditionalSetup"});
    watchEnergySetup(panel->eofSetup(), i1);
}

void ActionRecorder::watchEnergySetup(QWidget *s, bool i1) {
    const auto pick = [i1](EX_CMD_ID a, EX_CMD_ID b) { return i1 ? a : b; };
    onEdited(s, "Pattern", pick(SET_I1_ENERGY_PATTERN, SET_I0_ENERGY_PATTERN));
    onEdited(s, "Factor", pick(ENG_BY_NAME_FACTOR_I1, ENG_BY_NAME_FACTOR_I0));
    onClicked(s, "FromFileName", pick(ENG_BY_NAME_I1, ENG_BY_NAME_I0),
              [] { return QStringList{}; });
    onClicked(s, "FromFileNum", pick(ENG_BY_CALC_I1, ENG_BY_CALC_I0));
    onEdited(s, "Start", pick(ENG_CALC_BASE_I1, ENG_CALC_BASE_I0));
    onEdited(s, "Delta", pick(ENG_CALC_DELTA_I1, ENG_CALC_DELTA_I0));
    onEdited(s, "End", pick(ENG_CALC_END_I1, ENG_CALC_END_I0));
    onEdited(s, "NumOfPoints", pick(ENG_CALC_NUM_I1, ENG_CALC_NUM_I0));
    onClicked(s, "EvenInEnergy", pick(ENG_CALC_EVEN_IN_ENG_I1, ENG_CALC_EVEN_IN_ENG_I0));
    onClicked(s, "EvenInAngle", pick(ENG_CALC_EVEN_IN_DEG_I1, ENG_CALC_EVEN_IN_DEG_I0));
    onChosen(s, "DisplayUnit", pick(ENG_CALC_DISP_UNIT_I1, ENG_CALC_DISP_UNIT_I0));
    if (!i1)
        onClicked(s, "SameAsI1", ENG_SAME_AS_I1_I0);
}

void ActionRecorder::watchAnalyzer() {
    Analyzer *a = m_body->analyzer();
    onClicked(a, "AskAnalyze", ANALYZER_EXEC_LCF);
    onClicked(a, "AskRAAnalyze", ANALYZER_EXEC_RA);
    onClicked(a->elemPanel(), "AskAnalyzeElems", ANALYZER_EXEC_ELEMS);
    onClicked(a, "MLCF", ANALYZER_SET_LCF_MODE);
    onClicked(a, "OldLCF", ANALYZER_SET_LCF_OLD);
    const Text range = [a] { return QStringList{text(a, "LCFRange1"), text(a, "LCFRange2")}; };
    onEdited(a, "LCFRange1", ANALYZER_SET_LCF_RANGE, range);
    onEdited(a, "LCFRange2", ANALYZER_SET_LCF_RANGE, range);
    onClicked(a, "NonNegative", ANALYZER_SET_LCF_NONNEG);
    onClicked(a, "SumToOne", ANALYZER_SET_LCF_SUM1);
    const Text fixedE0 = [a] { return QStringList{flag(a->fixedE0()), text(a, "FixedE0EV")}; };
    onClicked(a, "FixedE0", ANALYZER_SET_FIXED_E0, fixedE0);
    onEdited(a, "FixedE0EV", ANALYZER_SET_FIXED_E0, fixedE0);
    onClicked(a, "FixedE0FromArea", ANALYZER_SET_FIXED_E0, [a] {
        return QStringList{flag(a->fixedE0()), QStringLiteral("auto")};
    });
    const char *modes[] = {"SelMLCFA", "SelRAA",      "SelElemA",
                           "SelSumUp", "SelProcMaps", "SelComponents"};
    for (int id = 0; id < 6; ++id)
        onClicked(a, modes[id], ANALYZER_SELECT_ANALYSIS_MODE,
                  [id] { return QStringList{QString::number(id)}; });
    ignore(a, {"ShowView"});
    watchMapChoice();
    watchReferenceRows();
    if (auto *add = named<QAbstractButton>(a, QStringLiteral("AddRef"))) {
        m_watched.insert(add);
        // The new row exists once the click has been handled.
        connect(add, &QAbstractButton::clicked, this, [this] {
            gap(tr("Add Ref: a batch has its reference rows from analyzer_set_LCF_std"));
            watchReferenceRows();
        });
    }
}

// A reference row is recorded whole whenever its file, use, dE or
// background changes.
void ActionRecorder::watchReferenceRows() {
    for (LCFReference *row : m_body->analyzer()->references()) {
        if (m_watched.contains(row))
            continue;
        XafsFileSelect *file = row->fileSelect();
        const auto line = [this, row, file] {
            if (!file->fileName().isEmpty())
                record(ANALYZER_SET_LCF_STD, referenceArgs(row, file->fileName()));
        };
        connect(file, &XafsFileSelect::newFile, this, [this, row](const QString &name) {
            record(ANALYZER_SET_LCF_STD, referenceArgs(row, name));
        });
        connect(file, &XafsFileSelect::changedUse, this, line);
        connect(file, &XafsFileSelect::cleared, this, [this, row] {
            record(ANALYZER_CLEAR_LCF_STD, {QString::number(row->rowIndex())});
        });
        connect(row, &LCFReference::newDeltaE, this, line);
        if (auto *vic = named<QAbstractButton>(row, QStringLiteral("IsVictreen")))
            connect(vic, &QAbstractButton::clicked, this, line);
        m_watched.insert(row);
    }
}

// The map shown: a row's button, the kind (amount, fraction, sigma) and the
// whole-fit maps.
void ActionRecorder::watchMapChoice() {
    Analyzer *a = m_body->analyzer();
    for (QAbstractButton *b : a->selectionGroup()->buttons())
        m_watched.insert(b);
    connect(a->selectionGroup(), &QButtonGroup::idClicked, this,
            [this](int id) { record(ANALYZER_SELECT_IMAGE, {QString::number(id)}); });
    for (QAbstractButton *b : a->mapTypeGroup()->buttons())
        m_watched.insert(b);
    connect(a->mapTypeGroup(), &QButtonGroup::idClicked, this, [this](int id) {
        if (id == LCFReference::SigmaMap)
            record(ANALYZER_SELECT_SIGMA_IMAGE, {});
        else if (id == LCFReference::AmountMap || id == LCFReference::FractionMap)
            record(ANALYZER_SELECT_IMAGE_TYPE, {flag(id == LCFReference::AmountMap)});
        else
            record(ANALYZER_SELECT_IMAGE, {QString::number(id)});
    });
}

void ActionRecorder::watchSaveDataCfg() {
    QWidget *s = m_body->saveDataCfg();
    onClicked(s, "SaveAsTiff", SAVEDATACFG_SAVE_AS_TIFF, [] { return QStringList{}; });
    onClicked(s, "SaveAsTextData", SAVEDATACFG_SAVE_AS_TEXT, [] { return QStringList{}; });
    onClicked(s, "DataCommaSeparated", SAVEDATACFG_TEXT_AS_CSV, [] { return QStringList{}; });
    onClicked(s, "DataSpaceSeparated", SAVEDATACFG_TEXT_AS_SSV, [] { return QStringList{}; });
    onClicked(s, "DataXYVal", SAVEDATACFG_TEXT_AS_XYZ, [] { return QStringList{}; });
    onClicked(s, "DataValValVal", SAVEDATACFG_TEXT_AS_VALS, [] { return QStringList{}; });
    onClicked(s, "TiffFixedScale", SAVEDATACFG_TIFF_FIX_SCALE);
    onEdited(s, "TiffScaleMin", SAVEDATACFG_TIFF_SCALE_MIN);
    onEdited(s, "TiffScaleMax", SAVEDATACFG_TIFF_SCALE_MAX);
    onClicked(s, "TiffAsAnalyzed", SAVEDATACFG_TIFF_AS_ANALYZED);
}

void ActionRecorder::watchCalibration() {
    CalibCtrl *c = m_body->calibCtrl();
    onClicked(c, "ExecCalib", CALIB_EXEC);
    onClicked(c, "ClearMap", CALIB_CLEAR_MAP);
    onEdited(c, "EdgeEeV", CALIB_SET_EDGE_EV);
    onClicked(c, "CalibTypeInnerP", CALIB_TYPE, [] { return QStringList{QStringLiteral("1")}; });
    onClicked(c, "CalibTypeDMidX", CALIB_TYPE, [] { return QStringList{QStringLiteral("0")}; });
    connect(c, &CalibCtrl::saveEMap, this,
            [this](const QString &f) { record(CALIB_SAVE_MAP, {f}); });
    connect(c, &CalibCtrl::loadEMap, this,
            [this](const QString &f) { record(CALIB_LOAD_MAP, {f}); });
    if (auto *standard = named<XafsFileSelect>(c, QStringLiteral("SelectStd"))) {
        connect(standard, &XafsFileSelect::newFile, this,
                [this](const QString &f) { record(CALIB_LOAD_STD, {f}); });
        m_watched.insert(standard->fileDialog());
    }
    // The map files are chosen in the panel's own dialogs, recorded above.
    for (QFileDialog *d : c->findChildren<QFileDialog *>())
        m_watched.insert(d);
    ignore(c, {"SaveMap", "LoadMap"});
}

void ActionRecorder::watchInputs() {
    Body *b = m_body;
    onEdited(b, "DarkExpTime", SET_DARK_EXP_TIME);
    onEdited(b, "ThJumpSigma", SUGGESTING_JUMP_TH);
    onClicked(b, "ClearDark", CLEAR_DARK);
    // The window's own image dialog is the dark frame's (the series have
    // theirs inside their panels).
    for (SelectImgDialog *d : b->findChildren<SelectImgDialog *>())
        if (d->parent() == b) {
            m_watched.insert(d);
            connect(d, &QFileDialog::fileSelected, this,
                    [this](const QString &f) { record(LOAD_DARK, {f}); });
        }
    const struct {
        XafsFileSelect *select;
        EX_CMD_ID load, clear;
    } spectra[] = {{b->bgFileSelect(), LOAD_BG, CLEAR_BG},
                   {named<XafsFileSelect>(b, QStringLiteral("TotalI0ofI1XAFS")),
                    LOAD_TOTAL_I0_OF_I1, CLEAR_TOTAL_I0_OF_I1},
                   {named<XafsFileSelect>(b, QStringLiteral("TotalI0ofI0XAFS")),
                    LOAD_TOTAL_I0_OF_I0, CLEAR_TOTAL_I0_OF_I0}};
    for (const auto &s : spectra) {
        if (!s.select)
            continue;
        m_watched.insert(s.select);
        m_watched.insert(s.select->fileDialog());
        const EX_CMD_ID load = s.load, clear = s.clear;
        connect(s.select, &XafsFileSelect::newFile, this,
                [this, load](const QString &f) { record(load, {f}); });
        connect(s.select, &XafsFileSelect::cleared, this, [this, clear] { record(clear, {}); });
    }
}

// Files chosen in the window's dialogs: the saves with a command are recorded
// as it, every other choice as a comment naming the dialog and the file.
void ActionRecorder::watchDialogs() {
    const QHash<QString, EX_CMD_ID> saves = {{QStringLiteral("SaveDataDialog"), SAVE_DATA},
                                             {QStringLiteral("SaveImageDialog"), SAVE_IMAGE}};
    for (QFileDialog *d : m_body->findChildren<QFileDialog *>()) {
        if (taken(d) || qobject_cast<SelectDataFiles *>(d->parent()))
            continue;
        m_watched.insert(d);
        const auto save = saves.constFind(d->objectName());
        if (save != saves.constEnd()) {
            const EX_CMD_ID id = *save;
            connect(d, &QFileDialog::fileSelected, this,
                    [this, id](const QString &f) { record(id, {f}); });
        } else {
            connect(d, &QFileDialog::fileSelected, this, [this, d](const QString &f) {
                gap(tr("%1: %2").arg(d->windowTitle().isEmpty() ? describe(d) : d->windowTitle(),
                                     f));
            });
        }
    }
}

// An area dragged out on the image: select_region with its corners.
void ActionRecorder::watchRegion() {
    auto *view = named<ImgDispA>(m_body, QStringLiteral("dispA"));
    if (!view)
        return;
    connect(view, &DispA::mouseReleased0, this, [this, view] {
        if (!view->hasSelection() || view->selectedArea() == m_lastRegion)
            return;
        m_lastRegion = view->selectedArea();
        const QRectF r = m_lastRegion;
        record(SELECT_REGION,
               {QString::number(std::lround(r.left())), QString::number(std::lround(r.top())),
                QString::number(std::lround(r.right())), QString::number(std::lround(r.bottom()))});
    });
}

void ActionRecorder::watchGaps(QWidget *root) {
    if (!root)
        return;
    QList<QWidget *> all = root->findChildren<QWidget *>();
    all.prepend(root);
    for (QWidget *w : all) {
        if (taken(w) || qobject_cast<QFileDialog *>(w->window()) ||
            qobject_cast<QMessageBox *>(w->window()))
            continue;
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            if (b->objectName() == QLatin1String("Select"))
                continue; // opens a file dialog; the choice is what counts
            connect(b, &QAbstractButton::clicked, this, [this, b] { gap(describe(b)); });
        } else if (auto *e = qobject_cast<QLineEdit *>(w); e && !e->isReadOnly()) {
            connect(e, &QLineEdit::editingFinished, this,
                    [this, e] { gap(tr("%1 set to %2").arg(describe(e), e->text())); });
        } else if (auto *c = qobject_cast<QComboBox *>(w)) {
            connect(c, QOverload<int>::of(&QComboBox::activated), this,
                    [this, c] { gap(tr("%1 set to %2").arg(describe(c), c->currentText())); });
        } else {
            continue;
        }
        m_watched.insert(w);
    }
}
