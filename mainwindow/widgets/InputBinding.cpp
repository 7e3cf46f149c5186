#include "mainwindow/widgets/InputBinding.h"

#include "analysis/widgets/Analyzer.h"
#include "display/widgets/ImgDispA.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/WidgetFields.h"
#include "session/SessionInputs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

// In the window's own window: a tool window that is its child may have
// widgets of the same name (the image processor's own display).
template <class W> W *field(const QWidget *root, const char *name) {
    W *w = WidgetFields::widget<W>(root, QLatin1String(name));
    Q_ASSERT(w);
    return w;
}

QString text(const QWidget *root, const char *name) {
    return field<QLineEdit>(root, name)->text();
}

bool checked(const QWidget *root, const char *name) {
    return field<QCheckBox>(root, name)->isChecked();
}

} // namespace

InputBinding::InputBinding(QWidget *window, SessionInputs *inputs)
    : QObject(window), m_window(window), m_inputs(inputs) {}

void InputBinding::watchWindowFields() {
    QWidget *w = m_window;
    for (const char *name : {"HWidth", "VWidth", "DarkExpTime"})
        connect(field<QLineEdit>(w, name), &QLineEdit::textChanged, this,
                &InputBinding::takeConditions);
    for (const char *name : {"UseI0", "FluoType"})
        connect(field<QCheckBox>(w, name), &QCheckBox::toggled, this,
                &InputBinding::takeConditions);
    for (const char *panel : {"SelectI1Files", "SelectI0Files"})
        connect(field<QLineEdit>(field<SelectDataFiles>(w, panel), "ExpTime"),
                &QLineEdit::textChanged, this, &InputBinding::takeConditions);
    for (const char *name : {"SuggestingElm", "SuggestingEeV", "DPreE", "DPostS", "ThJumpSigma"})
        connect(field<QLineEdit>(w, name), &QLineEdit::textChanged, this,
                &InputBinding::takeSuggestion);
    connect(field<QCheckBox>(w, "UseSuggestElm"), &QCheckBox::toggled, this,
            &InputBinding::takeSuggestion);
    connect(field<QComboBox>(w, "SuggestingEdge"),
            QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &InputBinding::takeSuggestion);
    connect(field<ImgDispA>(w, "dispA"), &ImgDispA::selectedAreaChanged, this,
            &InputBinding::takeArea);
    takeConditions();
    takeSuggestion();
    takeArea();
}

void InputBinding::watchAnalyzer(const Analyzer *analyzer) {
    m_analyzer = analyzer;
    connect(analyzer, &Analyzer::inputsChanged, this, [this] {
        takeAnalysis();
        takeSuggestion(); // it carries the fixed edge
    });
    connect(analyzer, &Analyzer::referenceInputsChanged, this, &InputBinding::takeReferences);
    takeAnalysis();
    takeSuggestion();
    takeReferences();
}

void InputBinding::takeConditions() {
    const QWidget *w = m_window;
    MuTConditions c;
    c.hx = text(w, "HWidth").toInt();
    c.hy = text(w, "VWidth").toInt();
    c.useI0 = checked(w, "UseI0");
    c.fluo = checked(w, "FluoType");
    c.darkExpMs = text(w, "DarkExpTime").toDouble();
    c.i1ExpMs = field<SelectDataFiles>(w, "SelectI1Files")->expTimeMS();
    c.i0ExpMs = field<SelectDataFiles>(w, "SelectI0Files")->expTimeMS();
    m_inputs->setConditions(c);
}

// The fit's fixed edge is part of the normalisation of every spectrum the
// window builds.
void InputBinding::takeSuggestion() {
    const QWidget *w = m_window;
    const SuggestElm s = SuggestElm::fromTexts(
        checked(w, "UseSuggestElm"), text(w, "SuggestingElm"),
        field<QComboBox>(w, "SuggestingEdge")->currentIndex(), text(w, "SuggestingEeV"),
        text(w, "DPreE"), text(w, "DPostS"), text(w, "ThJumpSigma"));
    m_inputs->setSuggestion(m_analyzer ? m_analyzer->withFixedEdge(s) : s);
}

void InputBinding::takeArea() {
    const ImgDispA *view = field<ImgDispA>(m_window, "dispA");
    if (view->hasSelection())
        m_inputs->setArea(view->selectedArea());
    else
        m_inputs->clearArea();
}

void InputBinding::takeAnalysis() {
    m_inputs->setAnalysis(m_analyzer->inputs());
}

void InputBinding::takeReferences() {
    m_inputs->setReferences(m_analyzer->referenceInputs());
}
