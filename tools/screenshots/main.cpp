// lumenstack-screenshots DATA OUT: the pictures of docs/quick-start.md. Builds
// the real main window (English, style Fusion), drives it through the batch
// language on the demo measurement of "lumenstack-tool make-demo DATA", and
// grabs the windows a new user meets into small PNG files in OUT. Run it
// with -platform offscreen; tools/screenshots.sh does all of it.
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ImgProc.h"
#include "app/AppSettings.h"
#include "batch/ExCmdTable.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/ColorMap.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/MessagesWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSlider>
#include <QThread>
#include <cstdio>

namespace {

// Runs the lines and waits until the batch log shows the echo after them.
bool runBatch(Body &body, const QStringList &lines, const QString &tag) {
    emit body.batchCtrl()->doDispatchCmds(lines + QStringList{":echo " + tag});
    QElapsedTimer timer;
    timer.start();
    while (!body.batchCtrl()->logText().contains("echo " + tag)) {
        if (timer.elapsed() > 300000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    return true;
}

// At most 960 pixels wide; tools/screenshots.sh reduces the colours after.
bool save(QWidget *w, const QString &path) {
    QCoreApplication::processEvents();
    QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (img.width() > 960)
        img = img.scaledToWidth(960, Qt::SmoothTransformation);
    const bool ok = img.save(path, "PNG", 9);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The drifting sample of the demo in the image processor: the edges of the
// last image (green) laid over those of an earlier one (red; yellow where
// both are), before and after Align Series, with the plot of the shifts.
bool alignmentShots(Body &body, const QString &data, const QString &out) {
    const QString drift = data + "/drift/i1/";
    const int last = QDir(drift).entryList({"*.tif"}, QDir::Files).size() - 1;
    if (last < 1 || !runBatch(body,
                              {"load_I1_files_of_pattern NEW " + drift + " *.tif", "clear_I0_files",
                               "Use_I0 0", "select_disp_image 0", "seek_image 0"},
                              "drift"))
        return false;
    ImgProc *proc = body.imgProc();
    proc->resize(760, 560);
    proc->show();
    proc->findChild<QAbstractButton *>("EdgeDetect")->setChecked(true);
    proc->findChild<QAbstractButton *>("BinaryImage")->setChecked(true);
    proc->findChild<QSlider *>("BinThVSlider")->setValue(250);
    // The reference edges of an image just above the edge, where the grains
    // stand out by their compound as in the last image.
    const auto setReference = [&] {
        body.showData(last * 2 / 5);
        proc->findChild<QAbstractButton *>("SetRef")->click();
    };
    setReference();
    const QString seekLast = "seek_image " + QString::number(last);
    bool ok = runBatch(body, {seekLast}, "drifted");
    ok = ok && save(proc, out + "/align-before.png");
    ok = ok && runBatch(body, {"align_series phase 20 0"}, "aligned");
    setReference(); // its edges as it now stands
    ok = ok && runBatch(body, {seekLast}, "last");
    ok = ok && save(proc, out + "/align-after.png");
    proc->hide();
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    AppSettings::resetDefaults();
    ColorMap::rgbTable();
    ExCmdTable::build();
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: lumenstack-screenshots -platform offscreen DATA OUT\n");
        return 2;
    }
    const QString data = QDir(args.at(1)).absolutePath();
    const QString out = args.at(2);
    QDir().mkpath(out);

    Body body;
    body.resize(1180, 800);
    body.show();
    bool ok = runBatch(body,
                       {"load_I1_files_of_pattern NEW " + data + "/i1/ *.tif",
                        "load_I0_files_of_pattern NEW " + data + "/i0/ *.tif", "Use_I0 1",
                        "set_band_w 2", "set_band_h 2", "Suggesting_Elm Fe", "Suggest_Elm 1",
                        "seek_image 28", "move_position 40 24"},
                       "loaded");
    ok = ok && save(&body, out + "/main-window.png");

    // The energy setup of the I1 series with the energies its files got.
    auto *i1Panel = body.findChild<SelectDataFiles *>(QStringLiteral("SelectI1Files"));
    EOFSetup *setup = i1Panel->eofSetup();
    setup->show();
    ok = ok && save(setup, out + "/energy-setup.png");
    setup->hide();

    SpectrumView *view = body.xafsView();
    view->resize(720, 520);
    view->show();
    ok = ok && runBatch(body, {"xafs_view_normalize 0", "move_position 40 24"}, "raw");
    ok = ok && save(view, out + "/spectrum-view.png");
    ok = ok && runBatch(body, {"xafs_view_normalize 1"}, "normalised");
    ok = ok && save(view, out + "/spectrum-normalised.png");

    ok = ok &&
         runBatch(body,
                  {"analyzer_show_window", "analyzer_set_LCF_std 0 1 0 " + data + "/ref_A.dat 0",
                   "analyzer_set_LCF_std 1 1 0 " + data + "/ref_B.dat 0", "move_position 40 24"},
                  "refs");
    Analyzer *analyzer = body.analyzer();
    ok = ok && save(analyzer, out + "/analyzer.png");
    analyzer->view()->resize(720, 520);
    analyzer->view()->show();
    ok = ok && save(analyzer->view(), out + "/analyzing-spectrum.png");
    ok = ok &&
         runBatch(body,
                  {"analyzer_exec_LCF", "analyzer_select_image 0", "analyzer_select_image_type 0",
                   "select_disp_image 3", "move_position 40 24"},
                  "lcf");
    ok = ok && save(&body, out + "/fraction-map.png");

    // A reference spectrum chosen as I1 by mistake: refused, the series
    // stays, and the Messages window says why.
    bool loadEnded = false;
    QObject::connect(&body, &Body::finishBatchExec, &body, [&loadEnded] { loadEnded = true; });
    emit i1Panel->filesSelected({data + "/ref_A.dat"}, true);
    QElapsedTimer timer;
    timer.start();
    while (!loadEnded && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    auto *messages = body.findChild<MessagesWindow *>(QStringLiteral("MessagesWindow"));
    messages->resize(760, 220);
    messages->show();
    ok = ok && save(messages, out + "/messages.png");
    messages->hide();
    ok = ok && alignmentShots(body, data, out);
    return ok ? 0 : 1;
}
