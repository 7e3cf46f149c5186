#include "imageio/widgets/SelectImgDialog.h"

#include "app/AppSettings.h"

const char *const SelectImgDialog::ImageFilter =
    QT_TR_NOOP("PRXM Files, IMG Files, Tiff Files (*.dat *.img *.tif *.tiff)");
const char *const SelectImgDialog::AnyFilter = QT_TR_NOOP("Any Files (* *.*)");
const char *const SelectImgDialog::StackFilter =
    QT_TR_NOOP("HDF5 Stacks (*.h5 *.hdf5 *.hdf *.nxs)");

SelectImgDialog::SelectImgDialog(QWidget *parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({tr(ImageFilter), tr(StackFilter), tr(AnyFilter)});
    setDirectory(AppSettings::dataRoot());
}
