#include "mainwindow/widgets/SettingsCommands.h"

#include "batch/ExCmdTable.h"
#include "imageio/widgets/WidgetFields.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/CommandArgs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <functional>

using namespace CommandArgs;

namespace {

template <class W> W *widget(Body *body, const char *name) {
    return WidgetFields::widget<W>(body, QLatin1String(name));
}

} // namespace

SettingsCommands::SettingsCommands(Body *body) : QObject(body), m_body(body) {}

void SettingsCommands::registerCommands() {
    Body *b = m_body;
    b->registerCommand(QUIT, [b](const CmdLine &cmd) { b->quitCmd(cmd); });
    registerSuggestionCommands();
}

void SettingsCommands::registerSuggestionCommands() {
    Body *b = m_body;
    // The references are normalised with the suggestion the batch sets.
    const auto suggestion = [b](EX_CMD_ID id, std::function<void(const CmdLine &)> effect) {
        b->registerAtOnce(id, [b, effect](const CmdLine &c) {
            effect(c);
            b->referenceNormalisationChanged();
        });
    };
    auto *use = widget<QCheckBox>(b, "UseSuggestElm");
    suggestion(SUGGEST_ELM, [b, use](const CmdLine &c) {
        use->setChecked(flagArg(c, 0));
        b->newElmSuggested();
    });
    auto *element = widget<QLineEdit>(b, "SuggestingElm");
    suggestion(SUGGESTING_ELM, [b, element](const CmdLine &c) {
        element->setText(c.arg(0));
        b->newElmSuggested();
    });
    auto *edge = widget<QComboBox>(b, "SuggestingEdge");
    suggestion(SUGGESTING_EDGE, [b, edge](const CmdLine &c) {
        const int index = intArg(c, 0);
        if (index >= 0 && index < edge->count())
            edge->setCurrentIndex(index);
        b->newElmSuggested();
    });
    const auto text = [suggestion, b](EX_CMD_ID id, const char *name) {
        auto *line = widget<QLineEdit>(b, name);
        suggestion(id, [line](const CmdLine &c) { line->setText(c.arg(0)); });
    };
    text(SUGGESTING_EDGE_EV, "SuggestingEeV");
    text(SUGGESTING_PRE_END_EV, "DPreE");
    text(SUGGESTING_POST_START_EV, "DPostS");
}
