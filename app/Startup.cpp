#include "app/Startup.h"

#include "app/AppSettings.h"

#include <QDir>
#include <QFileInfo>

namespace Startup {

void collectOptions(int argc, const char *const *argv, ParamStore *store) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLatin1(argv[i]));
    collectOptions(args, store);
}

void collectOptions(const QStringList &args, ParamStore *store) {
    const auto isOption = [&](int i) { return args.at(i).startsWith('-'); };
    int i = 0;
    while (i < args.size()) {
        if (!isOption(i)) {
            ++i;
            continue;
        }
        const QString key = args.at(i);
        int next = i + 1;
        QStringList restItems;
        while (next < args.size() && !isOption(next))
            restItems.append(args.at(next++));
        const QString value = restItems.isEmpty() ? QString() : restItems.first();
        store->set(key, value, restItems.join(' '));
        i = next;
    }
}

QString configPath(const ParamStore &store, const QString &appDir) {
    QString path = QFileInfo(QDir(appDir).filePath("config.cfg")).canonicalFilePath();
    if (store.contains("-c"))
        path = store.value("-c");
    if (store.contains("-config"))
        path = store.value("-config");
    return path;
}

bool configGiven(const ParamStore &store) {
    return store.contains("-c") || store.contains("-config");
}

QString rememberPath(const ParamStore &store, const QString &appDir) {
    if (configGiven(store))
        return configPath(store, appDir);
    return QDir(appDir).absoluteFilePath("config.cfg");
}

void settleSettings(const ParamStore &store) {
    if (store.contains("DataRoot"))
        AppSettings::setDataRoot(store.value("DataRoot"));
    if (store.contains("-d"))
        AppSettings::setDataRoot(store.value("-d"));
    if (store.contains("BatchRoot"))
        AppSettings::setBatchRoot(store.value("BatchRoot"));
    if (store.contains("-br"))
        AppSettings::setBatchRoot(store.value("-br"));

    const QString current = AppSettings::showAnalyzer2Button() ? "1" : "0";
    bool show = store.value("ShowAnalyzer2Button", current).toInt() == 1;
    if (store.contains("-showA2B"))
        show = store.value("-showA2B", "0").toInt() == 1;
    AppSettings::setShowAnalyzer2Button(show);
}

Options options(const ParamStore &store) {
    Options o;
    o.batchFile = store.contains("-b") ? store.value("-b") : QString();
    o.execBatch = store.contains("-x");
    o.noTranslation = store.contains("-e");
    return o;
}

} // namespace Startup
