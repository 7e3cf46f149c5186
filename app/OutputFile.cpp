#include "app/OutputFile.h"

#include <QFileInfo>

OutputFile::OutputFile(const QString &fileName) : m_fileName(fileName) {}

OutputFile::~OutputFile() {
    if (m_save && m_save->isOpen())
        m_save->cancelWriting();
}

bool OutputFile::open(QIODevice::OpenMode mode) {
    const QFileInfo info(m_fileName);
    // exists() and isFile() follow symbolic links: a link to a device is
    // written through, a link to a regular file is replaced as QSaveFile does.
    m_direct = info.exists() && !info.isFile() && !info.isDir();
    if (m_direct) {
        m_file = std::make_unique<QFile>(m_fileName);
        return m_file->open(mode | QIODevice::WriteOnly);
    }
    m_save = std::make_unique<QSaveFile>(m_fileName);
    return m_save->open(mode | QIODevice::WriteOnly);
}

QIODevice *OutputFile::device() {
    if (m_direct)
        return m_file.get();
    return m_save.get();
}

bool OutputFile::commit() {
    if (m_save)
        return m_save->commit();
    if (!m_file || !m_file->isOpen())
        return false;
    // QFile keeps a write buffer: the device's answer to the last bytes
    // comes only with the flush.
    const bool flushed = m_file->flush() && m_file->error() == QFileDevice::NoError;
    m_file->close();
    return flushed && m_file->error() == QFileDevice::NoError;
}

void OutputFile::cancel() {
    if (m_save && m_save->isOpen())
        m_save->cancelWriting();
    if (m_file && m_file->isOpen())
        m_file->close();
}

QString OutputFile::errorString() const {
    if (m_save)
        return m_save->errorString();
    return m_file ? m_file->errorString() : QString();
}
