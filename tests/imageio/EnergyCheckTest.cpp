#include "imageio/EnergyCheck.h"

#include <gtest/gtest.h>

namespace {

const QString DefaultPattern = EnergyOfFiles::presetPatterns().first();
constexpr double PatternFactor = -1; // the factor the pattern itself takes

// The template with %1 replaced by each tag in turn.
QStringList names(const QString &tmpl, const QStringList &tags) {
    QStringList files;
    for (const QString &t : tags)
        files << tmpl.arg(t);
    return files;
}

struct NameCase {
    const char *what;
    QString pattern;
    double factor;
    QStringList files;
    QVector<double> energies;
    QString warning; // a text the first warning contains; empty: none
};

EofSettings byName(const NameCase &c) {
    EofSettings s;
    s.pattern = c.pattern;
    s.factor = c.factor == PatternFactor ? EnergyOfFiles::factorForPattern(c.pattern) : c.factor;
    return s;
}

} // namespace

TEST(EnergyCheck, FileNameFormsGiveEnergiesAndWarnings) {
    const QStringList kev = {"07_250000", "07_251000", "07_252000"};
    const NameCase cases[] = {
        {"default pattern on the demo's names",
         DefaultPattern,
         PatternFactor,
         names("/d/i1/demo_i1_%1.tif", {"07112_5000", "07113_0000", "07113_5000"}),
         {7112.5, 7113, 7113.5},
         ""},
        {"default pattern on eV names with decimals",
         DefaultPattern,
         PatternFactor,
         names("/d/FeK_sample_%1eV.tif", {"0000_7030.00", "0001_7031.00", "0002_7032.00"}),
         {0.703, 1.7031, 2.7032},
         "FeK_sample_0000_7030.00eV.tif gets 0.703 eV, below 100 eV"},
        {"eV preset with a decimal point",
         "\\d\\d\\d\\d\\.\\d\\deV",
         PatternFactor,
         names("/d/FeK_sample_%1eV.tif", {"0000_7030.00", "0001_7031.00", "0002_7032.00"}),
         {7030, 7031, 7032},
         ""},
        {"underscore as decimal separator before eV",
         "\\d\\d\\d\\d_\\d\\deV",
         PatternFactor,
         names("/d/a_%1eV.tif", {"8979_50", "8980_00", "8980_50"}),
         {8979.5, 8980, 8980.5},
         ""},
        {"keV pattern takes 1000",
         "\\d\\d_\\d\\d\\d\\d\\d\\dKeV",
         PatternFactor,
         names("/d/s_%1KeV.tif", kev),
         {7250, 7251, 7252},
         ""},
        {"keV pattern set by a batch without a factor",
         "\\d\\d_\\d\\d\\d\\d\\d\\dKeV",
         1,
         names("/d/s_%1KeV.tif", kev),
         {7.25, 7.251, 7.252},
         "s_07_250000KeV.tif gets 7.25 eV"},
        {"a factor scales the number",
         "\\d\\d\\d\\d\\d",
         0.1,
         names("/d/img_E%1.tif", {"71120", "71125"}),
         {7112, 7112.5},
         ""},
        {"eV names scaled as keV go above 200 keV",
         "\\d\\d\\d\\d\\.\\d\\deV",
         1000,
         names("/d/FeK_%1eV.tif", {"7030.00", "7031.00"}),
         {7030000, 7031000},
         "FeK_7030.00eV.tif gets 7.03e+06 eV, above 200 keV (all 2 files lie outside"},
        {"a series that does not ascend",
         "\\d\\d\\d\\d\\.\\d\\d",
         PatternFactor,
         names("/d/e%1.tif", {"7030.00", "7031.00", "7020.00", "7040.00"}),
         {7030, 7031, 7020, 7040},
         "e7020.00.tif (7020 eV) follows e7031.00.tif (7031 eV)"},
        {"two files at one energy",
         "\\d\\d\\d\\d\\.\\d\\d",
         PatternFactor,
         names("/d/%1.tif", {"a7030.00", "b7031.00", "c7031.00"}),
         {7030, 7031, 7031},
         "b7031.00.tif and c7031.00.tif get the same energy, 7031 eV."},
    };
    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.what);
        const QVector<double> e = EnergyCheck::energiesOf(byName(c), c.files);
        ASSERT_EQ(e.size(), c.energies.size());
        for (int i = 0; i < e.size(); ++i)
            EXPECT_NEAR(e[i], c.energies[i], 1e-9 * c.energies[i]);
        const QStringList w = EnergyCheck::seriesWarnings(c.files, e);
        if (c.warning.isEmpty())
            EXPECT_TRUE(w.isEmpty()) << w.join('\n').toStdString();
        else
            EXPECT_TRUE(!w.isEmpty() && w.first().contains(c.warning))
                << w.join('\n').toStdString();
    }
}

// What the energy setup offers when the fields give a wrong series.
TEST(EnergyCheck, OffersTheKeVFactorAndAPresetPattern) {
    const QStringList kevNames = names("/d/s_%1.tif", {"07_250000", "07_251000"});
    EofSettings plain;
    plain.pattern = "\\d\\d_\\d\\d\\d\\d\\d\\d";
    const QVector<double> keV = EnergyCheck::energiesOf(plain, kevNames);
    EXPECT_TRUE(EnergyCheck::offersKeVFactor(plain, keV));
    EXPECT_TRUE(EnergyCheck::keVFactorOffer(keV).contains("7250 eV to 7251 eV"));
    EofSettings withUnit = plain;
    withUnit.pattern += "KeV";
    EXPECT_FALSE(EnergyCheck::offersKeVFactor(withUnit, keV)); // the unit is known
    EofSettings scaled = plain;
    scaled.factor = 2;
    EXPECT_FALSE(EnergyCheck::offersKeVFactor(scaled, keV)); // a factor was chosen

    // The default pattern reads file number and energy as one small number:
    // those are no keV (they span far more than a scan), but a preset reads
    // the energy, the one that names its unit first.
    const QStringList evNames =
        names("/d/FeK_sample_%1eV.tif", {"0000_7030.00", "0001_7031.00", "0002_7032.00"});
    EofSettings dflt;
    const QVector<double> wrong = EnergyCheck::energiesOf(dflt, evNames);
    EXPECT_FALSE(EnergyCheck::offersKeVFactor(dflt, wrong));
    EXPECT_EQ(EnergyCheck::suggestedPattern(evNames), "\\d\\d\\d\\d\\.\\d\\deV");
    EXPECT_TRUE(EnergyCheck::patternOffer("\\d\\d\\d\\d\\.\\d\\deV", evNames)
                    .contains("7030 eV to 7032 eV"));
    EXPECT_TRUE(EnergyCheck::suggestedPattern(names("/d/x%1.tif", {"1", "2"})).isEmpty());

    EXPECT_TRUE(EnergyCheck::patternError(DefaultPattern).isEmpty());
    EXPECT_TRUE(EnergyCheck::patternError("(\\d").contains("no valid regular expression"));
}

TEST(EnergyCheck, PreviewOfALongSeriesStaysShort) {
    QStringList files;
    QVector<double> e;
    for (int i = 0; i < 500; ++i) {
        files << QString("/d/scan_%1.tif").arg(i, 4, 10, QChar('0'));
        e << 7000 + (i < 250 ? 0.5 * i : 125 + (i - 250)); // finer steps below the edge
    }
    EnergyCheck::Preview p = EnergyCheck::preview(files, e);
    EXPECT_EQ(p.count, 500);
    ASSERT_EQ(p.rows.size(), 5);
    EXPECT_EQ(p.rows.first().file, "scan_0000.tif");
    EXPECT_EQ(p.rows.last().index, 499);
    EXPECT_DOUBLE_EQ(p.maxEv, 7374);
    EXPECT_DOUBLE_EQ(p.minStepEv, 0.5);
    EXPECT_DOUBLE_EQ(p.maxStepEv, 1);
    EXPECT_TRUE(p.warnings.isEmpty());
    const QString text = EnergyCheck::previewText(p);
    EXPECT_TRUE(text.startsWith("500 files, 7000 eV to 7374 eV\n"
                                "step 0.749499 eV on average (0.5 eV to 1 eV)\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("scan_0499.tif  7374 eV"));

    // Every energy wrong: one line, not five hundred.
    for (double &v : e)
        v /= 1000;
    p = EnergyCheck::preview(files, e);
    ASSERT_EQ(p.warnings.size(), 1);
    EXPECT_TRUE(p.warnings.first().contains("all 500 files lie outside 100 eV to 200 keV"));
    EXPECT_TRUE(EnergyCheck::previewText(EnergyCheck::preview({}, {})).startsWith("No files"));
}
