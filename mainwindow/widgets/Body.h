#pragma once
// The main window: a view of the session document (SessionDocument), which
// holds the measurement, the dark, the spectra from files, the shift map and
// shifts, the current point, the settings the fields edit and the runs in
// flight. The window shows the images, the mu*t spectrum of the bin under the
// cursor and the result maps, and wires the panels, the two series
// controllers, the runs and the batch machinery (BatchHost) to the document;
// its views follow the document's events.
#include "analysis/AnalyzeCond.h"
#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"
#include "measurement/MeasurementStack.h"
#include "session/SessionDocument.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

#include <QJsonObject>
#include <QMainWindow>
#include <QPoint>
#include <functional>
#include <memory>

class Analyzed2DRes;
namespace ShiftMapCommands {
struct Calibration;
}
class Analyzer;
class Analyzer2;
class FieldHistory;
class DarkCheckRun;
class ImgProc;
class InputBinding;
class BatchCtrl;
class BatchHost;
class CalibCtrl;
class ComponentRunControl;
struct BinSpectrumSettings;
struct ComponentSettings;
struct EMPHeader;
class LoadTiff;
class BinTask;
enum class MapRunKind;
class MessagesWindow;
struct UserMessage;
class QButtonGroup;
class QFileDialog;
class QLabel;
class QPainter;
class QProgressBar;
class SaveDataCfg;
class SeriesAlignRun;
class SessionControl;
class RecordWindow;
namespace SeriesAlignment {
struct Request;
}
class SelectDataFiles;
class SelectImgDialog;
class SeriesController;
class SpectrumView;
class TiffData;
class XafsFileSelect;
namespace Ui {
class Body;
}

class Body : public QMainWindow {
    Q_OBJECT
public:
    // A command handler performs the command's effect and is responsible for
    // emitting finishBatchExec itself, at once or when its work ends.
    using CommandHandler = std::function<void(const CmdLine &)>;

    // Ids of the display-image button group.
    enum DisplayId { DispData = 0, DispI0 = 1, DispShiftMap = 2, DispResAnalysis = 3 };

    explicit Body(QWidget *parent = nullptr);
    ~Body() override;

    void registerCommand(EX_CMD_ID id, CommandHandler handler);
    // A command whose effect is done when the handler returns: it answers the
    // dispatcher at once.
    void registerAtOnce(EX_CMD_ID id, CommandHandler effect);
    bool hasCommandHandler(EX_CMD_ID id) const;

    BatchCtrl *batchCtrl() const;
    // What was refused or failed since the window opened (each message's
    // text): a headless batch with any ends with status 1.
    const QStringList &failures() const { return m_doc->failures(); }
    // The configuration's "ErrPoints" file name (any case), empty when absent.
    QString errPointsFileFromConfig() const { return m_errPointsFile; }

    // ---- the measurement and the current state, for the tool windows ----
    SessionDocument &document() { return *m_doc; }
    const SessionDocument &document() const { return *m_doc; }
    MeasurementStack &stack() { return m_doc->stack(); }
    const MeasurementStack &stack() const { return m_doc->stack(); }
    QPoint currentPoint() const { return m_doc->currentPoint(); }
    // The mu*t conditions and the suggestion (with the fit's fixed edge) the
    // session holds, as the window's fields give them.
    MuTConditions muTConditions() const;
    SuggestElm suggestElm() const;
    SpectrumView *xafsView() const { return m_xafsView; }
    SpectrumView *bgView() const { return m_bgView; }
    XafsFileSelect *bgFileSelect() const { return m_bgSelect; }
    const XafsSpectrum &bgSpectrum() const { return m_doc->background(); }
    bool bgLoaded() const { return m_doc->backgroundLoaded(); }
    Analyzed2DRes *shiftMap() const { return m_doc->shiftMap(); }
    // The file the energy-shift map was read from or last saved to; empty
    // when there is no map or it was calibrated and not saved.
    QString shiftMapFile() const {
        return m_doc->shiftMapValid() ? m_doc->shiftMapFile() : QString();
    }
    // External command lines that run next, before the rest of the batch
    // (as a batch of their own when none runs).
    void runNext(const QStringList &lines);
    // The layout the series' last HDF5 stack load was given.
    QString stackLayout(Series s) const { return m_doc->stackLayout(s); }
    // A batch command is being executed: what changes now is no user action.
    bool isExecutingCommand() const;
    // Places the energy-shift map (filled by calibration) at a detector origin.
    void setShiftMapOrigin(int x0, int y0);
    void setShiftMapValid(bool valid) { m_doc->setShiftMapValid(valid); }
    LoadTiff *loader(Series s) const;
    // A file of either series is still being read.
    bool isLoading() const;
    // Index of the image shown from the current series, -1 without one.
    int currentImageIndex() const;
    const TiffData *currentImage() const;
    Analyzer *analyzer() const;
    SaveDataCfg *saveDataCfg() const;
    // The bin grid of the maps over the selected area (else the region on
    // display); false without I1 images.
    bool analysisGrid(AnalyzeCond &ac) const;
    // A map run (LCF/MLCF or residual absorption) is going on.
    bool isAnalysisRunning() const;
    // The buttons choosing what the image display shows, by DisplayId.
    QButtonGroup *displayGroup() const { return m_dispGroup; }
    // Redraws the picture on display through the colour bar's window.
    void showCurrentPicture();
    // A batch's load: a new series replaces the loaded one at once.
    void loadFromBatch(Series s, const QStringList &files, bool newSeries);
    // Ends the program at the batch's quit, naming the commands that failed.
    void quitCmd(const CmdLine &cmd);
    // Normalises the references anew when the suggestion or fixed edge changed.
    void referenceNormalisationChanged();
    // Fixed E0 := the edge of the selected area's summed spectrum ("auto").
    void setFixedE0FromArea();

    // ---- calibration (BodyCalib.cpp) ----
    CalibCtrl *calibCtrl() const { return m_calibCtrl; }
    bool isCalibrating() const;
    // Background model of the spectra the window builds (CalibCtrl's
    // TargetBGVictreen): 1 straight, 0 Victoreen.
    int targetBackgroundSimple() const;
    // What the shift-map commands ask the calibration (a run going, the
    // options a map file is read with).
    ShiftMapCommands::Calibration shiftMapCalibration() const;
    // Writes what a saved file that is no map was made from beside it.
    std::function<void(const QString &)> provenanceWriter();

    // ---- registration and the detector checks (BodyRegistration.cpp) ----
    ImgProc *imgProc() const { return m_imgProc; }
    Analyzer2 *analyzer2() const { return m_analyzer2; }
    DarkCheckRun *darkCheckRun() const { return &m_doc->darkCheck(); }
    // ---- whole-series alignment (BodyAlignment.cpp) ----
    SeriesAlignRun *alignRun() const { return &m_doc->alignment(); }
    // Starts aligning the I1 series; false (said to the user) when it cannot.
    bool startAlignment(const SeriesAlignment::Request &request);
    // ---- components: PCA, clusters, NMF (BodyComponents.cpp) ----
    ComponentRunControl *componentRunControl() const { return m_components; }
    // The settings the cursor spectrum and every run's bin spectra use.
    BinSpectrumSettings binSpectrumSettings() const;

signals:
    void doCollectQInfo(AnalyzeCond ac);
    void finishing();
    void finishBatchExec(int id);

public slots:
    void execCmdSlot(CmdLine cmd, bool inRem);

    // ---- series: one set of slots for both, told apart by the series ----
    void clearFiles(Series s);
    // Files chosen in the series' panel: the series loaded stays until an
    // image of the new one has arrived.
    void readFiles(Series s, const QStringList &files, bool newSeries);
    void loaded(Series s, TiffData *data, int fNo);
    void finishedLoad(Series s);
    // A warning about a load (images of another size, a series beyond the
    // memory): posted to the user messages (BodyLoadWarnings.cpp).
    void showLoadWarning(const QString &text);
    // A user message: status bar, the Messages list, and the batch log.
    void showUserMessage(const UserMessage &message);

    // ---- display and navigation ----
    void showData(int no);
    void seekImage(int imgNo);
    void selectedDataI0(bool f);
    void prev();
    void next();
    void sliderMoved(int idx);
    void showXafsSpectrum(double x, double y);
    void showXafsSpectrum();
    void draw(QPainter *p);
    void onMouseMovedInDispA();

    // ---- spectra from files ----
    // The total-I0 spectrum of the series (I1: of the I1 images).
    void newTotalI0File(Series s, const QString &fname);
    void selectedBG(const QString &fname);
    void clearedBG();

    // ---- element suggestion and diagnostics ----
    void newEdgeSuggested(int);
    void newElmSuggested();
    void showAnalyzedVals();

    // ---- dark ----
    void selectedDark(const QString &fname);
    void clearDark();
    // The selected area becomes the series' dark area.
    void setDarkArea(Series s);
    void clearDarkArea(Series s);
    void saveFlatDark();

    // ---- registration and the detector checks (BodyRegistration.cpp) ----
    void giveProcData();
    void setImgShift(int dx, int dy);
    void clearAllShifts();
    // Registration shifts of the I1 images from and to a shift file
    // ("index dx dy score"); a file that cannot be read keeps the shifts.
    bool loadShifts(const QString &fname);
    bool saveShifts(const QString &fname);
    void showProcImg(bool f);
    void deglitchShownMap();
    void startCollectQInfo();
    void darkCheck();
    void useErrPMaskToggled(bool f);

    // ---- pictures ----
    void saveImage(const QString &fname);
    void saveImageWNum(const QString &fname, const QString &num);

    // ---- calibration and the energy-shift map (BodyCalib.cpp) ----
    void newStdFile();
    // Starts a calibration, or stops the one running. True when a run started.
    bool execCalibration();
    void finishCalib(bool completed);
    void saveEMap(const QString &fname);
    bool saveEMap(const QString &fname, const Analyzed2DRes &map);
    void loadEMap(const QString &fname);
    // Fills map from the file; the header comes back valid on success. Loading
    // the window's own shift map also takes its geometry and origin.
    bool loadMap(const QString &fname, Analyzed2DRes &map, EMPHeader &header);
    void showShiftMap(bool show);
    void clearShiftMap();
    void normalizeEShift();

    // ---- sum-up image and map processing (BodySumUp.cpp) ----
    void doSumUp();
    // ---- map runs and the analysis panel (BodyAnalysis.cpp) ----
    void startLCF2DAnalysis();
    void stop2DAnalysis();
    void generateResImages();
    void startRA2DAnalysis();
    void generateRAResImage();
    void showResAnalysis(bool f);
    void selectedNewRef();
    void setupResAnalysisImage();
    void execFourierA();

    // ---- element map run (BodyElems.cpp) ----
    void startElems2DAnalysis();
    void stopElems2DAnalysis();
    void generateElemsResImages();

    // ---- data export (BodyExport.cpp) ----
    void saveAllImages(const QString &fname);
    void showSaveDataDialog();
    void saveData(const QString &fname);
    void saveDataAsTiff(const QString &fname, int n);
    void saveDataAsText(const QString &fname, int n);
    // The shown result map as a picture at its own resolution (no overlay).
    void saveMapPicture(const QString &fname);
    void saveEachSpectrum(const QString &fname);
    void saveEachNormalizedXafsSpectrum(const QString &fname);
    void saveEachRawXafsSpectrum(const QString &fname);
    void saveEachRawSpectrum(const QString &fname);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupBatch();
    void setupDisplay();
    void setupSeries();
    void setupController(Series s);
    SeriesController *controller(Series s) const { return m_series[s == Series::I1 ? 0 : 1]; }
    // The loader's end of a load: the window's bookkeeping, the dark of an
    // I1 stack, then the batch's answer.
    void seriesLoadFinished(Series s, int commandId);
    void setupNavigation();
    void setupViews();
    void setupDark();
    // The views' subscriptions to the document's events.
    void followDocument();
    void followCurrentPoint(const QPoint &p);
    void showDarkFrame();
    void showDarkArea(Series s);
    XafsFileSelect *totalI0Select(Series s) const;
    static void showChosenFile(XafsFileSelect *select, const QString &file);
    void setupSuggestion();
    void takeErrPointsFromConfig();
    void dispatchConfigBatchLines();
    // ---- fields remembered between runs (BodyRemembered.cpp) ----
    // Put back from the configuration's remembered block, and written to it
    // when the window closes; both only when AppSettings::rememberPath() is
    // set (not in batch runs from the command line, nor in tests).
    void restoreRememberedFields();
    void saveRememberedFields();
    void registerCommands();
    void setupCalibration();
    // Ends a calibration run (waits for it) before the measurement changes.
    void haltCalibration();
    void setupSumUp();
    void setupAnalysis();
    void setupExport();
    void setupComponents();
    bool prepareComponentRun(ComponentSettings *s, AnalyzeCond *grid);
    QString clusterReadout(int mx, int my) const;
    // Stops a components run and waits for it (before the stack changes).
    void haltComponents();
    // Ends a map run before the measurement it reads changes (waits for it).
    void haltAnalysisRun();
    bool analysisRunMayStart(AnalyzeCond &grid);
    QString stackRunRefusal() const;
    // An analysis that cannot run says why, in the panel and to the user.
    void refuseRun(const QString &why);
    // Run control (BodyRunControl.cpp): the group's button and progress, the
    // elapsed and remaining time in the status bar, Stop from the batch
    // window, and a question before the window closes on a run.
    void setupRunControl();
    // A map run of `kind` over `grid` writing `maps` (prepared): the panel's
    // button reads Stop, the run goes on the board. False when not started.
    bool startMapRun(MapRunKind kind, const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps,
                     std::function<std::unique_ptr<BinTask>()> tasks);
    void mapRunEnded();
    void batchStopped();
    bool closeMayProceed();
    // The reference rows and the calibration standard are normalised as the
    // sample spectra are; when the suggestion or the fixed edge changed they
    // are normalised anew (cheap when nothing changed).
    void setupReferenceNormalisation();
    // The analyzer's fit options that touch the spectra (BodyAnalysis.cpp).
    void fitNormalizationChanged();
    bool fixedEdgeRefused(const QString &what);
    void analysisRunEnded(bool completed);
    void analyzeShownSpectrum();
    void setupElems();
    void elemsRunEnded(bool completed);
    void saveSpectrumSet(const QString &fname, int kind);
    // What saved files were made from, and the FILE.json beside them (BodyExport.cpp).
    QJsonObject provenance();
    QJsonObject provenance(const Analyzed2DRes &map);
    void writeProvenance(const Analyzed2DRes &map, const QString &path, const QStringList &columns);
    void writeProvenance(const QString &path);
    void writeMapPicture(const Analyzed2DRes &map, const QString &fname);
    // States a failed save in the batch log ("Err: ..."); returns ok.
    bool reportIfNotWritten(bool ok, const QString &fileName);
    // Says so when a file was saved under another name than the one chosen.
    void reportChangedName(const QString &chosen, const QString &written);

    SelectDataFiles *panel(Series s) const;
    // The result map on display (shift map or the panel's), nullptr for images.
    Analyzed2DRes *shownMap() const;
    Series shownSeries() const;
    void requestLoad(Series s, const QStringList &files);
    bool readStack(Series s, const QStringList &files, int skip, int cutFirst, int cutLast);
    // After an I1 load from an HDF5 stack: that stack's dark becomes the dark
    // frame when the layout names one the file holds and no dark is set (or
    // only one taken from an earlier stack); a chosen dark stays.
    void takeStackDark();
    void bringI1ViewUpToDate();
    void stepShownImage(bool forward);
    void drawOverlay(QPainter *p);
    // Status bar and image read-outs (BodyStatus.cpp).
    void setupStatus();
    void showLoadProgress(Series s, int done, int total);
    void showLoadFinished(Series s);
    void updateImageReadout();
    void updateCursorReadout(int mx, int my);
    void updateProfiles(int mx, int my);
    void updateValueLabels(int mx, int my);
    // ---- loads that never lose what was loaded (BodyLoadWarnings.cpp) ----
    // A new series replaces the loaded one only when its first image has
    // arrived (SeriesController keeps the count): a selection of which
    // nothing can be read leaves the series as it was. Every file the loader
    // could not read is listed when the load ends.
    // A batch's load of a new series replaces the old one at once, so that a
    // series of which nothing could be read is not silently taken for it by
    // the batch's next steps; a load chosen in the window keeps the old
    // series until an image of the new one has arrived.
    enum class SeriesKept { No, UntilFirstImage };
    void loadSeries(Series s, const QStringList &files, bool newSeries, SeriesKept kept);
    void beginLoad(Series s, bool newSeries, SeriesKept kept);
    void replaceSeriesOnFirstImage(Series s);
    void replaceSeries(Series s);
    void reportLoadEnd(Series s);
    void reportEnergies(Series s);
    // When I0 is used: the ways the two series do not match, each said once.
    void reportSeriesMismatch();
    void setupMessages();
    // The menu bar and its keys (BodyMenus.cpp).
    void setupMenus();
    void stepImages(int count);
    static void openDocument(const QString &name);
    int panelIndex(Series s) const;
    void setupImgProc();
    void setupAnalyzer2();
    // The processor's image: the one shown, or none before images go away.
    void giveProcImage(const TiffData *image);
    // Ends a dark check still reading the images (before they are deleted).
    void stopDarkCheck();
    void refreshShiftedImage(const TiffData *image);
    // ---- whole-series alignment (BodyAlignment.cpp) ----
    void setupAlignment();
    void alignSeriesPressed();
    void alignmentEnded(bool completed);
    void applyAlignment();
    // Ends an alignment still reading the images (before they are deleted);
    // its end still arrives and is taken as a stop.
    void haltAlignment();

    Ui::Body *ui;
    BatchHost *m_batch = nullptr; // the batch window, dispatcher and handlers
    QString m_errPointsFile;

    SessionDocument *m_doc = nullptr;                   // a child of the window
    InputBinding *m_binding = nullptr;                  // fields -> m_doc->inputs()
    SeriesController *m_series[2] = {nullptr, nullptr}; // I1, I0
    bool m_resetViewOnShow = true;
    // Set while the window is destroyed: late deliveries are only disposed of.
    bool m_closing = false;

    QButtonGroup *m_dispGroup = nullptr;
    SelectImgDialog *m_darkDialog = nullptr;
    QFileDialog *m_saveImageDialog = nullptr;
    FieldHistory *m_fieldHistory = nullptr; // undo/redo of field edits
    SpectrumView *m_xafsView = nullptr;
    SpectrumView *m_bgView = nullptr;
    XafsFileSelect *m_bgSelect = nullptr;
    CalibCtrl *m_calibCtrl = nullptr;
    SessionControl *m_session = nullptr;
    RecordWindow *m_record = nullptr;
    struct AnalysisState;
    std::unique_ptr<AnalysisState> m_analysis;

    // The cursor's spectra and profiles, reused on every mouse move: no
    // allocation once sized.
    Spectrum m_mut;
    Spectrum m_raw;
    Spectrum m_hProfile;
    Spectrum m_vProfile;
    XafsSpectrum m_shown;

    ImgProc *m_imgProc = nullptr;
    Analyzer2 *m_analyzer2 = nullptr;
    ComponentRunControl *m_components = nullptr;
    MessagesWindow *m_messages = nullptr;
    QLabel *m_runTime = nullptr;
    int m_runMode = -1;
    bool m_quitRequested = false;
    QLabel *m_cursorStatus = nullptr;
    QLabel *m_loadStatus = nullptr;
    QProgressBar *m_loadBar = nullptr;
};
