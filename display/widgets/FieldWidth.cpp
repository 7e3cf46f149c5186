#include "display/widgets/FieldWidth.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace FieldWidth {

namespace {

const char *const DescriptionProperty = "fieldDescription";

void showValue(QLineEdit *field, const QString &text) {
    const QString description = field->property(DescriptionProperty).toString();
    if (description.isEmpty())
        field->setToolTip(text);
    else
        field->setToolTip(text.isEmpty() ? description : description + '\n' + text);
}

} // namespace

void fit(QLineEdit *field, const QString &typical) {
    // The text width plus the frame and margins the style draws around it.
    QStyleOptionFrame option;
    option.initFrom(field);
    const QSize text(field->fontMetrics().horizontalAdvance(typical) + 8,
                     field->fontMetrics().height());
    const int width =
        field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, field).width();
    field->setMinimumWidth(width);
    if (field->maximumWidth() < width)
        field->setMaximumWidth(width);
    if (!field->property(DescriptionProperty).isValid())
        field->setProperty(DescriptionProperty, field->toolTip());
    showValue(field, field->text());
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [field](const QString &text) { showValue(field, text); });
}

} // namespace FieldWidth
