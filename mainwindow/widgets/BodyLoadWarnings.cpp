// What the user is told about loads and inputs: every message goes through the
// user-message hub, which the status bar, the Messages window and the batch
// log all show. A load never loses the series already loaded: the new one
// replaces it only when its first image has arrived, and every file that
// could not be read is listed when the load ends.
#include "mainwindow/widgets/Body.h"

#include "app/AppSettings.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"
#include "imageio/EnergyCheck.h"
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "mainwindow/widgets/SeriesController.h"
#include "ui_Body.h"

#include <QFileInfo>
#include <QStatusBar>

void Body::setupMessages() {
    UserMessages &hub = UserMessages::hub();
    m_messages = new MessagesWindow(hub, this);
    m_messages->setWindowFlag(Qt::Window);
    connect(&hub, &UserMessages::messagePosted, this, &Body::showUserMessage);
    connect(ui->ShowMessages, &QPushButton::clicked, m_messages, [this] {
        m_messages->show();
        m_messages->raise();
    });
}

void Body::showLoadWarning(const QString &text) {
    UserMessages::warn(text);
}

void Body::showUserMessage(const UserMessage &message) {
    if (m_closing)
        return;
    if (message.level == UserMessage::Level::Refusal || message.level == UserMessage::Level::Error)
        m_doc->addFailure(message.text);
    // For a minute in place of the cursor read-out, whose place it takes.
    statusBar()->showMessage(message.text, 60000);
    if (!m_batch)
        return;
    batchCtrl()->Log(UserMessages::tag(message.level) + message.text + "\n");
}

// ------------------------------------------------------------------ loads

void Body::beginLoad(Series s, bool newSeries, SeriesKept kept) {
    if (controller(s)->beginLoad(newSeries, kept == SeriesKept::UntilFirstImage))
        replaceSeries(s);
}

void Body::replaceSeriesOnFirstImage(Series s) {
    if (controller(s)->takeImage())
        replaceSeries(s);
}

void Body::replaceSeries(Series s) {
    const bool hadDark = m_doc->hasChosenDark();
    if (s == Series::I0) {
        clearFiles(Series::I0);
        return;
    }
    const bool hadSeries = !stack().i1().isEmpty();
    clearFiles(Series::I1);
    if (!hadDark || !hadSeries)
        return;
    // The dark frame was chosen for the series just replaced.
    const QString dark = ui->DarkFileName->text();
    if (AppSettings::params().valueAnyCase(QStringLiteral("ClearDarkOnNewSeries")).toInt() == 1) {
        clearDark();
        UserMessages::info(tr("A new I1 series: the dark frame %1 was cleared "
                              "(ClearDarkOnNewSeries in the configuration)")
                               .arg(dark));
    } else {
        UserMessages::warn(tr("A new I1 series: the dark frame %1 of the previous series stays "
                              "applied (Clear Dark removes it; ClearDarkOnNewSeries 1 in the "
                              "configuration clears it with every new series)")
                               .arg(dark));
    }
}

void Body::reportLoadEnd(Series s) {
    if (controller(s)->reportLoadEnd(stack().images(s).size()))
        reportEnergies(s);
    reportSeriesMismatch();
    referenceNormalisationChanged(); // the references span the new series' energies
}

// The energies the series' images were given: out of range, not ascending or
// repeated, each said with the file at fault, and with the fix when one is at
// hand (the factor of a series in keV, a preset pattern that fits the names).
void Body::reportEnergies(Series s) {
    QStringList files;
    QVector<double> energies;
    for (const TiffData *image : stack().images(s)) {
        files << image->fileName();
        energies << image->energy();
    }
    const QStringList warnings = EnergyCheck::seriesWarnings(files, energies);
    for (const QString &w : warnings)
        UserMessages::warn(seriesName(s) + QStringLiteral(": ") + w);
    const EofSettings settings = panel(s)->eofSetup()->effectiveSettings();
    if (EnergyCheck::offersKeVFactor(settings, energies)) {
        UserMessages::warn(seriesName(s) + QStringLiteral(": ") +
                           EnergyCheck::keVFactorOffer(energies));
    } else if (!warnings.isEmpty() && settings.mode == EofSettings::Mode::FromFileName) {
        const QString suggested = EnergyCheck::suggestedPattern(files);
        if (!suggested.isEmpty() && suggested != settings.pattern)
            UserMessages::warn(seriesName(s) + QStringLiteral(": ") +
                               EnergyCheck::patternOffer(suggested, files));
    }
}

void Body::reportSeriesMismatch() {
    for (const QString &p : m_doc->unsaidSeriesMismatch())
        UserMessages::warn(p);
}
