// The Components group of the analysis panel in the real main window: a
// stack of two compounds in known columns and a column without sample,
// clustered through the panel's button and through batch lines; the cluster
// map in category colours, the read-out naming the cluster, the spectra used
// as LCF references, and the refusals of the batch commands.
#include "analysis/Analyzed2DRes.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ComponentsCtrl.h"
#include "analysis/widgets/LCFReference.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "gui/mainwindow/BodyBatchRun.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/ComponentRunControl.h"
#include "render/MapPicture.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using TestSupport::waitUntil;

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int W = 9, H = 4;
constexpr int Blank = W - 1; // no sample: no edge, left out

double muA(double e) {
    return 0.5 + std::atan((e - 7112) / 1.5) / Pi;
}
double muB(double e) {
    return 0.9 * (0.5 + std::atan((e - 7124) / 2.0) / Pi) + 0.6 / (1 + std::pow((e - 7127) / 3, 2));
}
double mu(int x, double e) {
    return 0.2 + (x == Blank ? 0 : x < 4 ? muA(e) : muB(e));
}

class ComponentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QStringList files;
        std::vector<quint16> px(size_t(W) * H);
        for (double e = 7000; e <= 7300; e += 3) {
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    px[size_t(y) * W + x] =
                        quint16(std::lround(60000 * std::exp(-mu(x, e)) * (1 + 1e-3 * (x + y))));
            files << dir.filePath(QString("s_%1.tif").arg(int(e), 5, 10, QChar('0')));
            ASSERT_TRUE(TiffData::write16BitTiff(files.last(), W, H, px.data()));
        }
        QSignalSpy loaded(&body, &Body::finishBatchExec);
        emit body.findChild<SelectDataFiles *>("SelectI1Files")->filesSelected(files, true);
        ASSERT_TRUE(waitUntil([&] { return loaded.size() >= 1; }, 60000));
        for (int i = 0; i < files.size(); ++i)
            body.stack().i1().at(i)->setEnergy(7000 + 3 * i);
        ASSERT_TRUE(runBatchUntil(body, {"set_band_w 0", "set_band_h 0"}, "bins"));
        panel = body.analyzer()->componentsCtrl();
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path()); // Use as Reference writes into the working folder
    }
    void TearDown() override { QDir::setCurrent(previous); }

    template <typename T> T *child(const char *name) {
        T *c = panel->findChild<T *>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    int clusterAt(int x, int y) const { return panel->clusterAt(x, y); }
    bool runEnded() {
        return waitUntil([&] { return !body.componentRunControl()->isRunning(); }, 60000);
    }

    QTemporaryDir dir;
    QString previous;
    Body body;
    ComponentsCtrl *panel = nullptr;
    int seen = 0;
};

} // namespace

TEST_F(ComponentsTest, PanelClustersShowsTheMapAndMakesReferences) {
    child<QComboBox>("ComponentsKind")->setCurrentIndex(int(ComponentKind::Clusters));
    child<QSpinBox>("ComponentsCount")->setValue(2);
    child<QSpinBox>("ComponentsClusters")->setValue(2);
    child<QPushButton>("ComponentsAnalyze")->click();
    EXPECT_EQ(child<QPushButton>("ComponentsAnalyze")->text(), "Stop");
    ASSERT_TRUE(runEnded());
    ASSERT_TRUE(waitUntil([&] { return panel->hasResult(); }));
    EXPECT_EQ(child<QPushButton>("ComponentsAnalyze")->text(), "Analyze");

    const int a = clusterAt(0, 0), b = clusterAt(4, 0);
    EXPECT_NE(a, b);
    EXPECT_GE(std::min(a, b), 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            EXPECT_EQ(clusterAt(x, y), x == Blank ? -1 : x < 4 ? a : b) << x << ", " << y;
    EXPECT_EQ(child<QComboBox>("ComponentsMap")->count(), 3); // the clusters, two scores
    EXPECT_GT(child<ScreePlotView>("ComponentsScree")->ratios().value(0), 0.5);

    // On the display in category colours, with a bar of two categories.
    Analyzed2DRes *map = body.analyzer()->selectedMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->name(), "Cluster");
    EXPECT_EQ(body.findChild<ColorBar *>("CBar")->categories(), 2);
    const QImage picture = mapPicture(*map).image;
    EXPECT_NE(picture.pixelColor(0, 0), picture.pixelColor(4, 0));
    EXPECT_EQ(picture.pixelColor(Blank, 0), QColor(Qt::black));
    body.findChild<ImgDispA *>("dispA")->setImageMousePos(5, 2);
    EXPECT_TRUE(
        body.findChild<QLabel *>("CursorStatus")->text().endsWith(QString("cluster %1").arg(b)));

    // Each cluster's spectrum into the next free reference row.
    for (int j : {a, b}) {
        child<QSpinBox>("ComponentsSpectrum")->setValue(j);
        child<QPushButton>("ComponentsUseAsReference")->click();
    }
    const QVector<LCFReference *> &rows = body.analyzer()->references();
    for (int row : {0, 1}) {
        EXPECT_TRUE(rows[row]->isInUse()) << row;
        EXPECT_EQ(rows[row]->spectrum().count(), 101) << row;
    }
    EXPECT_TRUE(QFile::exists(dir.filePath(QString("cluster-%1.dat").arg(b))));
    EXPECT_FALSE(rows[2]->isLoaded());
}

TEST_F(ComponentsTest, BatchCommandsRunSelectSaveAndRefuse) {
    const struct {
        const char *line;
        const char *said;
    } refused[] = {
        {"components_exec_clusters 0", "K must be a whole number from 1 to 1000"},
        {"components_set_range 7300 7000", "the start below the end"},
        {"components_select_map nmf 1", "has no nmf map 1"},
        {"components_save_spectrum 0 x.dat", "no components run has ended yet"},
        {"components_set_count 500", ""},
        {"components_exec_pca", "the number of components must be 1 to 101"},
    };
    for (const auto &r : refused) {
        ASSERT_TRUE(runBatchUntil(body, {r.line}, "refused", 60000)) << r.line;
        EXPECT_TRUE(messagesSince(body, seen).contains(r.said)) << r.line;
    }
    const QString spectrum = dir.filePath("pc2.dat");
    ASSERT_TRUE(runBatchUntil(body,
                              {"components_set_range 7050 7250", "components_set_count 3",
                               "components_exec_pca", "components_select_map pca 2",
                               "components_save_spectrum 2 " + spectrum},
                              "pca", 60000));
    EXPECT_FALSE(body.componentRunControl()->isRunning());
    EXPECT_EQ(body.analyzer()->selectedMap()->name(), "PCA Score 2");
    QFile f(spectrum);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    EXPECT_EQ(lines.size(), 67); // 7050 .. 7248 eV in steps of 3
    EXPECT_EQ(lines[0].split(' ').size(), 2);

    ASSERT_TRUE(runBatchUntil(body, {"components_exec_nmf 2", "components_use_as_reference 3 -1"},
                              "nmf", 60000));
    EXPECT_TRUE(messagesSince(body, seen).contains("the last run has no spectrum 3"));
    ASSERT_TRUE(runBatchUntil(body, {"components_use_as_reference 2 5"}, "row", 60000));
    EXPECT_TRUE(body.analyzer()->references().at(5)->isInUse());
    EXPECT_TRUE(QFile::exists(dir.filePath("nmf-2.dat")));
}
