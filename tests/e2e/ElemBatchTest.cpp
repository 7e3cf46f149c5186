// The element map run of the real program on a two-edge stack built here:
// the saved jump maps equal the jumps the images were made with.
#include "ProgramRun.h"
#include "support/TestSupport.h"
#include "support/TwoEdgeStack.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <map>

namespace {

// "X Y Val" lines of a saved map, by bin centre.
std::map<std::pair<int, int>, double> readXYVal(const QString &path) {
    std::map<std::pair<int, int>, double> values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList items = in.readLine()
                                      .replace(QLatin1Char(','), QLatin1Char(' '))
                                      .simplified()
                                      .split(' ', Qt::SkipEmptyParts);
        if (items.size() == 3)
            values[{items[0].toInt(), items[1].toInt()}] = items[2].toDouble();
    }
    return values;
}

// The map saved as out/STEM (the program tags the name with a number).
QString savedMap(const QTemporaryDir &dir, const QString &stem) {
    const QDir out(dir.filePath("out"));
    const QStringList found = out.entryList({stem + "*"}, QDir::Files, QDir::Name);
    return found.isEmpty() ? QString() : out.filePath(found.first());
}

} // namespace

TEST(ElemBatch, JumpMapsOfTwoEdgesMatchTheStack) {
    QTemporaryDir dir;
    const QString data = dir.filePath("stack");
    ASSERT_EQ(TwoEdgeStack::write(data).size(), int(TwoEdgeStack::energies().size()));
    QDir(dir.path()).mkpath("out");
    const QString bat = TestSupport::writeFile(dir, "elems.bat",
                                               QString("eng_by_calc_i1 1\n"
                                                       "eng_calc_even_in_eng_i1 1\n"
                                                       "eng_calc_base_i1 6400\n"
                                                       "eng_calc_delta_i1 10\n"
                                                       "load_I1_files_of_pattern NEW %1/ *.tif\n"
                                                       "set_fluo_type 1\n"
                                                       "set_band_w 0\n"
                                                       "set_band_h 0\n"
                                                       "select_region 0 0 %2 %3\n"
                                                       "analyzer_elems_sort_by_an 1\n"
                                                       "analyzer_target_elements Fe Mn\n"
                                                       "analyzer_select_analysis_mode 2\n"
                                                       "analyzer_exec_elems\n"
                                                       "select_disp_image 3\n"
                                                       "saveDataCfg_save_as_text\n"
                                                       "saveDataCfg_text_as_xyz\n"
                                                       "analyzer_elems_select_show Mn-K\n"
                                                       "save_data out/mn.txt\n"
                                                       "analyzer_elems_select_show Fe-K\n"
                                                       "save_data out/fe.txt\n"
                                                       "analyzer_elems_select_disp_mode 1\n"
                                                       "save_data out/ferat.txt\n"
                                                       "quit\n")
                                                   .arg(data)
                                                   .arg(TwoEdgeStack::W)
                                                   .arg(TwoEdgeStack::H)
                                                   .toUtf8());
    const ProgramRun::Result r =
        ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path(), 120000);
    ASSERT_TRUE(r.finished) << r.err.toStdString();
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto mn = readXYVal(savedMap(dir, "mn"));
    const auto fe = readXYVal(savedMap(dir, "fe-"));
    const auto ratio = readXYVal(savedMap(dir, "ferat"));
    ASSERT_EQ(mn.size(), size_t(TwoEdgeStack::W * TwoEdgeStack::H));
    ASSERT_EQ(fe.size(), mn.size());
    ASSERT_EQ(ratio.size(), mn.size());
    for (const auto &[xy, v] : mn) {
        const auto [x, y] = xy;
        const double jumpFe = TwoEdgeStack::jumpFe(x, y);
        EXPECT_DOUBLE_EQ(v, TwoEdgeStack::jumpMn(x, y)) << x << " " << y;
        EXPECT_DOUBLE_EQ(fe.at(xy), jumpFe) << x << " " << y; // background dmut 0 where none
        // The text form carries 6 significant digits.
        EXPECT_NEAR(ratio.at(xy), jumpFe / TwoEdgeStack::jumpMn(x, y), 1e-6);
    }
}
