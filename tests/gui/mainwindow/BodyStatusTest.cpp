// The main window's read-outs: the titled series panels, the image label
// beside the slider (after loading and after seek_image), the status bar's
// loading progress during a long load and the values under the mouse.
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/Body.h"
#include "support/TestSupport.h"

#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "gui/mainwindow/BodyBatchRun.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using TestSupport::waitUntil;

namespace {

constexpr int W = 6;
constexpr int H = 4;

class BodyStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        body.resize(900, 700);
        body.show();
        i1Panel = body.findChild<SelectDataFiles *>("SelectI1Files");
    }
    // n TIFF files named after the default energy pattern, image i at
    // 7000 + 10 i eV with pixels 100 + i + x.
    QStringList writeSeries(int n) {
        QStringList files;
        std::vector<quint16> samples(W * H);
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < W * H; ++k)
                samples[size_t(k)] = quint16(100 + i + k % W);
            const QString path =
                dir.filePath(QStringLiteral("s_%1_0000.tif").arg(7000 + 10 * i, 5, 10, QChar('0')));
            EXPECT_TRUE(TiffData::write16BitTiff(path, W, H, samples.data()));
            files << path;
        }
        return files;
    }
    bool load(const QStringList &files) {
        QSignalSpy done(&body, &Body::finishBatchExec);
        emit i1Panel->filesSelected(files, true);
        return waitUntil([&] { return done.size() >= 1; });
    }
    bool runBatch(const QStringList &lines, const QString &until) {
        return runBatchUntil(body, lines, until);
    }
    QString text(const char *name) { return body.findChild<QLabel *>(name)->text(); }

    QTemporaryDir dir;
    Body body;
    SelectDataFiles *i1Panel = nullptr;
};

} // namespace

TEST_F(BodyStatusTest, SeriesPanelsCarryVisibleTitlesAndKeepTheirWindowTitles) {
    const struct {
        const char *box;
        const char *title;
        const char *panel;
        const char *windowTitle;
    } cases[] = {{"I1Box", "I1 (sample)", "SelectI1Files", "I1 Data"},
                 {"I0Box", "I0 (incident beam)", "SelectI0Files", "I0 Data"}};
    for (const auto &c : cases) {
        const auto *box = body.findChild<QGroupBox *>(c.box);
        ASSERT_NE(box, nullptr) << c.box;
        EXPECT_EQ(box->title(), c.title);
        EXPECT_TRUE(box->isVisible());
        const auto *panel = box->findChild<SelectDataFiles *>(c.panel);
        ASSERT_NE(panel, nullptr) << c.panel;
        EXPECT_EQ(panel->windowTitle(), c.windowTitle);
    }
    EXPECT_EQ(text("ImgInfo"), "No image");
}

// 200 files: the status bar counts them while they arrive, with the bar
// following, and the image label follows loading and seek_image.
TEST_F(BodyStatusTest, LoadingProgressAndImageReadout) {
    const QStringList files = writeSeries(200);
    auto *status = body.findChild<QLabel *>("LoadStatus");
    auto *bar = body.findChild<QProgressBar *>("LoadProgress");
    ASSERT_NE(status, nullptr);
    ASSERT_NE(bar, nullptr);
    // Connected after the window's own handler, so it sees the updated status.
    struct Seen {
        QString text;
        int value, maximum;
        bool visible;
    };
    std::vector<Seen> seen;
    QObject::connect(body.loader(Series::I1), &LoadTiff::progress, &body, [&](int, int) {
        seen.push_back({status->text(), bar->value(), bar->maximum(), bar->isVisible()});
    });
    std::vector<QString> imageTexts;
    QObject::connect(body.loader(Series::I1), &LoadTiff::loaded, &body,
                     [&] { imageTexts.push_back(text("ImgInfo")); });
    ASSERT_TRUE(load(files));
    ASSERT_EQ(seen.size(), 200u);
    EXPECT_EQ(seen[36].text, "I1: 37 / 200 files");
    EXPECT_EQ(seen[36].value, 37);
    EXPECT_EQ(seen[36].maximum, 200);
    EXPECT_TRUE(seen[36].visible);
    EXPECT_EQ(seen.back().text, "I1: 200 / 200 files");
    EXPECT_EQ(status->text(), "I1: 200 images loaded");
    EXPECT_FALSE(bar->isVisible());
    // During the load the label counts the images already there.
    ASSERT_EQ(imageTexts.size(), 200u);
    EXPECT_TRUE(imageTexts[9].startsWith("Image 0 / 10: 7000.00 eV"))
        << imageTexts[9].toStdString();

    EXPECT_EQ(text("ImgInfo"), "Image 0 / 200: 7000.00 eV, s_07000_0000.tif");
    ASSERT_TRUE(runBatch({"seek_image 37"}, "seek"));
    EXPECT_EQ(text("ImgInfo"), "Image 37 / 200: 7370.00 eV, s_07370_0000.tif");

    // Under the mouse: position, counts and the image's energy.
    body.findChild<ImgDispA *>("dispA")->setImageMousePos(4, 2);
    EXPECT_EQ(text("CursorStatus"), "x 4, y 2: 141 counts at 7370.00 eV");
}
