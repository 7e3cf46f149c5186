// The main window's side of Align Series: the image processor's settings or
// the batch command (SeriesRunCommands) start a background alignment of the
// I1 series; when it ends, the shifts go to the images, the display, the
// spectrum and the processor's plot follow, and the user is told what moved
// and what is suspect. A stop or a failure changes no shift.
#include "analysis/AlignmentPlot.h"
#include "analysis/RunBoard.h"
#include "analysis/SeriesAlignRun.h"
#include "analysis/widgets/ImgProc.h"
#include "app/UserMessages.h"
#include "imageio/TiffData.h"
#include "mainwindow/widgets/BodyAnalysisState.h"

void Body::setupAlignment() {
    SeriesAlignRun *run = &m_doc->alignment();
    connect(m_imgProc, &ImgProc::alignSeriesPressed, this, &Body::alignSeriesPressed);
    connect(m_imgProc, &ImgProc::alignedImageClicked, this, &Body::showData);
    connect(run, &SeriesAlignRun::progress, m_imgProc, &ImgProc::setAlignProgress);
    connect(run, &SeriesAlignRun::finished, this, &Body::alignmentEnded);
    // Shifts change only at its end: map runs may go on beside it.
    m_doc->runs().add({run, tr("an alignment is running"), false, true});
}

// Align Series reads Stop while its run goes.
void Body::alignSeriesPressed() {
    if (alignRun()->isRunning())
        alignRun()->stop();
    else
        startAlignment(m_imgProc->alignRequest());
}

bool Body::startAlignment(const SeriesAlignment::Request &request) {
    QVector<const TiffData *> images;
    for (const TiffData *image : stack().i1())
        images << image;
    if (images.isEmpty()) {
        UserMessages::refuse(tr("Align Series: there are no I1 images to align"));
        return false;
    }
    const int reference =
        request.reference < 0 ? SeriesAlignment::autoReference(images) : request.reference;
    if (!alignRun()->start(images, SeriesAlignment::optionsOf(request, reference))) {
        UserMessages::refuse(tr("Align Series not started: %1").arg(alignRun()->why()));
        return false;
    }
    m_doc->runs().started(alignRun());
    m_doc->setAlignmentAlsoI0(request.alsoI0);
    m_imgProc->setAlignRunning(true);
    UserMessages::info(
        tr("Align Series: %1 images against image %2").arg(images.size()).arg(reference));
    return true;
}

void Body::alignmentEnded(bool completed) {
    if (m_closing)
        return;
    m_imgProc->setAlignRunning(false);
    if (completed)
        applyAlignment();
    else
        UserMessages::warn(tr("Align Series %1: no shift was changed").arg(alignRun()->why()));
    // A batch line waiting for the run goes on once the shifts are in.
    m_doc->runs().ended(alignRun());
}

namespace {

QString imageList(const QVector<int> &images) {
    QStringList names;
    for (int i : images)
        names << QString::number(i);
    return names.join(QStringLiteral(", "));
}

} // namespace

void Body::applyAlignment() {
    const QVector<Registration::ShiftEntry> &shifts = alignRun()->shifts();
    const SeriesAlignment::Outcome o = m_doc->applyAlignment();
    QVector<double> energies;
    for (const TiffData *image : stack().i1())
        energies << image->energy();
    m_imgProc->showAlignment(AlignmentPlot::of(energies, shifts, o.suspects));
    giveProcData();

    QString text = tr("Align Series: %1 of %2 I1 images moved").arg(o.moved).arg(shifts.size());
    if (o.largestImage >= 0)
        text += tr(", the largest shift %1 pixels (image %2)")
                    .arg(o.largest, 0, 'f', 2)
                    .arg(o.largestImage);
    if (o.i0Applied)
        text += tr("; the I0 images took the same shifts");
    if (!o.i0Kept.isEmpty())
        text += tr("; the I0 images keep their shifts: %1").arg(o.i0Kept);
    if (o.suspects.isEmpty()) {
        text += tr("; no suspect image");
        (o.i0Kept.isEmpty() ? UserMessages::info : UserMessages::warn)(text);
        return;
    }
    text += tr("; suspect (a low score or a jump from their neighbours), check them: %1")
                .arg(imageList(o.suspects));
    UserMessages::warn(text);
}

void Body::haltAlignment() {
    alignRun()->stop();
    alignRun()->wait();
}
