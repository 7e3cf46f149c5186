#pragma once
// The batch commands of the window's views: what the image display shows
// (the image, I0, the energy-shift map or a result map; which image), the
// colour bar's range, the selected region and zoom, the fluorescence mode,
// the band of the profiles, the cursor spectrum's view, and the pictures and
// spectra saved from them. Each acts as the user's click or edit does and
// answers the dispatcher at once.
#include <QObject>

class Body;

class DisplayCommands : public QObject {
    Q_OBJECT
public:
    explicit DisplayCommands(Body *body);

    // Registers the commands with the window.
    void registerCommands();

private:
    void registerImageCommands();
    void registerViewCommands();

    Body *m_body;
};
