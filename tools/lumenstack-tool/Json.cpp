#include "Json.h"

#include <cmath>

QString Json::number(double v) {
    if (std::isnan(v))
        return "\"nan\"";
    if (std::isinf(v))
        return v > 0 ? "\"inf\"" : "\"-inf\"";
    return QString::number(v, 'g', 17);
}

QString Json::string(const QString &s) {
    QString out = "\"";
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c.unicode() < 0x20)
                out += QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
            else
                out += c;
        }
    }
    return out + "\"";
}

QString Json::array(const QStringList &values) {
    return "[" + values.join(", ") + "]";
}

Json &Json::add(const QString &key, const QString &formattedValue) {
    m_members << string(key) + ": " + formattedValue;
    return *this;
}

QString Json::text() const {
    return "{" + m_members.join(", ") + "}";
}
