#include "display/StyleSheetColor.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

static int scaleComponent(const QString &digits, double factor) {
    const double v = digits.toDouble() * factor;
    if (!(v == v))
        return 0;
    return int(std::clamp(std::round(v), 0.0, 255.0));
}

QString StyleSheetColor::scaled(const QString &sheet, double factor) {
    static const QRegularExpression re(
        QStringLiteral("background-color:\\s*rgb\\(\\s*([0-9.]+)\\s*,\\s*([0-9.]+)\\s*,"
                       "\\s*([0-9.]+)\\s*\\)\\s*;?"));
    const QRegularExpressionMatch m = re.match(sheet);
    if (!m.hasMatch())
        return sheet;
    const QString colour = QStringLiteral("background-color: rgb(%1,%2,%3);")
                               .arg(scaleComponent(m.captured(1), factor))
                               .arg(scaleComponent(m.captured(2), factor))
                               .arg(scaleComponent(m.captured(3), factor));
    QString out = sheet;
    out.replace(m.capturedStart(), m.capturedLength(), colour);
    return out;
}
