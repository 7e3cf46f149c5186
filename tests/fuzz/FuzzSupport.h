#pragma once
// Shared pieces of the fuzz targets. Every reader of the program takes a file
// name, so each input is written to one scratch file per process (reused from
// input to input) and the reader is pointed at it.
#include <QString>

#include <cstddef>
#include <cstdint>

namespace FuzzSupport {

// A QCoreApplication for queued signals and the quiet debug log; made once.
void ensureApplication();

// Writes the input to this process's scratch file with the given suffix and
// returns its name.
QString writeInput(const uint8_t *data, size_t size, const char *suffix);

} // namespace FuzzSupport
