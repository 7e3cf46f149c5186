#pragma once
// The state of a window's input fields as text, by object name, so that the
// fields a user sets once (bin size, edge suggestion, energy setup, fit
// range) can be written to the configuration and put back at the next start.
// A line edit gives its text, a check box or radio button "1" or "0", a combo
// box its current text, a spin box its value.
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace WidgetFields {

// The widget named name inside root's own window (not inside another window
// that happens to be its child), of any kind, or nullptr.
QWidget *widget(const QWidget *root, const QString &name);
template <class W> W *widget(const QWidget *root, const QString &name) {
    return qobject_cast<W *>(widget(root, name));
}

// The field named name inside root's own window (not inside another window
// that happens to be its child), or nullptr.
QWidget *field(const QWidget *root, const QString &name);

// The state of each named field that exists; other names are left out.
QMap<QString, QString> capture(const QWidget *root, const QStringList &names);

// How a restored line edit is finished.
enum class Finish {
    Quietly, // only the text is set
    AsEdited // editingFinished follows, as when the user leaves the field
};

// Puts the values back in the order of names; names without a value or a
// field are skipped. A radio button is only ever switched on (its group
// switches the others off); a combo box takes the text when it lists it.
void apply(QWidget *root, const QStringList &names, const QMap<QString, QString> &values,
           Finish finish = Finish::Quietly);

} // namespace WidgetFields
