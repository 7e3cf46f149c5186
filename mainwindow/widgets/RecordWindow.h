#pragma once
// The "Record" window: every action taken in the main window, as the batch
// line that does the same, added the moment it happens; actions without a
// batch command as "# not recordable: ..." comments. "Save as Batch..."
// writes the lines as a batch file that ends with quit, so that
// "lumenstack -platform offscreen -e -b FILE -x" replays the work.
#include <QStringList>
#include <QWidget>

class Body;
class QPlainTextEdit;

class RecordWindow : public QWidget {
    Q_OBJECT
public:
    explicit RecordWindow(Body *body);

    const QStringList &lines() const { return m_lines; }
    // Writes the batch (through QSaveFile); false, said to the user, when it
    // could not be written.
    bool saveAs(const QString &fileName);
    void clear();

private:
    void add(const QString &line);

    QStringList m_lines;
    QPlainTextEdit *m_text = nullptr;
};
