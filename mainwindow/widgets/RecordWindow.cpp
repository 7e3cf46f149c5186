#include "mainwindow/widgets/RecordWindow.h"

#include "app/AppSettings.h"
#include "app/OutputFile.h"
#include "app/UserMessages.h"
#include "mainwindow/widgets/ActionRecorder.h"
#include "mainwindow/widgets/Body.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

RecordWindow::RecordWindow(Body *body) : QWidget(body, Qt::Window) {
    setObjectName(QStringLiteral("RecordWindow"));
    setWindowTitle(tr("Record"));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("RecordText"));
    m_text->setReadOnly(true);
    auto *save = new QPushButton(tr("Save as Batch..."), this);
    save->setObjectName(QStringLiteral("SaveAsBatch"));
    auto *clearButton = new QPushButton(tr("Clear"), this);
    clearButton->setObjectName(QStringLiteral("ClearRecord"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(clearButton, &QPushButton::clicked, this, &RecordWindow::clear);
    connect(save, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(
            this, tr("Save as Batch"), AppSettings::dataRoot(), tr("Batch (*.bat *.txt)"));
        if (!name.isEmpty())
            saveAs(name);
    });
    auto *recorder = new ActionRecorder(body, this);
    connect(recorder, &ActionRecorder::actionRecorded, this, &RecordWindow::add);
}

void RecordWindow::add(const QString &line) {
    m_lines << line;
    m_text->appendPlainText(line);
}

void RecordWindow::clear() {
    m_lines.clear();
    m_text->clear();
}

bool RecordWindow::saveAs(const QString &fileName) {
    OutputFile out(fileName);
    QByteArray text = tr("# Recorded in the Lumenstack window, %1.\n"
                         "# quit at the end closes a headless replay; without it the batch "
                         "replays in the window.\n")
                          .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                          .toUtf8();
    for (const QString &line : m_lines)
        text += line.toUtf8() + '\n';
    text += "quit\n";
    if (!out.open() || out.device()->write(text) != text.size() || !out.commit()) {
        UserMessages::refuse(
            tr("The recording was not saved to %1: %2").arg(fileName, out.errorString()));
        return false;
    }
    UserMessages::info(tr("Recording saved to %1").arg(fileName));
    return true;
}
