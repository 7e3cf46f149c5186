#pragma once
// How much memory images may take. One image whose decoded samples exceed the
// budget is refused (a small compressed file can claim gigabytes of pixels);
// a series whose images together will not fit in the memory available is
// loaded, with a warning first.
//
// The budget is the configuration key "ImageMemoryBudgetMB" (any case), by
// default a quarter of the physical memory (at least 256 MB).
#include <QString>

namespace ImageMemory {

extern const char *const BudgetKey; // "ImageMemoryBudgetMB"

qint64 physicalBytes();
// Memory the system can give without swapping (MemAvailable), else the free
// physical memory; less when an address-space limit leaves less.
qint64 availableBytes();
qint64 defaultBudgetBytes();
// The budget in force: the one set for this process, else the configuration
// key, else the default.
qint64 budgetBytes();
// Sets the budget for this process (tools and tests); 0 returns to the
// configuration key or the default.
void setBudgetMB(qint64 megabytes);

// True when an image of that many decoded bytes fits the budget; otherwise
// writes the refusal, naming the budget and how to raise it, to the debug log.
bool fitsBudget(qint64 decodedBytes, const QString &fileName);

// The refusal of an image of that many decoded bytes, naming the budget and
// how to raise it; empty when it fits.
QString overBudget(qint64 decodedBytes);

// The warning for a series of count images of imageBytes each when they will
// not fit in the available memory, else an empty text.
QString seriesWarning(qint64 imageBytes, qint64 count, qint64 availableBytes,
                      const QString &firstFile);

} // namespace ImageMemory
