#include "mainwindow/commands/SpectrumCommands.h"

#include "session/SessionDocument.h"

void SpectrumCommands::add(CommandSet &set, SessionDocument &doc,
                           std::function<SuggestElm()> suggestion) {
    set.addFileCommand(LOAD_BG, [&doc, suggestion](const QString &file) {
        return doc.loadBackground(file, suggestion ? suggestion() : SuggestElm());
    });
    set.add(CLEAR_BG, [&doc](const CmdLine &) {
        doc.clearBackground();
        return QString();
    });
    const struct {
        Series series;
        EX_CMD_ID load, clear;
    } totals[] = {{Series::I1, LOAD_TOTAL_I0_OF_I1, CLEAR_TOTAL_I0_OF_I1},
                  {Series::I0, LOAD_TOTAL_I0_OF_I0, CLEAR_TOTAL_I0_OF_I0}};
    for (const auto &t : totals) {
        const Series s = t.series;
        set.addFileCommand(t.load,
                           [&doc, s](const QString &file) { return doc.loadTotalI0(s, file); });
        set.add(t.clear, [&doc, s](const CmdLine &) {
            doc.clearTotalI0(s);
            return QString();
        });
    }
}
