#pragma once
// Fields of the windows remembered from one run to the next. They live in
// the configuration file the program reads at start, as one block of lines
// the program writes itself:
//
//   # >>> Lumenstack remembered settings: rewritten when the program closes
//   Remember Body/HWidth "2"
//   Remember SelectI1Files/Pattern "\d\d\d\d\.\d\deV"
//   # <<< Lumenstack remembered settings
//
// The configuration reader takes each line as an entry with the key
// "Remember", the field as value and field and text as rest, so nothing else
// is needed to read them back. The user's own lines above and below the
// block are kept as they are; only the block is replaced on every save.
// Texts are written in double quotes, with the few characters the line
// syntax gives a meaning (quote, apostrophe, "#", "%", line breaks)
// percent-encoded.
#include "app/ParamStore.h"

#include <QMap>
#include <QString>

namespace RememberedFields {

// Field (such as "Body/HWidth") to its text.
using Values = QMap<QString, QString>;

extern const QString Key;         // "Remember"
extern const QString BeginMarker; // first line of the block
extern const QString EndMarker;   // last line of the block

// The remembered values entered into the store; a later line wins.
Values fromStore(const ParamStore &store);

// The configuration text with its block replaced by one holding values, or
// with that block appended when it has none.
QString replaceBlock(const QString &configText, const Values &values);

// Writes values into the configuration file at path, created when missing,
// every other line kept. The file is replaced only when written whole. False,
// with the reason in *error, when it cannot be read or written.
bool save(const QString &path, const Values &values, QString *error);

QString encode(const QString &text);
QString decode(const QString &text);

} // namespace RememberedFields
