#include "app/RememberedFields.h"

#include "app/OutputFile.h"
#include "app/TextFileLimits.h"
#include "app/TextLine.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace RememberedFields {

const QString Key = QStringLiteral("Remember");
const QString BeginMarker =
    QStringLiteral("# >>> Lumenstack remembered settings: rewritten when the program closes");
const QString EndMarker = QStringLiteral("# <<< Lumenstack remembered settings");

namespace {

// A configuration file is a few kilobytes; one far larger is not rewritten.
constexpr qint64 MaxConfigBytes = 16 << 20;

// The marker lines are matched by their start, so that a later wording of
// the rest of the first line still finds an older block.
const QString BeginTag = QStringLiteral("# >>> Lumenstack remembered settings");

bool isBegin(const QString &line) {
    return line.trimmed().startsWith(BeginTag);
}
bool isEnd(const QString &line) {
    return line.trimmed().startsWith(EndMarker);
}
bool isEntry(const QString &line) {
    return line.trimmed().startsWith(Key + ' ');
}

// lineEnd is "\r" in a file written with CR LF line breaks.
QStringList blockLines(const Values &values, const QString &lineEnd) {
    QStringList lines{BeginMarker + lineEnd};
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        lines << QString("%1 %2 \"%3\"%4").arg(Key, it.key(), encode(it.value()), lineEnd);
    lines << EndMarker + lineEnd;
    return lines;
}

// The lines [first, last] of the block, or first = -1 without one. A block
// whose end line was lost ends after its last entry line.
void findBlock(const QStringList &lines, int *first, int *last) {
    *first = -1;
    for (int i = 0; i < lines.size() && *first < 0; ++i)
        if (isBegin(lines[i]))
            *first = i;
    if (*first < 0)
        return;
    *last = *first;
    for (int i = *first + 1; i < lines.size(); ++i) {
        if (isEnd(lines[i])) {
            *last = i;
            return;
        }
        if (!isEntry(lines[i]))
            return;
        *last = i;
    }
}

bool readWhole(const QString &path, QString *text, QString *error) {
    QFile f(path);
    if (TextFileLimits::refuseSpecialFile(path) || !f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the file");
        return false;
    }
    if (f.size() > MaxConfigBytes) {
        *error = QStringLiteral("the file is too large to be a configuration");
        return false;
    }
    *text = QString::fromUtf8(f.read(MaxConfigBytes));
    return true;
}

} // namespace

Values fromStore(const ParamStore &store) {
    Values values;
    for (const QString &rest : store.allRests(Key)) {
        QString afterField;
        const QString field = TextLine::nextItem(rest, &afterField);
        QString afterText;
        const QString text = TextLine::nextItem(afterField, &afterText);
        if (!field.isEmpty())
            values.insert(field, decode(text));
    }
    return values;
}

QString replaceBlock(const QString &configText, const Values &values) {
    QStringList lines = configText.isEmpty() ? QStringList() : configText.split('\n');
    if (configText.endsWith('\n'))
        lines.removeLast();
    const QString lineEnd = configText.contains("\r\n") ? QStringLiteral("\r") : QString();
    int first = -1;
    int last = -1;
    findBlock(lines, &first, &last);
    if (first < 0) {
        if (!lines.isEmpty())
            lines << lineEnd; // a blank line before the block
        first = last = int(lines.size());
        lines << QString(); // a stand-in the block replaces
    }
    lines = lines.mid(0, first) + blockLines(values, lineEnd) + lines.mid(last + 1);
    return lines.join('\n') + '\n';
}

bool save(const QString &path, const Values &values, QString *error) {
    QString text;
    if (QFileInfo::exists(path) && !readWhole(path, &text, error))
        return false;
    const QByteArray bytes = replaceBlock(text, values).toUtf8();
    OutputFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.device()->write(bytes) != bytes.size() ||
        !out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

// Bytes beyond ASCII are encoded too: the reader takes the file in the
// locale's encoding, which need not be UTF-8.
QString encode(const QString &text) {
    QString out;
    for (const char c : text.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        const bool special = b == '%' || b == '"' || b == '\'' || b == '#' || b < 0x20 || b >= 0x7F;
        out += special ? QString("%%1").arg(b, 2, 16, QChar('0')).toUpper() : QString(QChar(b));
    }
    return out;
}

QString decode(const QString &text) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

} // namespace RememberedFields
