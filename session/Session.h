#pragma once
// Every input of a piece of work in the window, as a session file (JSON)
// holds it: the image files of both series with their size and modification
// time, the energy setup, the dark frame, the background and total-I0
// spectra, I0 use, the bin and the area, the
// element suggestion with its windows and fixed E0, the reference rows, the
// fit options, the registration shifts, the energy-shift-map file and the
// analysis mode with its fields. No derived data: maps and spectra are made
// again from these inputs.
//
// Paths lying below the session file's folder are stored relative to it, all
// others absolute. Reading a session checks every file it names before
// anything is taken: a file that is missing or whose size or modification
// time differs refuses the whole session, naming the first such file.
#include <QDateTime>
#include <QMap>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

// A file the session was made from, as it was when the session was saved.
struct SessionFile {
    QString path; // absolute in memory; empty: no file
    qint64 size = -1;
    QDateTime modified; // UTC, to the millisecond

    bool isSet() const { return !path.isEmpty(); }
    // The file as it is on disk now (size -1 when missing).
    static SessionFile of(const QString &path);
    bool operator==(const SessionFile &o) const {
        return path == o.path && size == o.size && modified == o.modified;
    }
};

// How the energy of each image of a series is found (the energy-of-files
// setup). The I0 series may follow the I1 setup.
struct SessionEnergy {
    enum class Mode { FileName, FileNumber, Reference };
    bool sameAsI1 = false; // I0 only: the other members are then unused
    Mode mode = Mode::FileName;
    QString pattern;
    double factor = 1;
    int unit = 0; // 0 eV, 1 keV, 2 degrees
    bool evenInAngle = true;
    double start = 8000;
    double delta = 1;
    double end = 9000;
    int points = 1000;
    SessionFile reference; // the angle list of Mode::Reference

    bool operator==(const SessionEnergy &o) const;
};

struct SessionSeries {
    QVector<SessionFile> files; // as loaded, in order (cuts and skips applied)
    // A series read from an HDF5 stack: the stack file and its layout (a
    // layout file, or the name of a shipped one); files is then empty, and
    // the cuts and skip apply to the stack's frames.
    SessionFile stack;
    QString layout;
    SessionEnergy energy;
    int skip = 1;
    int cutFirst = 0;
    int cutLast = 0;

    bool operator==(const SessionSeries &o) const {
        return files == o.files && stack == o.stack && layout == o.layout && energy == o.energy &&
               skip == o.skip && cutFirst == o.cutFirst && cutLast == o.cutLast;
    }
};

struct SessionSuggestion {
    bool use = false;
    QString element;
    int edge = 0;       // 0 K, 1 L1, 2 L2, 3 L3
    QString edgeEnergy; // eV, as typed
    QString preEnd;     // dE of the pre-edge window's end, eV
    QString postStart;  // dE of the post-edge window's start, eV
    bool fixedE0 = false;
    double fixedE0Energy = 0;

    bool operator==(const SessionSuggestion &o) const {
        return use == o.use && element == o.element && edge == o.edge &&
               edgeEnergy == o.edgeEnergy && preEnd == o.preEnd && postStart == o.postStart &&
               fixedE0 == o.fixedE0 && fixedE0Energy == o.fixedE0Energy;
    }
};

struct SessionReference {
    int row = 0;
    SessionFile file;
    bool use = true;
    double dE = 0;
    bool victoreen = false;

    bool operator==(const SessionReference &o) const {
        return row == o.row && file == o.file && use == o.use && dE == o.dE &&
               victoreen == o.victoreen;
    }
};

struct SessionShift {
    int image = 0;
    double dx = 0;
    double dy = 0;

    bool operator==(const SessionShift &o) const {
        return image == o.image && dx == o.dx && dy == o.dy;
    }
};

struct Session {
    SessionSeries i1;
    SessionSeries i0;
    SessionFile dark;
    SessionFile background;  // the background spectrum (Select BG)
    SessionFile totalI0OfI1; // the total-I0 spectra of the two series
    SessionFile totalI0OfI0;
    bool useI0 = false;
    bool fluorescence = false;
    int binW = 0; // half widths: a bin is 2 binW + 1 pixels wide
    int binH = 0;
    QRectF area; // the selected area, corner to corner in image pixels; null: none
    // The series' dark areas, as the area: null when the series has none.
    QRectF darkAreaI1;
    QRectF darkAreaI0;
    QPoint point;
    SessionSuggestion suggestion;
    QVector<SessionReference> references; // rows with a file
    bool mlcf = false;
    bool lcfOld = false; // the box "LCF as old"
    bool nonNegative = false;
    bool sumToOne = false;
    QVector<SessionShift> shifts; // I1 images with a registration shift
    SessionFile shiftMap;
    int analysisMode = 0;
    double raEnergy = 0;
    double raFactor = 0;
    // Fields by object name, as typed: the jump threshold (ThJumpSigma), the
    // LCF range (LCFRange1, LCFRange2) and the dark exposure (DarkExpTime),
    // each put back by its batch command.
    QMap<QString, QString> fields;

    bool operator==(const Session &o) const;

    // Every file the session names, in the order they are checked.
    QVector<const SessionFile *> files() const;

    // Writes the session as JSON (QSaveFile): false with *why when it could
    // not be written or names a file that is gone (it could never be loaded);
    // a file already there is then left as it was.
    bool save(const QString &fileName, QString *why) const;
    // Reads a session and checks its files; false with *why (naming the
    // file) when it cannot be read or an input is missing or changed, and
    // *out is then untouched.
    static bool load(const QString &fileName, Session *out, QString *why);

    // The first file that is missing or not as saved, with the reason;
    // empty when every file is as it was.
    QString staleFile() const;
};
