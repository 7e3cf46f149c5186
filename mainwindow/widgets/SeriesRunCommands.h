#pragma once
// The batch commands of the runs over the whole series that make no map of
// the analysis panel: align_series (the image processor's alignment) and the
// components group's runs (PCA, clusters, NMF). Each answers when its run
// ends, or at once when its arguments are wrong or the run cannot start.
#include <QObject>

class Body;

class SeriesRunCommands : public QObject {
    Q_OBJECT
public:
    explicit SeriesRunCommands(Body *body);

    void registerCommands();

private:
    void registerAlignCommand();
    void registerComponentCommands();

    Body *m_body;
};
