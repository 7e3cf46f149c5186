#pragma once
// Chemical symbols by atomic number: Z = 0 is " " (one blank), Z = 1..109 the
// standard symbols, Z = 110 "D" (deuterium in the last slot).
#include <QString>

namespace ElementTable {

constexpr int entryCount = 111;

// Symbol of Z, or an empty string outside 0..110.
QString symbolOf(int Z);

} // namespace ElementTable

// Z of the first entry whose symbol equals the text exactly (case-sensitive),
// -1 when none does.
int atomicNumberOf(const QString &symbol);
