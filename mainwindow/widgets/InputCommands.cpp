#include "mainwindow/widgets/InputCommands.h"

#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/LCFReference.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/WidgetFields.h"
#include "mainwindow/commands/DarkCommands.h"
#include "mainwindow/commands/ImageShiftCommands.h"
#include "mainwindow/commands/PointCommands.h"
#include "mainwindow/commands/ShiftMapCommands.h"
#include "mainwindow/commands/SpectrumCommands.h"
#include "mainwindow/widgets/Body.h"

#include <QCheckBox>
#include <cmath>
#include <functional>

const char *const InputCommands::DarkExposureField = "DarkExpTime";
const char *const InputCommands::JumpThresholdField = "ThJumpSigma";
const char *const InputCommands::LcfRangeStartField = "LCFRange1";
const char *const InputCommands::LcfRangeEndField = "LCFRange2";

namespace {

bool numberArg(const CmdLine &cmd, int k, double *v) {
    bool ok = false;
    *v = cmd.arg(k).toDouble(&ok);
    return ok && std::isfinite(*v);
}

bool flagArg(const CmdLine &cmd, bool *on) {
    bool ok = false;
    const int v = cmd.arg(0).toInt(&ok);
    *on = v != 0;
    return ok;
}

// A field as the user leaves it: its text, then editingFinished.
void setField(QWidget *root, const QString &name, const QString &text) {
    WidgetFields::apply(root, {name}, {{name, text}}, WidgetFields::Finish::AsEdited);
}

template <class W> W *child(const QObject *root, const char *name) {
    return root->findChild<W *>(QLatin1String(name));
}

} // namespace

InputCommands::InputCommands(Body *body) : QObject(body), m_body(body) {}

void InputCommands::registerDocumentCommands() {
    Body *b = m_body;
    SessionDocument &doc = b->document();
    CommandSet set;
    const auto *i1 = child<SelectDataFiles>(b, "SelectI1Files");
    DarkCommands::add(set, doc, [i1] { return i1->stackLayout(); });
    SpectrumCommands::add(set, doc, [b] { return b->suggestElm(); });
    ShiftMapCommands::add(set, doc, b->shiftMapCalibration());
    PointCommands::add(set, doc);
    ImageShiftCommands::add(set, doc, b->provenanceWriter());
    for (EX_CMD_ID id : set.ids())
        b->registerAtOnce(id, [handler = set.handler(id)](const CmdLine &cmd) {
            const QString why = handler(cmd);
            if (!why.isEmpty())
                UserMessages::refuse(why);
        });
}

void InputCommands::registerCommands() {
    registerDocumentCommands();
    Body *b = m_body;
    // Each returns "" when done, else what is wrong with the line.
    const auto add = [b](EX_CMD_ID id, std::function<QString(const CmdLine &)> effect) {
        b->registerAtOnce(id, [id, effect](const CmdLine &cmd) {
            const QString why = effect(cmd);
            if (!why.isEmpty())
                UserMessages::refuse(CommandSet::refusal(id, why));
        });
    };

    add(SET_DARK_EXP_TIME, [b](const CmdLine &c) {
        double ms = 0;
        if (!numberArg(c, 0, &ms) || ms <= 0)
            return tr("the exposure must be a number of ms above 0");
        setField(b, DarkExposureField, c.arg(0));
        return QString();
    });
    add(SUGGESTING_JUMP_TH, [b](const CmdLine &c) {
        double sigma = 0;
        if (!numberArg(c, 0, &sigma) || sigma < 0)
            return tr("the threshold must be a number of standard deviations, 0 or more");
        setField(b, JumpThresholdField, c.arg(0));
        return QString();
    });

    Analyzer *a = b->analyzer();
    add(ANALYZER_SET_LCF_OLD, [a](const CmdLine &c) {
        bool on = false;
        auto *box = child<QCheckBox>(a, "OldLCF");
        if (!flagArg(c, &on) || !box)
            return tr("the flag must be 0 or 1");
        box->setChecked(on);
        return QString();
    });
    add(ANALYZER_SET_LCF_RANGE, [a](const CmdLine &c) {
        double s = 0, e = 0;
        if (!numberArg(c, 0, &s) || !numberArg(c, 1, &e) || !(s < e))
            return tr("START END are two energies in eV, the start below the end");
        setField(a, LcfRangeStartField, c.arg(0));
        setField(a, LcfRangeEndField, c.arg(1));
        return QString();
    });
    add(ANALYZER_CLEAR_LCF_STD, [a](const CmdLine &c) {
        bool ok = false;
        const int row = c.arg(0).toInt(&ok);
        const QVector<LCFReference *> &rows = a->references();
        if (!ok || row < -1 || row >= rows.size())
            return tr("ROW must be a reference row from 0 to %1, or -1 for every row")
                .arg(rows.size() - 1);
        for (LCFReference *r : rows)
            if ((row < 0 || r->rowIndex() == row) && !r->fileSelect()->fileName().isEmpty())
                r->fileSelect()->clear();
        return QString();
    });

    add(ENG_SAME_AS_I1_I0, [b](const CmdLine &c) {
        bool on = false;
        auto *i0 = child<SelectDataFiles>(b, "SelectI0Files");
        if (!flagArg(c, &on) || !i0)
            return tr("the flag must be 0 or 1");
        i0->eofSetup()->setFollowsLeader(on);
        return QString();
    });
}
