#include "display/widgets/FieldWidth.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace FieldWidth {

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
    // A field that says what it is keeps that tool tip word for word.
    if (!field->toolTip().isEmpty())
        return;
    field->setToolTip(field->text());
    QObject::connect(field, &QLineEdit::textChanged, field, &QLineEdit::setToolTip);
}

} // namespace FieldWidth
