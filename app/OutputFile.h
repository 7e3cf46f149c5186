#pragma once
// The one way files are written. A regular file (or a new name) is written
// through QSaveFile: the data goes to a temporary file beside it that replaces
// the old file only when everything was written, so a failed write leaves
// the old file untouched. A name that exists but is no regular file (a
// device such as /dev/null or /dev/full, a FIFO) cannot be replaced that
// way — a rename would put a regular file in the device's place — so it is
// written directly, and every write, the final flush and the close are
// checked: "/dev/full" fails as it should.
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <memory>

class OutputFile {
public:
    explicit OutputFile(const QString &fileName);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Opens for writing (WriteOnly, with Text when asked); false when the file
    // cannot be opened (a directory, a folder that does not exist, no rights).
    bool open(QIODevice::OpenMode mode = QIODevice::WriteOnly);
    // The device to write to; valid after open().
    QIODevice *device();
    // Finishes the file: false when any write, the flush or the close
    // failed, and then a regular file keeps its old content.
    bool commit();
    // Drops what was written (a regular file keeps its old content).
    void cancel();
    QString errorString() const;
    // True when the name is written directly (it is no regular file).
    bool direct() const { return m_direct; }

private:
    QString m_fileName;
    bool m_direct = false;
    std::unique_ptr<QSaveFile> m_save;
    std::unique_ptr<QFile> m_file;
};
