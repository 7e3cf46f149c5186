#include "imageio/widgets/WidgetFields.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

namespace WidgetFields {

namespace {

QString captureOne(const QWidget *w) {
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *c = qobject_cast<const QComboBox *>(w))
        return c->currentText();
    if (auto *s = qobject_cast<const QAbstractSpinBox *>(w))
        return s->text();
    return QString();
}

bool isField(const QWidget *w) {
    return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractButton *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w);
}

void applyOne(QWidget *w, const QString &value, Finish finish) {
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->setText(value);
        if (finish == Finish::AsEdited)
            emit e->editingFinished();
    } else if (auto *r = qobject_cast<QRadioButton *>(w)) {
        if (value == QLatin1String("1"))
            r->setChecked(true);
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (b->isCheckable())
            b->setChecked(value == QLatin1String("1"));
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        const int i = c->findText(value);
        if (i >= 0)
            c->setCurrentIndex(i);
    } else if (auto *s = qobject_cast<QSpinBox *>(w)) {
        s->setValue(value.toInt());
    } else if (auto *d = qobject_cast<QDoubleSpinBox *>(w)) {
        d->setValue(value.toDouble());
    }
}

} // namespace

QWidget *widget(const QWidget *root, const QString &name) {
    const QWidget *window = root->window();
    for (QWidget *w : root->findChildren<QWidget *>(name))
        if (w->window() == window)
            return w;
    return nullptr;
}

QWidget *field(const QWidget *root, const QString &name) {
    const QWidget *window = root->window();
    for (QWidget *w : root->findChildren<QWidget *>(name))
        if (w->window() == window && isField(w))
            return w;
    return nullptr;
}

QMap<QString, QString> capture(const QWidget *root, const QStringList &names) {
    QMap<QString, QString> values;
    for (const QString &name : names)
        if (const QWidget *w = field(root, name))
            values.insert(name, captureOne(w));
    return values;
}

void apply(QWidget *root, const QStringList &names, const QMap<QString, QString> &values,
           Finish finish) {
    for (const QString &name : names) {
        const auto v = values.constFind(name);
        QWidget *w = v == values.constEnd() ? nullptr : field(root, name);
        if (w)
            applyOne(w, *v, finish);
    }
}

} // namespace WidgetFields
