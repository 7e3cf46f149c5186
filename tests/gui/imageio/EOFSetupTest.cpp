#include "imageio/widgets/EOFSetup.h"
#include "app/DebugLog.h"
#include "imageio/EnergyOfFiles.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

template <typename T> T *child(const QWidget &w, const char *name) {
    T *c = w.findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

QString text(const QWidget &w, const char *name) {
    return child<QLineEdit>(w, name)->text();
}

// Types the text into the field and presses Return, as a user finishing an edit.
void edit(const QWidget &w, const char *name, const QString &value) {
    QLineEdit *e = child<QLineEdit>(w, name);
    e->setText(value);
    QTest::keyClick(e, Qt::Key_Return);
}

} // namespace

TEST(EOFSetup, DefaultsAndNamedWidgets) {
    EOFSetup p;
    EXPECT_TRUE(child<QRadioButton>(p, "FromFileName")->isChecked());
    EXPECT_EQ(child<QRadioButton>(p, "FromFileNum")->text(), "Energy Cal. from File No.");
    EXPECT_EQ(child<QRadioButton>(p, "FromRefFile")->text(), "Energy Cal. from Ref. File");
    EXPECT_TRUE(child<QRadioButton>(p, "EvenInAngle")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(p, "EvenInEnergy")->isChecked());
    QComboBox *unit = child<QComboBox>(p, "DisplayUnit");
    EXPECT_EQ(unit->count(), 3);
    EXPECT_EQ(unit->currentText(), "eV");
    EXPECT_EQ(text(p, "Start"), "8000");
    EXPECT_EQ(text(p, "Delta"), "1");
    EXPECT_EQ(text(p, "End"), "9000");
    EXPECT_EQ(text(p, "NumOfPoints"), "1000");
    EXPECT_EQ(text(p, "Factor"), "1");
    EXPECT_EQ(text(p, "Pattern"), "(\\d|)\\d\\d\\d\\d_\\d\\d\\d\\d");
    QComboBox *list = child<QComboBox>(p, "PatternList");
    EXPECT_EQ(list->count(), 10);
    EXPECT_EQ(list->itemText(8), "\\d\\d_\\d\\d\\d\\d\\d\\dKeV");
    EXPECT_NE(child<QPushButton>(p, "SelRefFile"), nullptr);
    EXPECT_TRUE(text(p, "RefFilePath").isEmpty());
}

TEST(EOFSetup, EditingEndOrDeltaRecomputesTheOther) {
    EOFSetup p;
    edit(p, "End", "9500");
    EXPECT_EQ(text(p, "Delta"), "1.5");
    edit(p, "Delta", "2");
    EXPECT_EQ(text(p, "End"), "10000");
    edit(p, "NumOfPoints", "500");
    EXPECT_EQ(text(p, "Delta"), "4");
    edit(p, "Start", "9000");
    EXPECT_EQ(text(p, "End"), "11000");
    // No steps: Delta keeps its value instead of becoming infinite.
    edit(p, "NumOfPoints", "0");
    EXPECT_EQ(text(p, "Delta"), "4");
    edit(p, "NumOfPoints", "many"); // not a number: 0 steps as well
    EXPECT_EQ(text(p, "Delta"), "4");
}

TEST(EOFSetup, BatchSettersRecomputeLikeEdits) {
    EOFSetup p;
    p.setEngCalcEnd(9500);
    EXPECT_EQ(text(p, "Delta"), "1.5");
    p.setEngCalcDelta(2);
    EXPECT_EQ(text(p, "End"), "10000");
    p.setEngCalcStart(7000.123456789);
    EXPECT_EQ(text(p, "Start"), "7000.12");
    p.setEngCalcNum(100);
    EXPECT_EQ(text(p, "NumOfPoints"), "100");
    p.setDispUnit(3); // beyond the units: ignored
    EXPECT_EQ(p.settings().unit, EofSettings::Unit::EV);
    p.setDispUnit(2);
    EXPECT_EQ(p.settings().unit, EofSettings::Unit::Deg);
    p.setEvenInEng(true);
    EXPECT_FALSE(p.settings().evenInAngle);
    p.setEvenInDeg(true);
    EXPECT_TRUE(p.settings().evenInAngle);
}

TEST(EOFSetup, PatternEditSetsFactorAndListEntry) {
    EOFSetup p;
    QComboBox *list = child<QComboBox>(p, "PatternList");
    edit(p, "Pattern", "\\d\\d_\\d\\d\\d\\d\\d\\dKeV");
    EXPECT_EQ(text(p, "Factor"), "1000");
    EXPECT_EQ(list->currentIndex(), 8);
    EXPECT_EQ(list->count(), 10);
    EXPECT_DOUBLE_EQ(p.energyOfFile("/data/CuO_08_979000KeV.tif", 3), 8979);

    edit(p, "Pattern", "E(\\d+)");
    EXPECT_EQ(text(p, "Factor"), "1");
    EXPECT_EQ(list->count(), 11);
    EXPECT_EQ(list->currentText(), "E(\\d+)");

    list->setCurrentIndex(3); // choosing from the list fills the pattern field
    EXPECT_EQ(text(p, "Pattern"), "\\d\\d\\d\\d_\\d\\deV");
    EXPECT_EQ(text(p, "Factor"), "1");

    // The batch form writes the pattern only; the factor stays.
    p.setEngByNameRegExp("\\d_\\d\\d\\d\\d\\d\\dKeV");
    EXPECT_EQ(text(p, "Factor"), "1");
    p.setEngByNameFactor(0.5);
    EXPECT_EQ(text(p, "Factor"), "0.5");
    EXPECT_DOUBLE_EQ(p.energyOfFile("/d/no-number.tif", 4), 2);
}

TEST(EOFSetup, ModeButtonsStayExclusive) {
    EOFSetup p;
    p.setEngByName(false); // an exclusive button cannot be unchecked directly
    EXPECT_TRUE(child<QRadioButton>(p, "FromFileName")->isChecked());
    p.setEngByCalc(true);
    EXPECT_FALSE(child<QRadioButton>(p, "FromFileName")->isChecked());
    EXPECT_EQ(p.settings().mode, EofSettings::Mode::FromFileNum);
    // The mode and the even-in choice are separate groups.
    EXPECT_TRUE(child<QRadioButton>(p, "EvenInAngle")->isChecked());
    p.setEvenInDeg(false);
    EXPECT_TRUE(child<QRadioButton>(p, "EvenInAngle")->isChecked());
    child<QLineEdit>(p, "Start")->setText("abc"); // not a number: 0
    p.setEvenInEng(true);
    child<QLineEdit>(p, "Delta")->setText("2");
    EXPECT_DOUBLE_EQ(p.energyOfFile("x", 3), 6);
}

TEST(EOFSetup, ReferenceFileByBatchAndByDialog) {
    QTemporaryDir dir;
    const QString ref = TestSupport::writeFile(dir, "ref.dat", "angles\n14.0\n14.1\n");
    EOFSetup p;
    p.setEngByRef(QString()); // no file: mode stays, nothing read
    EXPECT_TRUE(child<QRadioButton>(p, "FromFileName")->isChecked());
    EXPECT_DOUBLE_EQ(p.energyOfFile("a_8979_5000.tif", 0), 8979.5);

    p.setEngByRef(ref);
    EXPECT_TRUE(child<QRadioButton>(p, "FromRefFile")->isChecked());
    EXPECT_EQ(text(p, "RefFilePath"), ref);
    ASSERT_EQ(p.refEnergies().size(), 2);
    EXPECT_DOUBLE_EQ(p.energyOfFile("x", 1), EnergyOfFiles::energyOfAngle(14.1));
    EXPECT_DOUBLE_EQ(p.energyOfFile("x", 5), EnergyOfFiles::energyOfAngle(14.1));

    // A file that cannot be opened keeps the energies and the path.
    DebugLog::Capture log;
    p.refFileSelected(dir.filePath("missing.dat"));
    EXPECT_TRUE(log.contains("Can't open ref file"));
    EXPECT_EQ(p.refEnergies().size(), 2);
    EXPECT_EQ(text(p, "RefFilePath"), ref);
}

namespace {

// Loaded files as the series panel hands them over, with the energies the
// default setup gave them.
void loadSeries(EOFSetup *p, const QString &tmpl, const QStringList &tags) {
    for (int i = 0; i < tags.size(); ++i) {
        const QString path = tmpl.arg(tags[i]);
        p->appendSeriesFile({path, i, EnergyOfFiles::energyOfFile(EofSettings(), path, i)});
    }
}

bool shown(const QWidget &w, const char *name) {
    return !child<QWidget>(w, name)->isHidden();
}

} // namespace

// The preview follows the fields as they are typed; its offers put right the
// two cases users met: the default pattern on "..._7030.00eV" names, and keV
// numbers read without the factor.
TEST(EOFSetup, PreviewWarnsAndOffersAsTheFieldsChange) {
    EOFSetup p;
    p.show();
    loadSeries(&p, "/d/FeK_sample_%1eV.tif", {"0000_7030.00", "0001_7031.00", "0002_7032.00"});
    EXPECT_TRUE(p.previewText().startsWith("3 files, 0.703 eV to 2.7032 eV"));
    EXPECT_TRUE(p.warningsText().contains("FeK_sample_0000_7030.00eV.tif gets 0.703 eV"));
    EXPECT_FALSE(shown(p, "UseSuggestedFactor")); // no keV: far too wide for one scan
    ASSERT_TRUE(shown(p, "UseSuggestedPattern"));
    QTest::mouseClick(child<QPushButton>(p, "UseSuggestedPattern"), Qt::LeftButton);
    EXPECT_EQ(text(p, "Pattern"), "\\d\\d\\d\\d\\.\\d\\deV");
    EXPECT_EQ(child<QComboBox>(p, "PatternList")->currentIndex(), 6);
    EXPECT_TRUE(p.previewText().startsWith("3 files, 7030 eV to 7032 eV\nstep 1 eV\n"));
    EXPECT_TRUE(p.previewText().contains("FeK_sample_0002_7032.00eV.tif  7032 eV"));
    // Only the note that the loaded images still carry the old energies.
    EXPECT_TRUE(p.warningsText().startsWith("The loaded images still carry"));
    EXPECT_FALSE(shown(p, "UseSuggestedPattern"));

    // A pattern without unit on keV names: the factor is offered.
    p.clearSeriesFiles();
    loadSeries(&p, "/d/s_%1KeV.tif", {"07_250000", "07_251000"});
    QLineEdit *pattern = child<QLineEdit>(p, "Pattern");
    pattern->selectAll();
    QTest::keyClicks(pattern, "\\d\\d_\\d\\d\\d\\d\\d\\d");
    EXPECT_TRUE(p.previewText().contains("s_07_250000KeV.tif  7.25 eV"));
    ASSERT_TRUE(shown(p, "UseSuggestedFactor"));
    QTest::mouseClick(child<QPushButton>(p, "UseSuggestedFactor"), Qt::LeftButton);
    EXPECT_EQ(text(p, "Factor"), "1000");
    EXPECT_TRUE(p.previewText().contains("s_07_250000KeV.tif  7250 eV"));

    // Typing the unit into the pattern brings the factor at once, before the
    // edit is finished; typing it out takes it back.
    child<QLineEdit>(p, "Factor")->setText("1");
    QTest::keyClicks(pattern, "KeV");
    EXPECT_EQ(text(p, "Factor"), "1000");
    QTest::keyClick(pattern, Qt::Key_Backspace);
    EXPECT_EQ(text(p, "Factor"), "1");

    // Other modes preview too; a broken pattern is named.
    child<QRadioButton>(p, "FromFileNum")->setChecked(true);
    child<QRadioButton>(p, "EvenInEnergy")->setChecked(true);
    edit(p, "Start", "7000");
    EXPECT_TRUE(p.previewText().startsWith("2 files, 7000 eV to 7001 eV"));
    child<QRadioButton>(p, "FromFileName")->setChecked(true);
    pattern->setText("(\\d");
    EXPECT_TRUE(p.warningsText().contains("no valid regular expression"));
}
