#include "display/widgets/FieldHistory.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QUndoCommand>
#include <QUndoStack>

// One edit: the field and its value before and after. The first redo is the
// edit itself, already done by the user.
class FieldStep : public QUndoCommand {
public:
    FieldStep(FieldHistory *history, QLineEdit *field, const QString &before, const QString &after)
        : m_history(history), m_field(field), m_before(before), m_after(after) {
        setText(field->objectName());
    }
    FieldStep(FieldHistory *history, QAbstractButton *box, bool after)
        : m_history(history), m_box(box), m_checked(after) {
        setText(box->objectName());
    }
    void undo() override { apply(false); }
    void redo() override {
        if (m_done)
            apply(true);
        m_done = true;
    }

private:
    void apply(bool after) {
        if (m_field)
            m_history->setText(m_field, after ? m_after : m_before);
        else if (m_box)
            m_history->setChecked(m_box, after ? m_checked : !m_checked);
    }

    FieldHistory *m_history;
    QPointer<QLineEdit> m_field;
    QPointer<QAbstractButton> m_box;
    QString m_before, m_after;
    bool m_checked = false;
    bool m_done = false;
};

FieldHistory::FieldHistory(QObject *parent) : QObject(parent), m_stack(new QUndoStack(this)) {
    m_undo = m_stack->createUndoAction(this, tr("Undo"));
    m_undo->setObjectName(QStringLiteral("Undo"));
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo = m_stack->createRedoAction(this, tr("Redo"));
    m_redo->setObjectName(QStringLiteral("Redo"));
    m_redo->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_Y), QKeySequence::Redo});
    // The fields live in several windows (the main window, the Analyzer).
    for (QAction *a : {m_undo, m_redo})
        a->setShortcutContext(Qt::ApplicationShortcut);
}

FieldHistory::~FieldHistory() = default;

void FieldHistory::watch(QLineEdit *field) {
    if (!field || field->isReadOnly() || m_committed.contains(field))
        return;
    m_committed.insert(field, field->text());
    connect(field, &QLineEdit::textEdited, this, [this, field] { m_typedIn.insert(field); });
    connect(field, &QLineEdit::editingFinished, this, [this, field] { editFinished(field); });
    // Set by the program, not typed: the start of the next step, not a step.
    connect(field, &QLineEdit::textChanged, this, [this, field](const QString &text) {
        if (!m_applying && !m_typedIn.contains(field))
            m_committed[field] = text;
    });
    connect(field, &QObject::destroyed, this, [this, field] {
        m_committed.remove(field);
        m_typedIn.remove(field);
    });
}

void FieldHistory::watch(QAbstractButton *box) {
    if (!box || !box->isCheckable())
        return;
    connect(box, &QAbstractButton::clicked, this, [this, box](bool on) {
        if (!m_applying)
            m_stack->push(new FieldStep(this, box, on));
    });
}

void FieldHistory::watchChildren(QObject *root) {
    for (QLineEdit *field : root->findChildren<QLineEdit *>())
        watch(field);
    for (QCheckBox *box : root->findChildren<QCheckBox *>())
        watch(box);
}

void FieldHistory::editFinished(QLineEdit *field) {
    const QString before = m_committed.value(field);
    if (m_applying || !m_typedIn.remove(field) || field->text() == before)
        return;
    m_committed[field] = field->text();
    m_stack->push(new FieldStep(this, field, before, field->text()));
}

void FieldHistory::setText(QLineEdit *field, const QString &text) {
    m_applying = true;
    field->setText(text);
    m_committed[field] = text;
    emit field->editingFinished();
    m_applying = false;
}

void FieldHistory::setChecked(QAbstractButton *box, bool on) {
    m_applying = true;
    if (box->isChecked() != on)
        box->click(); // as the user's click, so its handlers run
    m_applying = false;
}
