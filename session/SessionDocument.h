#pragma once
// What a piece of work in the window is made of, apart from the window: the
// measurement (both image series, the dark frame and dark areas, the
// total-I0 spectra), where the series came from (HDF5 stacks and their
// layouts), the background spectrum, the energy-shift map with its origin
// and file, the current point, the suggestion the reference rows were last
// normalised with, the runs (which go, the map run and the calibration run
// in flight) and what failed. The window shows it and changes it
// through these members; the document says what happened through its
// signals, whoever changed it.
#include "analysis/Analyzed2DRes.h"
#include "analysis/EmpFile.h"
#include "analysis/Run.h"
#include "app/UserMessages.h"
#include "measurement/MeasurementStack.h"
#include "session/SessionInputs.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class CalibrationRun;
class DarkCheckRun;
class MapRunState;
class RunBoard;
class SeriesAlignRun;
namespace SeriesAlignment {
struct Outcome;
}

class SessionDocument : public QObject {
    Q_OBJECT
public:
    // An HDF5 stack file with the layout its load was given.
    struct StackSource {
        QString file;
        QString layout;
    };

    explicit SessionDocument(QObject *parent = nullptr);
    ~SessionDocument() override;

    // Called before the operations below change what a run reads (the dark,
    // the total-I0 spectra, the shift map): whoever runs over the measurement
    // ends its run there.
    void setChangeGuard(std::function<void()> guard) { m_changeGuard = std::move(guard); }

    // ---- the measurement ----
    MeasurementStack &stack() { return m_stack; }
    const MeasurementStack &stack() const { return m_stack; }
    // The series' images were replaced, cleared or added to.
    void noteSeriesChanged(Series s) { emit seriesChanged(s); }

    // The stack of the latest I1 load request, whose dark may become the
    // dark frame when the load ends; empty when that request held no stack.
    void setI1StackSource(const StackSource &source) { m_i1StackSource = source; }
    StackSource takeI1StackSource();
    // The layout the series' last HDF5 stack load was given.
    QString stackLayout(Series s) const { return m_stackLayouts[index(s)]; }
    void setStackLayout(Series s, const QString &layout) { m_stackLayouts[index(s)] = layout; }
    // The dark frame was taken from a stack, not chosen: the next stack's
    // dark may replace it.
    bool darkFromStack() const { return m_darkFromStack; }
    void setDarkFromStack(bool fromStack) { m_darkFromStack = fromStack; }
    // A dark frame chosen by the user (from a file or a stack file).
    bool hasChosenDark() const { return m_stack.dark() != nullptr && !m_darkFromStack; }
    // The dark frame from an image file, or from an HDF5 stack's dark read
    // with stackLayout: "" when taken, else the refusal (the dark frame in
    // use stays).
    QString loadDark(const QString &fileName, const QString &stackLayout);
    void clearDark();
    // After an I1 load from an HDF5 stack: that stack's dark becomes the dark
    // frame when the layout names one the file holds and no dark is chosen
    // (one taken from an earlier stack gives way). True when taken.
    bool takeStackDark();
    // The file the dark frame came from (the stack file for a stack's dark);
    // empty without a dark frame.
    QString darkFile() const { return m_stack.dark() ? m_darkFile : QString(); }

    // ---- the dark areas ----
    // The area (image pixels) becomes the series' dark area: its mean on each
    // image, less the dark frame's scaled to the series' exposure (the
    // conditions'), is what that image reads without light.
    void setDarkArea(Series s, const QRectF &area);
    // The series' dark area no longer subtracted.
    void clearDarkArea(Series s);

    // ---- the point under the cursor ----
    QPoint currentPoint() const { return m_point; }
    void setCurrentPoint(const QPoint &p);

    // ---- the background spectrum ----
    const XafsSpectrum &background() const { return m_bg; }
    bool backgroundLoaded() const { return m_bgLoaded; }
    // The spectrum file as the background, normalised with the suggestion:
    // "" when taken, else the refusal (the one in use stays).
    QString loadBackground(const QString &fileName, const SuggestElm &suggestion);
    void clearBackground();
    QString backgroundFile() const { return m_bgLoaded ? m_bgFile : QString(); }

    // ---- the total-I0 spectra (I1: of the I1 images) ----
    // "" when read, else the refusal (the one in use stays).
    QString loadTotalI0(Series s, const QString &fileName);
    void clearTotalI0(Series s);
    QString totalI0File(Series s) const { return m_totalI0Files[index(s)]; }

    // ---- the energy-shift map ----
    // Filled by a calibration or read from a file; in use only while valid.
    Analyzed2DRes *shiftMap() const { return m_shiftMap; }
    bool shiftMapValid() const { return m_shiftMapValid; }
    void setShiftMapValid(bool valid);
    // Where the map's first point lies on the detector.
    QPoint shiftMapOrigin() const { return m_shiftMapOrigin; }
    void setShiftMapOrigin(const QPoint &origin) { m_shiftMapOrigin = origin; }
    // The view the runs and the cursor spectrum read shifts through.
    ShiftMapView shiftMapInUse() const;
    // The file the map was read from or last saved to (empty: calibrated
    // and not saved), and the edge energy it was read at.
    QString shiftMapFile() const { return m_shiftMapFile; }
    void setShiftMapFile(const QString &file) { m_shiftMapFile = file; }
    double shiftMapFileEnergy() const { return m_shiftMapFileEnergy; }
    void setShiftMapFileEnergy(double e) { m_shiftMapFileEnergy = e; }
    // The map's contents or validity changed (calibrated, read, cleared).
    void noteShiftMapChanged() { emit shiftMapChanged(); }
    // Reads the map from an .emp file, at the header's origin: "" when read,
    // else the refusal (the map, its origin and file stay). The options'
    // image size is the stack's.
    QString readShiftMap(const QString &fileName, EmpFile::LoadOptions options);
    void clearShiftMap();

    // ---- the registration shifts of the I1 images ----
    // Reads a shift file ("index dx dy score") onto the I1 images: a refusal
    // (the shifts in use stay), a warning naming the entries for images the
    // series does not have, or the count taken.
    UserMessage loadShifts(const QString &fileName);
    // Every I1 image unshifted; false when none was shifted.
    bool clearShifts();
    // The I1 images' shifts as a shift file (score 1): false when it could
    // not be written (a file already there stays as it was).
    bool saveShifts(const QString &fileName) const;
    // The registration shift of one image of a series; false when there is
    // no such image or it has that shift already.
    bool setImageShift(Series s, int index, double dx, double dy);

    // ---- the normalisation of the reference rows ----
    // Takes the suggestion and the sample's energy range the reference rows
    // are normalised with; false when they are those already taken.
    bool takeReferenceSuggestion(const SuggestElm &s, double from, double to);

    // ---- the settings the window's fields edit ----
    SessionInputs &inputs() { return *m_inputs; }
    const SessionInputs &inputs() const { return *m_inputs; }

    // ---- the runs ----
    // Every long run of the window under one control (one at a time, Stop
    // from the batch, the time taken, the batch line answered at the end).
    RunBoard &runs() { return *m_runs; }
    const RunBoard &runs() const { return *m_runs; }
    // The map run in flight and the calibration run (the window puts them
    // on the board with the names its refusals give them).
    MapRunState &mapRun() { return *m_mapRun; }
    const MapRunState &mapRun() const { return *m_mapRun; }
    CalibrationRun &calibration() { return *m_calibration; }
    const CalibrationRun &calibration() const { return *m_calibration; }
    // The alignment of the I1 series, and whether the I0 images are to take
    // the same shifts when it completes.
    SeriesAlignRun &alignment() { return *m_alignment; }
    bool alignmentAlsoI0() const { return m_alignmentAlsoI0; }
    void setAlignmentAlsoI0(bool alsoI0) { m_alignmentAlsoI0 = alsoI0; }
    // Puts the completed alignment's shifts on the images (runs that read
    // them end first) and says shiftsChanged.
    SeriesAlignment::Outcome applyAlignment();
    // The check of the I1 images for dark-signal faults.
    DarkCheckRun &darkCheck() { return *m_darkCheck; }

    // When I0 is used: the ways the two series do not match that arose since
    // the last call (each is said once while it lasts).
    QStringList unsaidSeriesMismatch();

    // ---- what failed ----
    // What was refused or failed (each message's text): a headless batch
    // with any ends with status 1.
    const QStringList &failures() const { return m_failures; }
    void addFailure(const QString &text);

signals:
    void seriesChanged(Series s);
    // The dark frame or a dark area was set or cleared.
    void darkChanged();
    // The dark frame itself was read, taken from a stack or cleared (also
    // says darkChanged).
    void darkFrameChanged();
    // The series' dark area was set or cleared (also says darkChanged).
    void darkAreaChanged(Series s);
    void totalI0Changed(Series s);
    void currentPointChanged(const QPoint &p);
    void backgroundChanged();
    void shiftMapChanged();
    // A map was read from a file with this header (also says shiftMapChanged).
    void shiftMapRead(const QString &fileName, const EMPHeader &header);
    // Registration shifts were read, set, aligned or cleared.
    void shiftsChanged();
    void referenceSuggestionChanged();
    void failureAdded(const QString &text);
    // A run on the board started; the window handled a run's end.
    void runStarted(Run *run);
    void runFinished(Run *run);

private:
    static int index(Series s) { return s == Series::I1 ? 0 : 1; }
    void guardChange() const {
        if (m_changeGuard)
            m_changeGuard();
    }
    void takeDark(std::unique_ptr<TiffData> dark, const QString &file, bool fromStack);

    std::function<void()> m_changeGuard;
    MeasurementStack m_stack;
    QString m_darkFile;
    QString m_totalI0Files[2]; // I1, I0
    StackSource m_i1StackSource;
    QString m_stackLayouts[2]; // I1, I0
    bool m_darkFromStack = false;
    QPoint m_point;
    XafsSpectrum m_bg;
    bool m_bgLoaded = false;
    QString m_bgFile;
    Analyzed2DRes *m_shiftMap = nullptr; // a child of the document
    QPoint m_shiftMapOrigin;
    bool m_shiftMapValid = false;
    QString m_shiftMapFile;
    double m_shiftMapFileEnergy = 0;
    SuggestElm m_referenceSuggestion;
    double m_referenceFrom = 0;
    double m_referenceTo = 0;
    bool m_referenceSuggestionSet = false;
    QStringList m_failures;
    SessionInputs *m_inputs; // a child of the document
    QStringList m_saidMismatch;
    RunBoard *m_runs; // a child of the document
    // Their threads read the stack: they end before it goes.
    std::unique_ptr<MapRunState> m_mapRun;
    std::unique_ptr<CalibrationRun> m_calibration;
    std::unique_ptr<SeriesAlignRun> m_alignment;
    bool m_alignmentAlsoI0 = false;
    std::unique_ptr<DarkCheckRun> m_darkCheck;
};
