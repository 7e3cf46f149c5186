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

#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Probe.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "ui_Body.h"

#include <QFileInfo>
#include <utility>

namespace {

enum class StackDark { Read, NoneNamed, Failed };

// The dark image of an HDF5 stack as the layout describes it, into *dark,
// and the dataset it came from. Failures to read the layout, open the stack
// or read the image are logged (the readers name file and dataset).
StackDark readStackDark(const QString &file, const QString &layoutFile,
                        std::unique_ptr<TiffData> *dark, QString *dataset) {
    Hdf5Layout layout;
    QString why;
    if (!layout.read(layoutFile, &why)) {
        DebugLog::write(file + ": " + why);
        return StackDark::Failed;
    }
    // Opened in-process only once the probe has opened it unharmed.
    const QString refusal = Hdf5Probe::check(file, layoutFile);
    if (!refusal.isEmpty()) {
        DebugLog::write(refusal);
        return StackDark::Failed;
    }
    Hdf5Stack stack;
    if (!stack.open(file, layout))
        return StackDark::Failed;
    if (stack.count(Hdf5Stack::Dark) == 0)
        return StackDark::NoneNamed;
    auto image = std::make_unique<TiffData>();
    if (!stack.readImage(Hdf5Stack::Dark, 0, *image, ErrPoints::processWide()))
        return StackDark::Failed;
    *dark = std::move(image);
    *dataset = stack.datasetPath(Hdf5Stack::Dark);
    return StackDark::Read;
}

} // namespace

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

bool Body::loadDark(const QString &fileName, QString *why) {
    if (!Hdf5Stack::isHdf5File(fileName)) {
        if (!stack().loadDark(fileName, why))
            return false;
        m_doc->setDarkFromStack(false); // chosen by the user
        return true;
    }
    std::unique_ptr<TiffData> dark;
    QString dataset;
    DebugLog::ThreadCapture reasons;
    switch (readStackDark(fileName, panel(Series::I1)->stackLayout(), &dark, &dataset)) {
    case StackDark::Read:
        stack().setDark(std::move(dark));
        m_doc->setDarkFromStack(false); // chosen by the user, from a stack file
        return true;
    case StackDark::NoneNamed:
        *why = QStringLiteral("the layout names no dark image");
        return false;
    case StackDark::Failed:
        *why = reasons.lines().join(QStringLiteral("; "));
        break;
    }
    return false;
}

// Called after the window's end of an I1 load and before finishBatchExec: a batch's
// next command already sees the dark, and the load still answers once.
void Body::takeStackDark() {
    const SessionDocument::StackSource source = m_doc->takeI1StackSource();
    if (m_closing || source.file.isEmpty() || stack().i1().isEmpty() || m_doc->hasChosenDark())
        return;
    std::unique_ptr<TiffData> dark;
    QString dataset;
    if (readStackDark(source.file, source.layout, &dark, &dataset) != StackDark::Read)
        return;
    haltAnalysisRun();
    stack().setDark(std::move(dark));
    m_doc->setDarkFromStack(true);
    ui->DarkFileName->setText(QFileInfo(source.file).fileName());
    ui->DarkExpTime->setText(QString::number(stack().dark()->exposureMs(), 'g', 6));
    DebugLog::write("Dark image taken from " + source.file + ":" + dataset);
    showXafsSpectrum();
}
