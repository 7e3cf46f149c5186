// HDF5 stack files in the I1 and I0 panels: a selection (or a batch load
// list) holding an HDF5 file loads that file's images through the series'
// loader instead of reading each name as an image file. The I1 series takes
// the stack's sample images, the I0 series its flat images. The layout is a
// ".ini" file given in the same list, else the one chosen in the panel's
// additional setup. A dark chosen as an HDF5 file is that stack's dark image,
// read with the I1 panel's layout. When an I1 load from a stack ends and no
// dark is set, the stack's own dark (if its layout names one the file holds)
// is taken, read with the layout the load used; a dark the user chose stays,
// one taken from an earlier stack gives way to the new stack's.
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/SeriesController.h"

#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "ui_Body.h"

bool Body::readStack(Series s, const QStringList &files, int skip, int cutFirst, int cutLast) {
    QString stackFile, layout;
    for (const QString &f : files) {
        if (f.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive))
            layout = f;
        else if (stackFile.isEmpty() && Hdf5Stack::isHdf5File(f))
            stackFile = f;
    }
    if (s == Series::I1)
        m_doc->setI1StackSource({});
    if (stackFile.isEmpty())
        return false;
    if (files.size() > (layout.isEmpty() ? 1 : 2))
        UserMessages::warn("Only the HDF5 stack is loaded of the files given with " + stackFile);
    const SelectDataFiles *p = panel(s);
    if (layout.isEmpty())
        layout = p->stackLayout();
    m_doc->setStackLayout(s, layout);
    if (s == Series::I1)
        m_doc->setI1StackSource({stackFile, layout});
    controller(s)->requestStack(stackFile, layout,
                                s == Series::I1 ? Hdf5Stack::Images : Hdf5Stack::Flats, skip,
                                cutFirst, cutLast);
    return true;
}

// Called after the window's end of an I1 load and before finishBatchExec: a batch's
// next command already sees the dark, and the load still answers once.
void Body::takeStackDark() {
    if (!m_closing)
        m_doc->takeStackDark();
}
