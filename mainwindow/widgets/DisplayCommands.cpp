#include "mainwindow/widgets/DisplayCommands.h"

#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/widgets/WidgetFields.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/CommandArgs.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <utility>

using namespace CommandArgs;

namespace {

template <class W> W *widget(Body *body, const char *name) {
    return WidgetFields::widget<W>(body, QLatin1String(name));
}

} // namespace

DisplayCommands::DisplayCommands(Body *body) : QObject(body), m_body(body) {}

void DisplayCommands::registerCommands() {
    registerImageCommands();
    registerViewCommands();
}

// What the image display shows and the pictures saved from it.
void DisplayCommands::registerImageCommands() {
    Body *b = m_body;
    QButtonGroup *group = b->displayGroup();
    b->registerAtOnce(SELECT_DISP_IMAGE, [group](const CmdLine &c) {
        if (QAbstractButton *button = group->button(intArg(c, 0)))
            button->setChecked(true);
    });
    b->registerAtOnce(SEEK_IMAGE, [b](const CmdLine &c) { b->seekImage(intArg(c, 0)); });
    b->registerAtOnce(SAVE_IMAGE, [b](const CmdLine &c) { b->saveImage(c.arg(0)); });
    b->registerAtOnce(SAVE_IMAGE_W_NUM,
                      [b](const CmdLine &c) { b->saveImageWNum(c.arg(0), c.arg(1)); });
    auto *bar = widget<ColorBar>(b, "CBar");
    b->registerAtOnce(CBAR_SET_RANGE, [b, bar](const CmdLine &c) {
        const double lo = numArg(c, 0);
        const double hi = numArg(c, 1);
        DebugLog::write(QStringLiteral("setting cbar %1 %2").arg(lo).arg(hi));
        bar->setRange(lo, hi);
        bar->update();
        b->showCurrentPicture();
    });
    b->registerAtOnce(CBAR_SET_ALL, [b](const CmdLine &) {
        DebugLog::write(QStringLiteral("cbar set all"));
        b->showCurrentPicture();
    });
    auto *display = widget<ImgDispA>(b, "dispA");
    b->registerAtOnce(SELECT_REGION, [display](const CmdLine &c) {
        display->setSelectedArea(intArg(c, 0), intArg(c, 1), intArg(c, 2), intArg(c, 3));
    });
    b->registerAtOnce(SCALE_RESET, [display](const CmdLine &) { display->resetImageViewWindow(); });
    b->registerAtOnce(ZOOM_IN, [display](const CmdLine &) { display->setViewWAsSelectedArea(); });
}

// The fluorescence mode, the band and the cursor spectrum's view. move_position
// acts on the document (InputCommands): exactly (x, y), not through screen
// pixels.
void DisplayCommands::registerViewCommands() {
    Body *b = m_body;
    auto *fluo = widget<QCheckBox>(b, "FluoType");
    b->registerAtOnce(SET_FLUO_TYPE, [fluo](const CmdLine &c) { fluo->setChecked(flagArg(c, 0)); });
    for (const auto &[id, name] :
         {std::pair{SET_BAND_W, "HWidth"}, std::pair{SET_BAND_H, "VWidth"}}) {
        auto *width = widget<QLineEdit>(b, name);
        b->registerAtOnce(id, [b, width](const CmdLine &c) {
            width->setText(QString::number(intArg(c, 0)));
            b->showXafsSpectrum();
        });
    }
    SpectrumView *view = b->xafsView();
    b->registerAtOnce(SAVE_SPECTRA, [view](const CmdLine &c) {
        if (!view->saveData(c.arg(0)))
            UserMessages::error(QStringLiteral("can not write %1").arg(c.arg(0)));
    });
    b->registerAtOnce(XAFS_VIEW_NORMALIZE,
                      [view](const CmdLine &c) { view->setNormalize(flagArg(c, 0)); });
    b->registerAtOnce(XAFS_VIEW_ENERUGY_CORRECTION,
                      [view](const CmdLine &c) { view->setEnergyCorrection(flagArg(c, 0)); });
}
