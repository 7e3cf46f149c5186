#include "analysis/widgets/ElemPanel.h"

#include "analysis/AnalyzeProc.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/widgets/AElemsConds.h"
#include "analysis/widgets/ElemCtrl.h"

#include "ui_ElemPanel.h"

#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include <QButtonGroup>
#include <QGridLayout>

namespace {

// The element fields' own form, shared with runs set up from plain values.
QString g6(double v) {
    return elemFieldText(v);
}

const char *const aboveStyle = "background-color: rgb(211, 255, 241);";
const char *const belowStyle = "background-color: rgb(176, 192, 192);";

} // namespace

ElemPanel::ElemPanel(Analyzed2DRes *cor, Analyzed2DRes *corTh, AnalyzeProc *worker, QWidget *parent)
    : QFrame(parent), ui(new Ui::ElemPanel), m_worker(worker), m_corMap(cor), m_corThMap(corTh) {
    ui->setupUi(this);
    registerElemMetaTypes();
    m_conds = new AElemsConds(this);
    m_conds->setObjectName(QStringLiteral("AElemsCds"));
    ui->AElemsCdsLayout->addWidget(m_conds);
    ui->CorTh->setText(g6(m_corTh));

    m_disp = new QButtonGroup(this);
    QRadioButton *const radios[] = {
        ui->ShowElemsDMut0,  ui->ShowElemsDMutN,   ui->ShowElemsCorr,
        ui->ShowElemsCorrTh, ui->ShowElemsMutPlus, ui->ShowElemsMutMinus,
        ui->ShowElemsDE,     ui->ShowElemsROI,     ui->ShowElemsNROI};
    for (int id = 0; id <= DispNROI; ++id)
        m_disp->addButton(radios[id], id);
    m_disp->setExclusive(true);
    connect(m_disp, &QButtonGroup::idClicked, this, &ElemPanel::changedSelection);

    connect(ui->AElemNames, &QLineEdit::editingFinished, this, &ElemPanel::newElems);
    connect(ui->AskAnalyzeElems, &QPushButton::clicked, this, &ElemPanel::askAnalyzeElems);
    ui->AskAnalyzeElems->setToolTip(tr("Runs the element analysis over the selected area; reads "
                                       "Stop while it runs"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ElemsProgressBar"));
    m_progressBar->setRange(0, 1000);
    m_progressBar->setTextVisible(false);
    m_progressBar->setMaximumWidth(140);
    ui->NamesLayout->insertWidget(ui->NamesLayout->indexOf(ui->ElemsProgress) + 1, m_progressBar);
    connect(ui->SetSTD, &QPushButton::clicked, this, &ElemPanel::setElemsStd);
    connect(ui->ReCalcCor, &QPushButton::clicked, this, &ElemPanel::recalcCorMap);
    connect(ui->CorTh, &QLineEdit::editingFinished, this, &ElemPanel::newCorTh);
    connect(this, &ElemPanel::setNewCorrelation, this, &ElemPanel::setCorrelation);
    if (m_worker) {
        connect(this, &ElemPanel::analyzeSpectrumElems0, m_worker,
                &AnalyzeProc::analyzeSpectrumElems0, Qt::QueuedConnection);
        connect(m_worker, &AnalyzeProc::finishedAElems, this,
                &ElemPanel::analyzeSpectrumElemsFinished, Qt::QueuedConnection);
    }
    newElems();
    recalcCorMap();
}

ElemPanel::~ElemPanel() {
    delete ui;
}

// ------------------------------------------------------------------ state

ElemCtrl *ElemPanel::row(const QString &name) const {
    for (ElemCtrl *r : m_rows)
        if (r->name() == name)
            return r;
    return nullptr;
}

int ElemPanel::mainTarget() const {
    return m_targets && m_targets->checkedId() >= 0 ? m_targets->checkedId() : 0;
}

int ElemPanel::shownElem() const {
    return m_shows ? m_shows->checkedId() : -1;
}

bool ElemPanel::dispOnTime() const {
    return ui->ElemsDispOnTime->isChecked();
}

// The correlation maps do not belong to an element: they can be shown also
// when there are no rows.
Analyzed2DRes *ElemPanel::selectedMap() const {
    switch (m_disp->checkedId()) {
    case DispCorr:
        return m_corMap;
    case DispCorrTh:
        return m_corThMap;
    default:
        break;
    }
    const int shown = shownElem();
    if (shown < 0 || shown >= m_rows.size())
        return nullptr;
    static const int kinds[] = {ElemDMut,    ElemRatio, -1,      -1,      ElemMuPlus,
                                ElemMuMinus, ElemDE,    ElemROI, ElemNROI};
    const int mode = m_disp->checkedId();
    if (mode < 0 || mode > DispNROI)
        return nullptr;
    return m_rows.at(shown)->map(kinds[mode]);
}

QVector<Analyzed2DRes *> ElemPanel::allMaps() const {
    QVector<Analyzed2DRes *> maps = runMaps();
    maps.removeAll(nullptr);
    return maps;
}

QVector<ElemCondition> ElemPanel::conditionsOfRows() const {
    QVector<ElemCondition> conds;
    conds.reserve(m_rows.size());
    for (const ElemCtrl *r : m_rows)
        conds.append(r->condition());
    return conds;
}

ElemRunSetup ElemPanel::runSetup() const {
    ElemRunSetup s;
    s.conds = conditionsOfRows();
    s.bg = m_conds->background();
    s.mainT = mainTarget();
    for (const ElemCtrl *r : m_rows) {
        s.stdRatios.append(r->stdRatio());
        s.use.append(r->isUse() ? 1 : 0);
    }
    s.corTh = m_corTh;
    return s;
}

QVector<Analyzed2DRes *> ElemPanel::runMaps() const {
    QVector<Analyzed2DRes *> maps;
    for (int k = 0; k < ElemMapKinds; ++k)
        for (const ElemCtrl *r : m_rows)
            maps.append(r->map(k));
    maps.append(m_corMap);
    maps.append(m_corThMap);
    return maps;
}

void ElemPanel::setRunning(bool on) {
    m_running = on;
    ui->AskAnalyzeElems->setText(on ? tr("Stop") : tr("Analyze"));
    if (on)
        setElemsProgress(0);
}

// ------------------------------------------------------------------ rows

void ElemPanel::clearRows() {
    emit rowsAboutToChange();
    ++m_generation;
    delete m_targets;
    delete m_shows;
    m_targets = new QButtonGroup(this);
    m_shows = new QButtonGroup(this);
    m_targets->setExclusive(true);
    m_shows->setExclusive(true);
    connect(m_shows, &QButtonGroup::idClicked, this, &ElemPanel::changedSelection);
    for (ElemCtrl *r : m_rows) {
        ui->AElemBaseLayout->removeWidget(r);
        r->hide();
        r->deleteLater();
    }
    m_rows.clear();
}

void ElemPanel::newElems() {
    clearRows();
    for (const ElemTarget &t :
         parseElemTargets(ui->AElemNames->text(), ui->SortByANo->isChecked())) {
        auto *r = new ElemCtrl(this);
        r->setTarget(t);
        m_rows.append(r);
    }
    for (int i = 0; i < m_rows.size(); ++i) {
        ElemCtrl *r = m_rows.at(i);
        m_targets->addButton(r->mainTargetButton(), i);
        m_shows->addButton(r->showButton(), i);
        ui->AElemBaseLayout->addWidget(r, i, 0);
    }
    if (!m_rows.isEmpty()) {
        m_rows.first()->mainTargetButton()->setChecked(true);
        m_rows.first()->showButton()->setChecked(true);
    }
    emit rowsRebuilt();
    // The display may hold a map of a row going away: it takes the new choice.
    emit changedSelection();
}

void ElemPanel::setTargetElements(const QString &elements) {
    ui->AElemNames->setText(elements);
    newElems();
}

// ------------------------------------------------------------------ analysis

void ElemPanel::analyzeSpectrum(const XafsSpectrum &s) {
    if (!m_worker)
        return;
    m_next = s;
    m_pending = true;
    if (!m_workerBusy)
        sendToWorker();
}

void ElemPanel::sendToWorker() {
    m_pending = false;
    m_workerBusy = true;
    m_sentGeneration = m_generation;
    emit analyzeSpectrumElems0(m_next, conditionsOfRows(), mainTarget(), m_conds->background());
}

// The worker is idle between its signal and the next request: its lists are
// read here. Results for rows that have since been rebuilt are dropped.
void ElemPanel::analyzeSpectrumElemsFinished() {
    m_workerBusy = false;
    if (m_sentGeneration == m_generation) {
        const QVector<ElemValues> &v = m_worker->elemValues();
        for (int i = 0; i < m_rows.size() && i < v.size(); ++i)
            m_rows.at(i)->showValues(v.at(i));
        calcCorrelation();
        emit analyzeElemsFinished();
    }
    if (m_pending)
        sendToWorker();
}

void ElemPanel::calcCorrelation() {
    QVector<double> r, s;
    QVector<char> use;
    for (const ElemCtrl *row : m_rows) {
        r.append(row->lastRatio());
        s.append(row->stdRatio());
        use.append(row->isUse() ? 1 : 0);
    }
    emit setNewCorrelation(
        elemCorrelation(r.constData(), s.constData(), use.constData(), m_rows.size()));
}

void ElemPanel::setCorrelation(double cor) {
    m_cor = cor;
    ui->ElemsCorrelation->setText(g6(cor));
    const int above = cor > m_corTh ? 1 : 0;
    if (above != m_aboveShown) {
        ui->ElemsCorrelation->setStyleSheet(QLatin1String(above ? aboveStyle : belowStyle));
        m_aboveShown = above;
    }
}

void ElemPanel::setElemsStd() {
    for (ElemCtrl *r : m_rows)
        r->setStdRatio(r->lastRatio());
    recalcCorMap();
}

void ElemPanel::newCorTh() {
    m_corTh = ui->CorTh->text().toDouble();
    ui->CorTh->setText(g6(m_corTh));
    recalcCorMap();
}

// The run writes the correlation maps itself; meanwhile they are left alone.
void ElemPanel::recalcCorMap() {
    if (m_running || !m_corMap || !m_corThMap)
        return;
    QVector<const Analyzed2DRes *> ratios;
    QVector<double> stds;
    QVector<char> use;
    for (const ElemCtrl *r : m_rows) {
        ratios.append(r->map(ElemRatio));
        stds.append(r->stdRatio());
        use.append(r->isUse() ? 1 : 0);
    }
    // Before any run there is nothing to correlate, and no progress to show.
    const bool anyMap = std::any_of(ratios.begin(), ratios.end(),
                                    [](const Analyzed2DRes *m) { return m && m->hasGrids(); });
    recalcCorrelationMaps(ratios, stds, use, m_corTh, *m_corMap, *m_corThMap,
                          [this, anyMap](double p) {
                              if (anyMap)
                                  setElemsProgress(p);
                          });
    if (anyMap)
        setElemsProgress(100);
    m_corMap->markFilled();
    m_corThMap->markFilled();
    emit changedSelection();
}

void ElemPanel::setElemsProgress(double perCent) {
    ui->ElemsProgress->setText(QString::asprintf("%5.2f %%", perCent));
    m_progressBar->setValue(int(std::lround(std::clamp(perCent, 0.0, 100.0) * 10)));
}

// ------------------------------------------------------------------ batch

void ElemPanel::setSortByANo(bool on) {
    ui->SortByANo->setChecked(on);
}

void ElemPanel::setCorTh(double th) {
    ui->CorTh->setText(g6(th));
    newCorTh();
}

void ElemPanel::selectDispMode(int mode) {
    if (QAbstractButton *b = m_disp->button(mode))
        b->setChecked(true);
    emit changedSelection();
}

bool ElemPanel::selectTarget(const QString &name) {
    ElemCtrl *r = row(name);
    if (r)
        r->mainTargetButton()->setChecked(true);
    return r != nullptr;
}

bool ElemPanel::selectShow(const QString &name) {
    ElemCtrl *r = row(name);
    if (r)
        r->showButton()->setChecked(true);
    return r != nullptr;
}

void ElemPanel::setAllPrePostDE(double dE) {
    for (ElemCtrl *r : m_rows)
        r->setPrePostDE(dE);
}
