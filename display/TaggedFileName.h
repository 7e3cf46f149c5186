#pragma once
// File names derived from a name the user chose: numbered images, colour-bar
// pictures and numbered data files sit beside it as
//   folder/base-tag.suffix
// where base is the complete base name (everything before the last dot) and
// suffix the name's own suffix.
#include <QString>

// The tagged name of `name` with `tag`. When `name` has no suffix,
// `defaultSuffix` is used; when that is empty too, the result has no suffix
// (and no trailing dot).
QString taggedFileName(const QString &name, const QString &tag,
                       const QString &defaultSuffix = QString());

// The tagged name with the suffix replaced by `suffix` (e.g. "name.txt" with
// tag "2" and suffix "dat" gives "name-2.dat").
QString taggedFileNameWithSuffix(const QString &name, const QString &tag, const QString &suffix);

// `name` itself, with ".suffix" appended when it has no suffix.
QString fileNameWithDefaultSuffix(const QString &name, const QString &suffix);
