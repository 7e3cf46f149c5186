#include "imageio/widgets/SelectImgDialog.h"

#include "app/AppSettings.h"

const char *const SelectImgDialog::ImageFilter =
    QT_TR_NOOP("PRXM Files, IMG Files, Tiff Files (*.dat *.img *.tif *.tiff)");
const char *const SelectImgDialog::AnyFilter = QT_TR_NOOP("Any Files (* *.*)");

SelectImgDialog::SelectImgDialog(QWidget *parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({tr(ImageFilter), tr(AnyFilter)});
    setDirectory(AppSettings::dataRoot());
}
