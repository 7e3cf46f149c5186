// The fields a user sets once and would otherwise type again at every start
// (bin size, I0 use, the edge suggestion, the energy setup of both series,
// the LCF fit range) are written to the configuration's remembered block
// when the window closes and put back when it is built. Each is found by its
// object name, under a group naming its window: "Body/HWidth",
// "SelectI1Files/Pattern", "Analyzer/LCFRange1".
#include "mainwindow/widgets/Body.h"

#include "analysis/widgets/Analyzer.h"
#include "app/AppSettings.h"
#include "app/RememberedFields.h"
#include "app/UserMessages.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/WidgetFields.h"
#include "ui_Body.h"

namespace {

const QString WindowGroup = QStringLiteral("Body");
const QString I1Group = QStringLiteral("SelectI1Files");
const QString I0Group = QStringLiteral("SelectI0Files");
const QString AnalyzerGroup = QStringLiteral("Analyzer");

const QStringList &windowFields() {
    static const QStringList names = {
        "HWidth",        "VWidth",         "UseI0", "FluoType", "UseSuggestElm",
        "SuggestingElm", "SuggestingEdge", "DPreE", "DPostS",   "ThJumpSigma"};
    return names;
}

const QStringList &analyzerFields() {
    static const QStringList names = {"LCFRange1", "LCFRange2"};
    return names;
}

void addGroup(RememberedFields::Values *all, const QString &group,
              const QMap<QString, QString> &values) {
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        all->insert(group + '/' + it.key(), it.value());
}

QMap<QString, QString> group(const RememberedFields::Values &all, const QString &group) {
    QMap<QString, QString> values;
    const QString prefix = group + '/';
    for (auto it = all.constBegin(); it != all.constEnd(); ++it)
        if (it.key().startsWith(prefix))
            values.insert(it.key().mid(prefix.size()), it.value());
    return values;
}

} // namespace

void Body::restoreRememberedFields() {
    if (AppSettings::rememberPath().isEmpty())
        return;
    const RememberedFields::Values all = RememberedFields::fromStore(AppSettings::params());
    if (all.isEmpty())
        return;
    // I1 first: the I0 setup may follow it.
    ui->SelectI1Files->restoreRemembered(group(all, I1Group));
    ui->SelectI0Files->restoreRemembered(group(all, I0Group));
    // As if typed and left: the edge energy follows the element, the
    // spectrum and the fit their fields.
    WidgetFields::apply(this, windowFields(), group(all, WindowGroup),
                        WidgetFields::Finish::AsEdited);
    if (analyzer())
        WidgetFields::apply(analyzer(), analyzerFields(), group(all, AnalyzerGroup),
                            WidgetFields::Finish::AsEdited);
}

void Body::saveRememberedFields() {
    const QString path = AppSettings::rememberPath();
    if (path.isEmpty())
        return;
    RememberedFields::Values all;
    addGroup(&all, WindowGroup, WidgetFields::capture(this, windowFields()));
    addGroup(&all, I1Group, ui->SelectI1Files->rememberedValues());
    addGroup(&all, I0Group, ui->SelectI0Files->rememberedValues());
    if (analyzer())
        addGroup(&all, AnalyzerGroup, WidgetFields::capture(analyzer(), analyzerFields()));
    QString error;
    if (!RememberedFields::save(path, all, &error))
        UserMessages::warn(
            tr("The settings to remember were not written to %1: %2").arg(path, error));
}
