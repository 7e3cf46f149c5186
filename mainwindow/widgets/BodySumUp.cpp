// The analysis panel's sum-up image and map processing as the main window
// serves them: the sum over the panel's ranges of image numbers, and map
// files loaded into the panel's maps.
#include "mainwindow/widgets/Body.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/MapRun.h"
#include "analysis/RunBoard.h"
#include "analysis/SumUp.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/MapProcCtrl.h"
#include "analysis/widgets/SumUpCtrl.h"
#include "app/DebugLog.h"
#include "display/PictureFile.h"
#include "render/MapPicture.h"

#include <QDir>

void Body::setupSumUp() {
    Analyzer *a = analyzer();
    connect(a, &Analyzer::askSumUp, this, &Body::doSumUp);
    connect(a->mapProcCtrl(), &MapProcCtrl::loadMap, this, &Body::loadMap, Qt::DirectConnection);
}

// A short run over the grid (a few image sums per bin) on the window's time;
// the picture lands in the working folder.
void Body::doSumUp() {
    AnalyzeCond grid;
    if (!m_doc->runs().refusal().isEmpty()) // a run reads the stack
        return;
    Analyzer *a = analyzer();
    if (stack().i1().isEmpty()) {
        refuseRun(tr("no I1 images are loaded"));
        return;
    }
    if (a->sumUpCtrl()->ranges().isEmpty()) {
        refuseRun(tr("no range of images to sum: add one with Add"));
        return;
    }
    if (!analysisGrid(grid))
        return;
    a->setRunMessage(QString());
    Analyzed2DRes *map = a->sumUpMap();
    DebugLog::writeTimeStamp(QStringLiteral("Start Sum Up "));
    MapRun run;
    runSumUp(run, stack(), a->sumUpCtrl()->ranges(), grid, *map);
    map->markFilled();
    reportIfNotWritten(writePicture(mapPicture(*map).image, QStringLiteral("sumUpImg.png")),
                       QDir::current().filePath(QStringLiteral("sumUpImg.png")));
    DebugLog::writeTimeStamp(QStringLiteral("End Sum Up   "));
    setupResAnalysisImage();
}
