#include "mainwindow/widgets/ComponentRunControl.h"

#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ComponentsCtrl.h"
#include "app/UserMessages.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("ComponentRunControl", text);
}

QString kindName(ComponentKind kind) {
    switch (kind) {
    case ComponentKind::Clusters:
        return tr("Clusters");
    case ComponentKind::Nmf:
        return tr("NMF");
    default:
        return tr("PCA");
    }
}

// A whole number within [lo, hi] at argument k of cmd.
bool wholeArg(const CmdLine &cmd, int k, int lo, int hi, int *v) {
    bool ok = false;
    *v = cmd.arg(k).toInt(&ok);
    return ok && *v >= lo && *v <= hi;
}

bool numberArg(const CmdLine &cmd, int k, double *v) {
    bool ok = false;
    *v = cmd.arg(k).toDouble(&ok);
    return ok && std::isfinite(*v);
}

} // namespace

ComponentRunControl::ComponentRunControl(Analyzer *analyzer, RunBoard *runs, PrepareRun prepare,
                                         std::function<void()> showMap, QObject *parent)
    : QObject(parent), m_analyzer(analyzer), m_panel(analyzer->componentsCtrl()), m_runs(runs),
      m_prepare(std::move(prepare)), m_showMap(std::move(showMap)), m_run(new ComponentRun(this)) {
    m_runs->add({m_run, tr("a components run is going on"), true, true});
    connect(m_run, &ComponentRun::progress, m_panel, &ComponentsCtrl::setProgress);
    connect(m_run, &ComponentRun::finished, this, &ComponentRunControl::runEnded);
    connect(m_analyzer, &Analyzer::askComponents, this, [this] {
        if (isRunning())
            stop();
        else
            start(m_panel->kind());
    });
}

bool ComponentRunControl::start(ComponentKind kind) {
    if (isRunning()) {
        UserMessages::refuse(tr("Components: a run is going on"));
        return false;
    }
    ComponentSettings s;
    AnalyzeCond grid;
    if (!m_prepare(&s, &grid))
        return false;
    m_panel->setKind(kind);
    m_panel->fillSettings(&s);
    const QString problem = componentRunProblem(kind, s);
    if (!problem.isEmpty() || !m_run->start(kind, s, grid)) {
        const QString text =
            tr("Components not started: %1").arg(problem.isEmpty() ? m_run->problem() : problem);
        m_analyzer->setRunMessage(text);
        UserMessages::refuse(text);
        return false;
    }
    m_runs->started(m_run);
    m_analyzer->setRunMessage(QString());
    m_panel->setRunning(true);
    UserMessages::info(tr("Components: %1 over %2 bins").arg(kindName(kind)).arg(grid.binCount()));
    return true;
}

void ComponentRunControl::halt() {
    if (!isRunning())
        return;
    m_halting = true;
    m_run->stop();
    m_run->wait();
}

// A halted run's end is not news: the window is changing what it read.
void ComponentRunControl::runEnded(bool completed) {
    m_panel->setRunning(false);
    if (completed && !m_halting) {
        ComponentResult r = m_run->takeResult();
        const QString text = tr("Components: %1 done in %2 s, %3 bins analysed, %4 left out")
                                 .arg(kindName(r.kind))
                                 .arg(r.seconds, 0, 'f', 2)
                                 .arg(r.binsUsed)
                                 .arg(r.binsLeftOut);
        m_panel->setResult(std::move(r));
        m_analyzer->selectAnalysisMode(Analyzer::ModeComponents);
        m_showMap();
        UserMessages::info(text);
    } else if (!m_halting) {
        UserMessages::warn(tr("Components %1: the last result stays").arg(m_run->problem()));
    }
    m_halting = false;
    emit runFinished(completed);
    m_runs->ended(m_run);
}

// ------------------------------------------------------------------ batch

void ComponentRunControl::execCommand(EX_CMD_ID id, ComponentKind kind, const CmdLine &cmd) {
    int count = 0;
    const QString name = ExCmdTable::nameOf(id);
    if (kind != ComponentKind::Pca && !wholeArg(cmd, 0, 1, 1000, &count)) {
        UserMessages::refuse(tr("%1 refused: K must be a whole number from 1 to 1000").arg(name));
    } else {
        if (kind == ComponentKind::Clusters)
            m_panel->setClusters(count);
        else if (kind == ComponentKind::Nmf)
            m_panel->setNmfComponents(count);
        if (start(kind) && m_runs->answerAtEnd(m_run, id))
            return;
    }
    m_finish(id);
}

bool ComponentRunControl::selectMap(const CmdLine &cmd, QString *why) {
    const QString kind = cmd.arg(0).toLower();
    int j = 0;
    const bool numbered = wholeArg(cmd, 1, 0, 1000000, &j);
    bool ok = false;
    if (kind == "cluster" || kind == "clusters")
        ok = m_panel->selectMap(ComponentKind::Clusters, 0);
    else if ((kind == "pca" || kind == "score") && numbered)
        ok = m_panel->selectMap(ComponentKind::Pca, j);
    else if ((kind == "nmf" || kind == "weight") && numbered)
        ok = m_panel->selectMap(ComponentKind::Nmf, j);
    else {
        *why = tr("KIND is pca, cluster or nmf and J a map number");
        return false;
    }
    if (!ok) {
        *why = tr("the last components run has no %1 map %2").arg(kind, cmd.arg(1));
        return false;
    }
    m_analyzer->selectAnalysisMode(Analyzer::ModeComponents);
    m_showMap();
    return true;
}

void ComponentRunControl::registerCommands(const RegisterCommand &add, FinishCommand finish) {
    m_finish = std::move(finish);
    // The settings commands and the map and spectrum commands answer at once.
    const auto atOnce = [this, add](EX_CMD_ID id, std::function<QString(const CmdLine &)> effect) {
        add(id, [this, id, effect](const CmdLine &cmd) {
            const QString why = effect(cmd);
            if (!why.isEmpty())
                UserMessages::refuse(tr("%1 refused: %2").arg(ExCmdTable::nameOf(id), why));
            m_finish(id);
        });
    };
    atOnce(COMPONENTS_SET_RANGE, [this](const CmdLine &cmd) {
        double s = 0, e = 0;
        if (!numberArg(cmd, 0, &s) || !numberArg(cmd, 1, &e) || !(s < e))
            return tr("S E are two energies in eV, the start below the end");
        m_panel->setRange(s, e);
        return QString();
    });
    atOnce(COMPONENTS_SET_COUNT, [this](const CmdLine &cmd) {
        int n = 0;
        if (!wholeArg(cmd, 0, 1, 1000, &n))
            return tr("N must be a whole number from 1 to 1000");
        m_panel->setComponents(n);
        return QString();
    });
    atOnce(COMPONENTS_SELECT_MAP, [this](const CmdLine &cmd) {
        QString why;
        selectMap(cmd, &why);
        return why;
    });
    atOnce(COMPONENTS_SAVE_SPECTRUM, [this](const CmdLine &cmd) {
        int j = 0;
        QString why;
        if (!wholeArg(cmd, 0, 0, 1000000, &j) || cmd.arg(1).isEmpty())
            return tr("J is a spectrum number and FILE a file name");
        m_analyzer->saveComponentSpectrum(j, cmd.arg(1), &why);
        return why;
    });
    atOnce(COMPONENTS_USE_AS_REFERENCE, [this](const CmdLine &cmd) {
        int j = 0, row = 0;
        QString why;
        if (!wholeArg(cmd, 0, 0, 1000000, &j) || !wholeArg(cmd, 1, -1, 63, &row))
            return tr("J is a spectrum number and ROW a reference row from 0 to 63 "
                      "(-1: the next free one)");
        m_analyzer->useComponentAsReference(j, row, &why);
        return why;
    });
    const std::pair<EX_CMD_ID, ComponentKind> runs[] = {
        {COMPONENTS_EXEC_PCA, ComponentKind::Pca},
        {COMPONENTS_EXEC_CLUSTERS, ComponentKind::Clusters},
        {COMPONENTS_EXEC_NMF, ComponentKind::Nmf}};
    for (const auto &[id, kind] : runs)
        add(id, [this, id = id, kind = kind](const CmdLine &cmd) { execCommand(id, kind, cmd); });
}
