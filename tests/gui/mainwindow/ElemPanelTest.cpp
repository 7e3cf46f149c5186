// The element part of the analysis panel, driven through the main window's
// batch commands and found by object names.
#include "analysis/widgets/ElemPanel.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ElemCtrl.h"
#include "mainwindow/widgets/Body.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QStringList rowNames(const ElemPanel *p) {
    QStringList names;
    for (const ElemCtrl *r : p->rows())
        names << r->name();
    return names;
}

QString field(const QWidget *w, const char *name) {
    const auto *e = w->findChild<QLineEdit *>(QLatin1String(name));
    return e ? e->text() : QStringLiteral("<none>");
}

// Runs one command line and checks that it is answered once, with its id.
void exec(Body &body, const QString &line) {
    QSignalSpy answers(&body, &Body::finishBatchExec);
    const CmdLine cmd = CmdLine::parse(line);
    body.execCmdSlot(cmd, false);
    ASSERT_EQ(answers.size(), 1) << line.toStdString();
    EXPECT_EQ(answers.at(0).at(0).toInt(), int(ExCmdTable::idOf(cmd.command)))
        << line.toStdString();
}

} // namespace

TEST(ElemPanelTest, RowsFieldsAndMapChoiceThroughBatchCommands) {
    Body body;
    ElemPanel *p = body.analyzer()->elemPanel();
    exec(body, "analyzer_target_elements \"Cu,Fe  Ni-K Xx\"");
    EXPECT_EQ(rowNames(p), (QStringList{"Cu-K", "Fe-K", "Ni-K"}));
    exec(body, "analyzer_elems_sort_by_an 1");
    exec(body, "analyzer_target_elements Cu Fe Ni-K");
    EXPECT_EQ(rowNames(p), (QStringList{"Fe-K", "Ni-K", "Cu-K"}));
    ASSERT_EQ(p->rows().size(), 3);

    ElemCtrl *fe = p->rows().at(0);
    EXPECT_EQ(field(fe, "PrePostDE"), "20");
    EXPECT_EQ(field(fe, "ThDMut"), "0.1");
    EXPECT_EQ(field(fe, "ROIs"), "7000");
    EXPECT_EQ(field(fe, "StdRatio"), "1.0");
    EXPECT_EQ(fe->findChild<QLineEdit *>("Eng")->toolTip(), "Expected Absorption Edge.");
    EXPECT_EQ(fe->findChild<QLabel *>("No")->text(), "26");
    EXPECT_TRUE(fe->mainTargetButton()->isChecked());
    EXPECT_EQ(fe->map(ElemROI)->name(), "Fe-K Elem Ctrl ROI");

    exec(body, "analyzer_elems_set_deVs 15.5");
    exec(body, "analyzer_elems_roi Ni-K 8400 8450.25");
    exec(body, "analyzer_elems_thdmut Ni-K 0.05");
    exec(body, "analyzer_elems_no_neg Ni-K 1");
    exec(body, "analyzer_elems_set_use Cu-K 2");
    exec(body, "analyzer_elems_bg_dMut x 0.5");
    exec(body, "analyzer_elems_bg_NROI x -3");
    exec(body, "analyzer_elems_select_target Ni-K");
    exec(body, "analyzer_elems_select_show Cu-K");
    exec(body, "analyzer_elems_select_target Zz-K"); // unknown: nothing changes
    const ElemRunSetup s = p->runSetup();
    ASSERT_EQ(s.conds.size(), 3);
    EXPECT_EQ(s.conds[2].dE, 15.5);
    EXPECT_EQ(s.conds[1].roiStart, 8400);
    EXPECT_EQ(s.conds[1].roiEnd, 8450.25);
    EXPECT_EQ(s.conds[1].th, 0.05);
    EXPECT_TRUE(s.conds[1].noNeg);
    EXPECT_EQ(s.use, (QVector<char>{1, 1, 0}));
    EXPECT_EQ(s.bg.dMut, 0.5);
    EXPECT_EQ(s.bg.nRoi, -3);
    EXPECT_EQ(s.mainT, 1);
    EXPECT_EQ(p->shownElem(), 2);

    exec(body, "analyzer_select_analysis_mode 2");
    const struct {
        int code;
        const char *map;
    } choices[] = {{0, "Cu-K Elem Ctrl 0"},   {1, "Cu-K Elem Ctrl N"},   {2, "a2d ElemsCor"},
                   {3, "a2d ElemsCorTh"},     {4, "Cu-K Elem Ctrl MP"},  {5, "Cu-K Elem Ctrl MM"},
                   {6, "Cu-K Elem Ctrl DE"},  {7, "Cu-K Elem Ctrl ROI"}, {8, "Cu-K Elem Ctrl NROI"},
                   {9, "Cu-K Elem Ctrl NROI"}};
    for (const auto &c : choices) {
        QSignalSpy changed(body.analyzer(), &Analyzer::changedSelection);
        exec(body, QStringLiteral("analyzer_elems_select_disp_mode %1").arg(c.code));
        EXPECT_GE(changed.size(), 1);
        ASSERT_TRUE(body.analyzer()->selectedMap()) << c.code;
        EXPECT_EQ(body.analyzer()->selectedMap()->name(), c.map);
    }
    // No image: the run cannot start and the line is answered at once.
    exec(body, "analyzer_exec_elems");
    exec(body, "analyzer_target_elements");
    EXPECT_TRUE(p->rows().isEmpty());
    exec(body, "analyzer_elems_select_disp_mode 0");
    EXPECT_EQ(body.analyzer()->selectedMap(), nullptr);
}

TEST(ElemPanelTest, CorrelationColourThresholdAndStandard) {
    Body body;
    ElemPanel *p = body.analyzer()->elemPanel();
    auto *cor = p->findChild<QLineEdit *>("ElemsCorrelation");
    ASSERT_TRUE(cor);
    EXPECT_EQ(field(p, "CorTh"), "0.999");
    exec(body, "analyzer_elems_set_corr_th 0.75");
    EXPECT_EQ(p->corThreshold(), 0.75);
    const struct {
        double cor;
        bool above;
    } cases[] = {{0.9, true}, {0.75, false}, {0.2, false}, {0.7501, true}};
    for (const auto &c : cases) {
        p->setCorrelation(c.cor);
        EXPECT_EQ(cor->text(), QString::number(c.cor, 'g', 6));
        EXPECT_EQ(cor->styleSheet().contains("211, 255, 241"), c.above) << c.cor;
    }
    // Without rows in use the correlation is 0.
    exec(body, "analyzer_target_elements Fe Ni");
    exec(body, "analyzer_elems_set_use Fe-K 0");
    exec(body, "analyzer_elems_set_use Ni-K 0");
    p->calcCorrelation();
    EXPECT_EQ(p->correlation(), 0.0);
    p->setElemsStd();
    EXPECT_EQ(field(p->rows().at(0), "StdRatio"), "1");
}

// Fresh rows set a run up exactly as elemDefaultSetup does (the command-line
// run's starting point): the same E0 as the fields show, the same defaults.
TEST(ElemPanelTest, FreshRowsGiveTheDefaultRunSetup) {
    Body body;
    ElemPanel *p = body.analyzer()->elemPanel();
    const QString names = "Pb-L3 Fe U Ni-K";
    exec(body, "analyzer_target_elements " + names);
    const ElemRunSetup panel = p->runSetup();
    const ElemRunSetup core = elemDefaultSetup(parseElemTargets(names, false));
    ASSERT_EQ(panel.conds.size(), 4);
    ASSERT_EQ(core.conds.size(), 4);
    for (int j = 0; j < 4; ++j) {
        const ElemCondition &a = panel.conds[j], &b = core.conds[j];
        EXPECT_EQ(a.e0, b.e0) << j;
        EXPECT_EQ(QString::number(a.e0, 'g', 6), field(p->rows().at(j), "Eng")) << j;
        EXPECT_EQ(std::vector<double>({a.dE, a.roiStart, a.roiEnd, a.th}),
                  std::vector<double>({b.dE, b.roiStart, b.roiEnd, b.th}));
        EXPECT_EQ(a.noNeg, b.noNeg);
    }
    EXPECT_EQ(std::vector<double>({panel.bg.dMut, panel.bg.dE, panel.bg.roi, panel.bg.nRoi}),
              std::vector<double>({core.bg.dMut, core.bg.dE, core.bg.roi, core.bg.nRoi}));
    EXPECT_EQ(panel.stdRatios, core.stdRatios);
    EXPECT_EQ(panel.use, core.use);
    EXPECT_EQ(panel.mainT, core.mainT);
    EXPECT_EQ(panel.corTh, core.corTh);
}
