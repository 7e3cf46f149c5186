#pragma once
// A mask of known bad detector pixels ("error points"), in detector
// coordinates. Read from a text file: a "# Size" line with two numbers, then one
// "x y" pair per line; "#" starts a comment.
//
// ErrPoints is an implicitly shared value: copying it is cheap, so a loader
// can hand each image its own copy of a series' mask. One process-wide mask
// exists for the whole run; reach it through processWide() and the setters
// below, which are safe from any thread.
#include <QPoint>
#include <QString>
#include <QVector>
#include <memory>

class QFile;

class ErrPoints {
public:
    ErrPoints() = default;

    bool use() const { return m_use; }
    void setUse(bool use) { m_use = use; }
    const QString &fileName() const { return m_fileName; }
    const QVector<QPoint> &points() const { return m_points; }
    // The two numbers of the file's "# Size" line, in their order (0, 0 when
    // absent).
    int sizeFirst() const { return m_sizeFirst; }
    int sizeSecond() const { return m_sizeSecond; }

    void addPoint(int x, int y);
    void clearPoints();

    // Reads the file (the program always reads with append = false). True when
    // the file was opened. A failure writes "Can't Open" and the file name to
    // the debug log and leaves an empty, unused mask with no file name.
    bool read(const QString &fileName, bool append = false);

    // True when (x, y) is one of the points.
    bool contains(int x, int y) const;
    bool isEmpty() const { return m_points.isEmpty(); }

    // The process-wide mask (starts empty and unused).
    static ErrPoints processWide();
    static void setProcessWide(const ErrPoints &mask);
    static void setProcessWideUse(bool use);
    // Reads the process-wide mask from a file; true when the file was opened.
    static bool readProcessWide(const QString &fileName);

private:
    static quint64 key(int x, int y) { return (quint64(quint32(x)) << 32) | quint32(y); }
    // The points as a hash set of their 64-bit keys, spread by a strong mixer
    // so that no pattern of points (a line x, 2x, ...) piles into one bucket.
    // Shared by copies of the mask; a copy that adds points gets its own.
    class PointSet;
    bool readLines(QFile &f, bool append);
    // One line by the general rules: the "# Size" line or a point.
    void takeLine(const QString &line);

    bool m_use = false;
    QString m_fileName;
    QVector<QPoint> m_points;
    std::shared_ptr<PointSet> m_lookup; // the same points, for constant-time contains()
    int m_sizeFirst = 0;
    int m_sizeSecond = 0;
};
