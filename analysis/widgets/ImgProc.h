#pragma once
// The image processor window: the edge image of the image shown, its binary
// image, a reference binary image, their comparison under a trial shift with
// its score, the hill climb for the best shift, and the hand-over of the shift
// to the main window, which stores it in the image.
//
// The Align Series group aligns the whole I1 series by phase correlation in
// the background (the main window runs it): reference, method, upsample,
// maximum shift, progress and Stop, with a plot of the shifts found.
//
// ShiftX/ShiftY hold the registration shift the image would get. The edge
// image is made through the shift the image had then, so comparisons move the
// binary image by the trial shift less that one: an image already registered
// compares aligned at its own shift, and applying a shift is idempotent.
#include "analysis/AlignmentPlot.h"
#include "analysis/ImageRegistration.h"
#include "analysis/SeriesAlignRun.h"

#include <QFrame>
#include <QImage>

class AlignPlotView;
class QCheckBox;
class QComboBox;
class QProgressBar;
class QPushButton;
class QSpinBox;
class TiffData;
namespace Ui {
class ImgProc;
}

class ImgProc : public QFrame {
    Q_OBJECT
public:
    explicit ImgProc(QWidget *parent = nullptr);
    ~ImgProc() override;

    // The new-image operation: while EdgeDetect is checked, detects the edges
    // of the image (none: size 0 x 0), binarises when Binary is checked and
    // draws. The image is kept for re-runs until the next call; the caller
    // gives none before deleting it.
    void newImage(const TiffData *image);
    const TiffData *image() const { return m_image; }
    // The image's shift was changed elsewhere (a shift file, shifts cleared):
    // Shift X / Y show it as for a new image. The edges, made through the
    // shift the image had then, stay right: comparisons move by the
    // difference.
    void imageShiftChanged();

    const EdgeImage &edgeImage() const { return m_edge; }
    const BinaryImage &binaryImage() const { return m_bin; }
    const BinaryImage &reference() const { return m_ref; }
    double score() const { return m_score; }
    int shiftX() const;
    int shiftY() const;
    const QImage &picture() const { return m_picture; }

    // ---- Align Series ----
    // The group's settings (reference -1: auto).
    SeriesAlignment::Request alignRequest() const;
    // Shows a batch request's settings in the group; maxShift and alsoI0
    // keep the group's.
    void setAlignRequest(const SeriesAlignment::Request &r);
    // The button reads Stop while a run goes; the bar shows its progress.
    void setAlignRunning(bool running);
    void setAlignProgress(double percent);
    void showAlignment(const AlignmentPlot &plot);
    AlignPlotView *alignPlot() const { return m_alignPlot; }

signals:
    // Align Series (or Stop) was pressed.
    void alignSeriesPressed();
    // A point of the alignment plot was clicked: show that image.
    void alignedImageClicked(int image);
    // A shift file was chosen to load, or a name to save the shifts under.
    void shiftFileChosen(const QString &fileName);
    void shiftFileToSaveChosen(const QString &fileName);
    void askGiveData();
    void askClearAllShifts();
    void updateImg();
    void imgShift(int sx, int sy);

public slots:
    void movedBinThVSlider(int value);
    void newBinThV();
    void setBinThV();
    void setRefBin();
    void toggledEdgeDetect(bool on);
    void edgeDetect();
    void binarize();
    void drawOnImage();
    void shiftBinImg();
    void autoShiftBinImg();
    void autoShiftBinImg0();
    void setShift();
    void clearAllShifts();

private:
    void explainControls();
    void setupShiftFiles();
    void setupAlignSeries();
    double threshold() const;
    void setTrialShift(int sx, int sy);
    // The trial shift relative to the shift the binary image was made with.
    int relX() const { return shiftX() - m_madeShiftX; }
    int relY() const { return shiftY() - m_madeShiftY; }
    bool scoreIsCurrent() const;
    void noteScore(double s);
    bool canCompare() const;
    void drawGrid();

    Ui::ImgProc *ui;
    const TiffData *m_image = nullptr;
    EdgeImage m_edge;
    BinaryImage m_bin;
    BinaryImage m_ref;
    int m_madeShiftX = 0; // the image's shift when its edges were made
    int m_madeShiftY = 0;
    double m_score = 0;
    // What the stored score was computed for: the binary and reference
    // generations and the relative shift.
    quint64 m_binGen = 0;
    quint64 m_refGen = 0;
    quint64 m_scoreBinGen = ~quint64(0);
    quint64 m_scoreRefGen = ~quint64(0);
    int m_scoreX = 0;
    int m_scoreY = 0;
    QImage m_picture;
    struct AlignControls {
        QSpinBox *reference = nullptr; // -1 shows as "auto"
        QComboBox *method = nullptr;   // in the order of SeriesAlignment::Method
        QSpinBox *upsample = nullptr;
        QSpinBox *maxShift = nullptr;
        QCheckBox *alsoI0 = nullptr;
        QProgressBar *progress = nullptr;
        QPushButton *run = nullptr;
    } m_align;
    AlignPlotView *m_alignPlot = nullptr;
};
