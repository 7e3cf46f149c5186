#include "imageio/widgets/SelectDataFiles.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFilesAdditionalSetup.h"
#include "imageio/widgets/SelectImgDialog.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

template <typename T> T *child(const QWidget &w, const char *name) {
    T *c = w.findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

QComboBox *selected(const SelectDataFiles &p) {
    return child<QComboBox>(p, "Selected");
}
QString count(const SelectDataFiles &p) {
    return child<QLabel>(p, "Count")->text();
}

// A panel holding three loaded files named by energy.
void fill(SelectDataFiles *p) {
    p->addFile("/d/a_8979_0000.tif", 0);
    p->addFile("/d/a_8980_0000.tif", 1);
    p->addFile("/d/a_8981_0000.tif", 2);
}

} // namespace

TEST(SelectDataFiles, NamedWidgetsAndTexts) {
    SelectDataFiles p;
    EXPECT_EQ(child<QPushButton>(p, "Select")->text(), "Data Select");
    EXPECT_EQ(child<QPushButton>(p, "Clear")->text(), "Clear");
    EXPECT_TRUE(child<QRadioButton>(p, "LoadNewFiles")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(p, "AddFiles")->isChecked());
    EXPECT_EQ(child<QPushButton>(p, "EngOfFilesSetup")->text(), "Setup");
    EXPECT_EQ(child<QPushButton>(p, "AdditionalSetup")->text(), "Add. Setup");
    EXPECT_EQ(child<QLineEdit>(p, "ExpTime")->toolTip(),
              "The exporsure eime is used when the time is not recorded in image file.");
    EXPECT_NE(child<QLineEdit>(p, "Skip"), nullptr);
    EXPECT_NE(child<QLineEdit>(p, "CutFirst"), nullptr);
    EXPECT_NE(child<QLineEdit>(p, "CutLast"), nullptr);
    EXPECT_EQ(count(p), "0");

    SelectDataFilesAdditionalSetup *a = p.additionalSetup();
    EXPECT_EQ(a->windowTitle(), "Select Data Files Additional Setup");
    EXPECT_EQ(child<QLabel>(*a, "DarkArea")->text(), "(-,-)-(-,-)");
    EXPECT_EQ(child<QCheckBox>(*a, "ShowLatest")->text(), "Show Latest Image on Load");
    EXPECT_EQ(child<QCheckBox>(*a, "IgnoreLiveFiles")->text(), "Ignore  'Live' file");
    EXPECT_EQ(child<QPushButton>(*a, "SetDA")->text(), "Set Dark Area");
    EXPECT_NE(child<QPushButton>(*a, "ClearDA"), nullptr);
    EXPECT_EQ(child<QPushButton>(*a, "SelectErrPsDef")->text(), "Select Err. Ps. Def.");
    EXPECT_EQ(child<QCheckBox>(*a, "UseErrPs")->text(), "Use Err Points Mask");
    EXPECT_TRUE(child<QLabel>(*a, "ErrPsFile")->text().isEmpty());

    SelectImgDialog *d = p.fileDialog();
    EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(d->nameFilters(),
              QStringList({"PRXM Files, IMG Files, Tiff Files (*.dat *.img *.tif *.tiff)",
                           "HDF5 Stacks (*.h5 *.hdf5 *.hdf *.nxs)", "Any Files (* *.*)"}));
}

// The additional setup offers the shipped stack layouts (generic first
// chosen) and takes a layout file, which the panel hands to the loader.
TEST(SelectDataFiles, StackLayoutChoice) {
    SelectDataFiles p;
    auto *combo = child<QComboBox>(*p.additionalSetup(), "StackLayout");
    ASSERT_NE(combo, nullptr);
    ASSERT_NE(child<QPushButton>(*p.additionalSetup(), "SelectStackLayout"), nullptr);
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names << combo->itemText(i);
    EXPECT_EQ(names, QStringList({"facility", "generic", "nexus"}));
    EXPECT_EQ(p.stackLayout(), ":/layouts/generic.ini");
    p.additionalSetup()->setStackLayout("nexus");
    EXPECT_EQ(p.stackLayout(), ":/layouts/nexus.ini");
    p.additionalSetup()->layoutDialog()->fileSelected("/data/beamline.ini");
    EXPECT_EQ(p.stackLayout(), "/data/beamline.ini");
    EXPECT_EQ(combo->count(), 4);
    EXPECT_DOUBLE_EQ(p.addFileWithEnergy("scan.h5:/stack/images[3]", 7112.5), 7112.5);
    EXPECT_EQ(selected(p)->itemData(0).toDouble(), 7112.5);
}

TEST(SelectDataFiles, DialogSelectionEmitsFilesWithReplaceOrAdd) {
    SelectDataFiles p;
    QSignalSpy spy(&p, &SelectDataFiles::filesSelected);
    const QStringList files{"/d/a.tif", "/d/b.tif"};
    emit p.fileDialog()->filesSelected(files);
    child<QRadioButton>(p, "AddFiles")->setChecked(true);
    emit p.fileDialog()->filesSelected(files);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[0][0].toStringList(), files);
    EXPECT_TRUE(spy[0][1].toBool());
    EXPECT_FALSE(spy[1][1].toBool());
    EXPECT_FALSE(p.loadNewFiles());
}

TEST(SelectDataFiles, ButtonsReachTheirSignals) {
    SelectDataFiles p;
    QSignalSpy cleared(&p, &SelectDataFiles::clear);
    QSignalSpy setDA(&p, &SelectDataFiles::setDarkArea);
    QSignalSpy clearDA(&p, &SelectDataFiles::clearDarkArea);
    QTest::mouseClick(child<QPushButton>(p, "Clear"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*p.additionalSetup(), "SetDA"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*p.additionalSetup(), "ClearDA"), Qt::LeftButton);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(setDA.count(), 1);
    EXPECT_EQ(clearDA.count(), 1);
    QTest::mouseClick(child<QPushButton>(p, "EngOfFilesSetup"), Qt::LeftButton);
    EXPECT_TRUE(p.eofSetup()->isVisible());
    QTest::mouseClick(child<QPushButton>(p, "AdditionalSetup"), Qt::LeftButton);
    EXPECT_TRUE(p.additionalSetup()->isVisible());
}

TEST(SelectDataFiles, AddFileStoresEnergyAndCount) {
    SelectDataFiles p;
    p.setEngByNameRegExp("\\d\\d\\d\\d_\\d\\d\\d\\d");
    fill(&p);
    EXPECT_EQ(count(p), "3");
    EXPECT_EQ(selected(p)->itemText(1), "/d/a_8980_0000.tif");
    EXPECT_DOUBLE_EQ(selected(p)->itemData(1).toDouble(), 8980);
    p.setEngByCalc(true);
    p.setEvenInEng(true);
    EXPECT_DOUBLE_EQ(p.addFile("/d/x.tif", 7), 8007);
    p.clearFiles();
    EXPECT_EQ(selected(p)->count(), 0);
    EXPECT_EQ(count(p), "0");
}

TEST(SelectDataFiles, NavigationStaysInRangeAndShowLatestGatesIndexSignal) {
    SelectDataFiles p;
    QSignalSpy spy(&p, &SelectDataFiles::currentIndexChanged);
    fill(&p);
    p.select(2);
    EXPECT_EQ(selected(p)->currentIndex(), 2);
    EXPECT_EQ(spy.count(), 0); // ShowLatest unchecked: nothing emitted
    p.select(-1);
    p.select(3);
    EXPECT_EQ(selected(p)->currentIndex(), 2);
    p.next();
    EXPECT_EQ(selected(p)->currentIndex(), 2);
    p.setShowLatest(true);
    EXPECT_TRUE(p.showLatest());
    p.prev();
    p.prev();
    p.prev();
    EXPECT_EQ(selected(p)->currentIndex(), 0);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[1][0].toInt(), 0);
}

TEST(SelectDataFiles, OptionFieldsAndExposureTime) {
    SelectDataFiles p;
    p.setSkip(3);
    p.setCutF(1);
    p.setCutL(2);
    EXPECT_EQ(child<QLineEdit>(p, "Skip")->text(), "3");
    EXPECT_EQ(p.skip(), 3);
    EXPECT_EQ(p.cutFirst(), 1);
    EXPECT_EQ(p.cutLast(), 2);
    child<QLineEdit>(p, "Skip")->setText("x");
    EXPECT_EQ(p.skip(), 0);
    EXPECT_FALSE(p.ignoreLive());
    child<QCheckBox>(*p.additionalSetup(), "IgnoreLiveFiles")->setChecked(true);
    EXPECT_TRUE(p.ignoreLive());

    QLineEdit *exp = child<QLineEdit>(p, "ExpTime");
    p.setExpTimeMS(123.456789, true);
    EXPECT_EQ(exp->text(), "123.457");
    EXPECT_EQ(exp->styleSheet(), "background-color: rgb(255, 255, 255);");
    p.setExpTimeMS(50, false);
    EXPECT_EQ(exp->styleSheet(), "background-color: rgb(255, 192, 192);");
    EXPECT_DOUBLE_EQ(p.expTimeMS(), 50);
}

TEST(SelectDataFiles, DarkAreaLabelUsesIntegerCorners) {
    SelectDataFiles p;
    p.darkArea(QRectF(10.7, 20.2, 5.5, 4.9));
    EXPECT_EQ(child<QLabel>(*p.additionalSetup(), "DarkArea")->text(), "(10,20)-(16,25)");
}

TEST(SelectDataFiles, ErrorPointMaskFollowsFileAndSwitch) {
    QTemporaryDir dir;
    const QString mask = TestSupport::writeFile(dir, "err.dat", "# Size 4 4\n1 2\n3 3\n");
    SelectDataFiles p;
    SelectDataFilesAdditionalSetup *a = p.additionalSetup();
    QLabel *label = child<QLabel>(*a, "ErrPsFile");
    QCheckBox *use = child<QCheckBox>(*a, "UseErrPs");

    a->errPsDefSelected(mask);
    EXPECT_EQ(label->text(), mask);
    EXPECT_EQ(p.errPoints().points().size(), 2);
    EXPECT_FALSE(p.errPoints().use()); // the switch is off
    use->setChecked(true);
    EXPECT_TRUE(p.errPoints().use());
    a->errPsDefSelected(mask); // re-read with the switch on
    EXPECT_TRUE(p.errPoints().use());

    DebugLog::Capture log;
    emit a->errPsDialog()->fileSelected(dir.filePath("missing.dat"));
    EXPECT_TRUE(label->text().isEmpty());
    EXPECT_FALSE(p.errPoints().use());
    EXPECT_TRUE(p.errPoints().isEmpty());
    EXPECT_TRUE(log.contains("Can't Open"));
}

TEST(SelectDataFiles, BatchEnergySlotsReachThePanel) {
    SelectDataFiles p;
    p.setEngCalcEnd(9500);
    EXPECT_EQ(child<QLineEdit>(*p.eofSetup(), "Delta")->text(), "1.5");
    p.setEngByCalc(true);
    p.setEvenInDeg(true);
    p.setDispUnit(1);
    p.setEngCalcStart(8);
    p.setEngCalcEnd(9);
    EXPECT_NEAR(p.addFile("/d/x.tif", 1000), 9000, 1e-6);
    p.setEngByName(true);
    p.setEngByNameRegExp("\\d+");
    p.setEngByNameFactor(2);
    EXPECT_DOUBLE_EQ(p.addFile("/d/E100.tif", 0), 200);
}

TEST(SelectDataFiles, StartsFromDataRootAndConfiguredMask) {
    QTemporaryDir dir;
    const QString mask = TestSupport::writeFile(dir, "err.dat", "5 6\n");
    AppSettings::setDataRoot(dir.path());
    AppSettings::params().set("errpoints", mask); // looked up in any case
    SelectDataFiles p;
    AppSettings::params().set("errpoints", QString());
    AppSettings::resetDefaults();
    EXPECT_EQ(QDir(p.fileDialog()->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    EXPECT_EQ(child<QLabel>(*p.additionalSetup(), "ErrPsFile")->text(), mask);
    EXPECT_TRUE(p.errPoints().contains(5, 6));
    EXPECT_FALSE(p.errPoints().use()); // UseErrPs is off
}

// One energy setup for both series: I0 follows I1 until a batch command (or
// the user) gives it its own.
TEST(SelectDataFiles, I0TakesTheI1EnergySetupUntilGivenItsOwn) {
    SelectDataFiles i1, i0;
    i1.setWindowTitle("I1 Data");
    EXPECT_EQ(i1.eofSetup()->windowTitle(), "I1 Data - Energy of Files Setup");
    EXPECT_TRUE(child<QCheckBox>(*i1.eofSetup(), "SameAsI1")->isHidden());
    i0.followEnergySetupOf(&i1);
    QCheckBox *same = child<QCheckBox>(*i0.eofSetup(), "SameAsI1");
    EXPECT_FALSE(same->isHidden());
    EXPECT_TRUE(same->isChecked());
    EXPECT_FALSE(child<QWidget>(*i0.eofSetup(), "OwnSetup")->isEnabled());

    i1.setEngByNameRegExp("\\d\\d\\d\\d\\.\\d\\deV");
    EXPECT_DOUBLE_EQ(i0.addFile("/d/FeK_0000_7030.00eV.tif", 0), 7030);
    EXPECT_TRUE(i0.eofSetup()->previewText().startsWith("Energies from the I1 energy setup."));
    EXPECT_TRUE(i1.energiesFromLeader() == false && i0.energiesFromLeader());

    i0.setEngByNameFactor(2); // a batch line for I0: its own settings from now on
    EXPECT_FALSE(same->isChecked());
    EXPECT_TRUE(child<QWidget>(*i0.eofSetup(), "OwnSetup")->isEnabled());
    EXPECT_DOUBLE_EQ(i0.addFile("/d/FeK_0000_7030.00eV.tif", 0), 2 * 0.703);
}

// What is written at the end of a run and put back at the next start.
TEST(SelectDataFiles, EnergySetupIsRememberedByFieldName) {
    SelectDataFiles i1, i0, next1, next0;
    i0.followEnergySetupOf(&i1);
    next0.followEnergySetupOf(&next1);
    QLineEdit *pattern = child<QLineEdit>(*i0.eofSetup(), "Pattern");
    i0.setEngByNameRegExp("E(\\d+)x"); // leaves I1
    i0.setEngByNameFactor(0.5);
    i1.setEngByCalc(true);
    i1.setEngCalcStart(7000.5);
    i1.setDispUnit(1);
    const QMap<QString, QString> v0 = i0.rememberedValues();
    EXPECT_EQ(v0.value("Pattern"), "E(\\d+)x");
    EXPECT_EQ(v0.value("SameAsI1"), "0");
    EXPECT_FALSE(i1.rememberedValues().contains("SameAsI1"));

    next1.restoreRemembered(i1.rememberedValues());
    next0.restoreRemembered(v0);
    EXPECT_FALSE(next0.energiesFromLeader());
    EXPECT_EQ(child<QLineEdit>(*next0.eofSetup(), "Pattern")->text(), pattern->text());
    EXPECT_EQ(child<QLineEdit>(*next0.eofSetup(), "Factor")->text(), "0.5");
    EXPECT_EQ(child<QComboBox>(*next0.eofSetup(), "PatternList")->currentText(), "E(\\d+)x");
    const EofSettings a = i1.eofSetup()->settings(), b = next1.eofSetup()->settings();
    EXPECT_EQ(b.mode, EofSettings::Mode::FromFileNum);
    EXPECT_EQ(b.unit, EofSettings::Unit::KEV);
    EXPECT_EQ(b.start, a.start);
    EXPECT_EQ(b.end, a.end);
    EXPECT_EQ(b.delta, a.delta);
}
