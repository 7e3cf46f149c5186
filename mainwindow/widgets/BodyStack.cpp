// HDF5 stack files in the I1 and I0 panels: a selection (or a batch load
// list) holding an HDF5 file loads that file's images through the series'
// loader instead of reading each name as an image file. The I1 series takes
// the stack's sample images, the I0 series its flat images. The layout is a
// ".ini" file given in the same list, else the one chosen in the panel's
// additional setup. A dark chosen as an HDF5 file is that stack's dark image,
// read with the I1 panel's layout.
#include "mainwindow/widgets/Body.h"

#include "app/DebugLog.h"
#include "batch/ExCmdTable.h"
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/widgets/SelectDataFiles.h"

bool Body::readStack(Series s, const QStringList &files, int skip, int cutFirst, int cutLast) {
    QString stackFile, layout;
    for (const QString &f : files) {
        if (f.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive))
            layout = f;
        else if (stackFile.isEmpty() && Hdf5Stack::isHdf5File(f))
            stackFile = f;
    }
    if (stackFile.isEmpty())
        return false;
    if (files.size() > (layout.isEmpty() ? 1 : 2))
        DebugLog::write("Only the HDF5 stack is loaded of the files given with " + stackFile);
    const SelectDataFiles *p = panel(s);
    if (layout.isEmpty())
        layout = p->stackLayout();
    if (s == Series::I1)
        emit loadI1Stack(stackFile, layout, Hdf5Stack::Images, skip, cutFirst, cutLast,
                         p->errPoints(), LOAD_I1_FILES);
    else
        emit loadI0Stack(stackFile, layout, Hdf5Stack::Flats, skip, cutFirst, cutLast,
                         p->errPoints(), LOAD_I0_FILES);
    return true;
}

bool Body::loadDark(const QString &fileName) {
    if (!Hdf5Stack::isHdf5File(fileName))
        return m_stack.loadDark(fileName);
    Hdf5Layout layout;
    QString why;
    if (!layout.read(panel(Series::I1)->stackLayout(), &why)) {
        DebugLog::write(fileName + ": " + why);
        return false;
    }
    Hdf5Stack stack;
    auto dark = std::make_unique<TiffData>();
    if (!stack.open(fileName, layout) || stack.count(Hdf5Stack::Dark) == 0 ||
        !stack.readImage(Hdf5Stack::Dark, 0, *dark, ErrPoints::processWide())) {
        if (stack.isOpen())
            DebugLog::write(fileName + ": the layout names no dark image");
        return false;
    }
    m_stack.setDark(std::move(dark));
    return true;
}
