#pragma once
// A minimal JSON writer for the tool's one-object outputs. Doubles print with 17
// significant digits so that they read back bit for bit; NaN and infinities,
// which JSON cannot hold, print as the strings "nan", "inf" and "-inf".
#include <QString>
#include <QStringList>

class Json {
public:
    static QString number(double v);
    static QString string(const QString &s);
    static QString boolean(bool b) { return b ? "true" : "false"; }
    static QString null() { return "null"; }
    // [a, b, ...] from already formatted values.
    static QString array(const QStringList &values);

    // Builds {"key": value, ...} in insertion order.
    Json &add(const QString &key, const QString &formattedValue);
    Json &add(const QString &key, double v) { return add(key, number(v)); }
    Json &add(const QString &key, int v) { return add(key, QString::number(v)); }
    Json &add(const QString &key, qint64 v) { return add(key, QString::number(v)); }
    Json &add(const QString &key, bool v) { return add(key, boolean(v)); }
    Json &addString(const QString &key, const QString &s) { return add(key, string(s)); }
    QString text() const;

private:
    QStringList m_members;
};
