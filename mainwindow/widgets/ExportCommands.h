#pragma once
// The batch commands of the data export: saving the result maps (all of
// them, the shown one, one reference's as TIFF) and the export window's
// settings, each as its button or box does.
#include <QObject>

class Body;

class ExportCommands : public QObject {
    Q_OBJECT
public:
    explicit ExportCommands(Body *body);

    void registerCommands();

private:
    void registerFormatCommands();

    Body *m_body;
};
