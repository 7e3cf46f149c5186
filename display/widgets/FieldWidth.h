#pragma once
// Line edits wide enough to read what they typically hold (a file name, an
// amount with six digits, an energy), and the full value in the tool tip for
// whatever still does not fit. A field that has a tool tip of its own (what
// the field means) keeps it unchanged.
class QLineEdit;
class QString;

namespace FieldWidth {

void fit(QLineEdit *field, const QString &typical);

} // namespace FieldWidth
