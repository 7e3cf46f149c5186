#pragma once
// Undo and redo of edits to fields. Every edit finished in a watched line
// edit and every click of a watched check box is one step. Undoing a step
// puts the old value back and finishes the edit again, so whatever the field
// drives (a re-analysis, a new display range) follows as if typed.
//
// A field changed by the program (a batch command, a loaded file) is not a
// step: its new value simply becomes the one the next edit starts from.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class QAbstractButton;
class QAction;
class QLineEdit;
class QUndoStack;

class FieldHistory : public QObject {
    Q_OBJECT
public:
    explicit FieldHistory(QObject *parent = nullptr);
    ~FieldHistory() override;

    // Watches the field (idempotent); read-only fields are left alone.
    void watch(QLineEdit *field);
    void watch(QAbstractButton *checkBox);
    // Every editable line edit and check box under `root`.
    void watchChildren(QObject *root);

    // Menu actions with their shortcuts (Ctrl+Z, Ctrl+Y), enabled while
    // there is a step to undo or redo.
    QAction *undoAction() const { return m_undo; }
    QAction *redoAction() const { return m_redo; }
    QUndoStack *stack() const { return m_stack; }

private:
    friend class FieldStep;
    void setText(QLineEdit *field, const QString &text);
    void setChecked(QAbstractButton *box, bool on);
    void editFinished(QLineEdit *field);

    QUndoStack *m_stack;
    QAction *m_undo;
    QAction *m_redo;
    QHash<QLineEdit *, QString> m_committed; // the value the next step starts from
    QSet<QLineEdit *> m_typedIn;             // typed into since the last step
    bool m_applying = false;                 // an undo or redo is setting a field
};
