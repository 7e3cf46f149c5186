#include "imageio/widgets/SelectImgDialog.h"

#include "app/AppSettings.h"

const char *const SelectImgDialog::ImageFilter =
    "PRXM Files, IMG Files, Tiff Files (*.dat *.img *.tif *.tiff)";
const char *const SelectImgDialog::AnyFilter = "Any Files (* *.*)";

SelectImgDialog::SelectImgDialog(QWidget *parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({ImageFilter, AnyFilter});
    setDirectory(AppSettings::dataRoot());
}
