#pragma once
// One image series of the window: its file panel, the loader that reads its
// files in a thread of its own, and the bookkeeping of the load going on. The
// window makes one for I1 and one for I0 and handles both through the same
// slots, told apart by the series each signal carries.
//
// A load never loses the series already loaded: a new series replaces the
// loaded one only when its first image has arrived (a batch's load replaces
// it at once), and every file the loader could not read is kept, "file:
// reason", to be listed when the load ends.
#include "imageio/TiffData.h"
#include "measurement/MeasurementStack.h"

#include <QObject>
#include <QStringList>

class ErrPoints;
class LoadTiff;
class QThread;
class SelectDataFiles;

class SeriesController : public QObject {
    Q_OBJECT
public:
    // The loader's thread starts at once.
    SeriesController(Series s, SelectDataFiles *panel, QObject *parent);
    // Ends the thread (if stopLoader has not) and deletes the loader.
    ~SeriesController() override;

    Series series() const { return m_series; }
    SelectDataFiles *panel() const { return m_panel; }
    LoadTiff *loader() const { return m_loader; }
    bool isLoading() const;
    // The batch command a load of this series answers (LOAD_I1_FILES or
    // LOAD_I0_FILES).
    int loadCommandId() const;

    // Asks the loader for image files, or for a part of an HDF5 stack, with
    // the panel's skip, cuts, live-time choice and mask.
    void requestFiles(const QStringList &files, int skip, int cutFirst, int cutLast);
    void requestStack(const QString &file, const QString &layout, int part, int skip, int cutFirst,
                      int cutLast);

    // A new request: unless one still runs (the two then end as one load)
    // the count of images and the skipped files start anew. A new series
    // kept until its first image waits for it; true when it replaces the
    // loaded one now.
    bool beginLoad(bool newSeries, bool keptUntilFirstImage);
    // Counts an arrived image; true for the first image of a new series that
    // was waiting for it.
    bool takeImage();
    void noteSkippedFile(const QString &file, const QString &reason);
    // Tells the user how the load ended: refused when nothing could be read
    // (kept: the images of the series still loaded), else the files skipped.
    // The bookkeeping starts anew; true when images arrived.
    bool reportLoadEnd(int kept);

    // Ends the loader's thread between two files and hands over the images
    // it sent that were not taken yet (before the window goes away).
    void stopLoader();

signals:
    // What the user asked in the panel.
    void filesChosen(Series s, const QStringList &files, bool newSeries);
    void clearRequested(Series s);
    void darkAreaRequested(Series s);
    void darkAreaClearRequested(Series s);
    // What the loader did.
    void imageLoaded(Series s, TiffData *data, int fileNo);
    void loadFinished(Series s, int commandId);
    // To the loader's thread.
    void filesRequested(const QStringList &files, bool ignoreLive, int skip, int cutFirst,
                        int cutLast, const ErrPoints &errPs, int id);
    void stackRequested(const QString &file, const QString &layout, int part, int skip,
                        int cutFirst, int cutLast, const ErrPoints &errPs, int id);

private:
    struct Load {
        bool replacePending = false;
        int received = 0;
        QStringList skipped; // "file: reason"
    };

    Series m_series;
    SelectDataFiles *m_panel;
    QThread *m_thread;
    LoadTiff *m_loader;
    Load m_load;
};
