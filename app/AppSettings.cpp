#include "app/AppSettings.h"

namespace {

struct Settings {
    QString dataRoot = AppSettings::DefaultRoot;
    QString batchRoot = AppSettings::DefaultRoot;
    bool showAnalyzer2Button = false;
    QString rememberPath;
    ParamStore params;
};

Settings &settings() {
    static Settings s;
    return s;
}

} // namespace

const QString AppSettings::DefaultRoot = QStringLiteral("C:/Data");

QString AppSettings::dataRoot() {
    return settings().dataRoot;
}
QString AppSettings::batchRoot() {
    return settings().batchRoot;
}
bool AppSettings::showAnalyzer2Button() {
    return settings().showAnalyzer2Button;
}

void AppSettings::setDataRoot(const QString &folder) {
    settings().dataRoot = folder;
}
void AppSettings::setBatchRoot(const QString &folder) {
    settings().batchRoot = folder;
}
void AppSettings::setShowAnalyzer2Button(bool show) {
    settings().showAnalyzer2Button = show;
}

QString AppSettings::rememberPath() {
    return settings().rememberPath;
}
void AppSettings::setRememberPath(const QString &path) {
    settings().rememberPath = path;
}

void AppSettings::resetDefaults() {
    setDataRoot(DefaultRoot);
    setBatchRoot(DefaultRoot);
    setShowAnalyzer2Button(false);
    setRememberPath(QString());
}

ParamStore &AppSettings::params() {
    return settings().params;
}
