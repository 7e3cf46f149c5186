#include "imageio/ImageMemory.h"

#include "app/AppSettings.h"
#include "app/DebugLog.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <sys/resource.h>
#include <unistd.h>

namespace ImageMemory {

const char *const BudgetKey = "ImageMemoryBudgetMB";

namespace {

constexpr qint64 MB = qint64(1) << 20;
std::atomic<qint64> budgetOverrideMB{0};

qint64 pages(int name) {
    const long n = sysconf(name);
    const long size = sysconf(_SC_PAGESIZE);
    return n > 0 && size > 0 ? qint64(n) * size : 0;
}

// "MemAvailable:   23133456 kB" of the kernel's memory report.
qint64 memAvailableFromProc() {
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (int i = 0; i < 64 && !f.atEnd(); ++i) {
        const QByteArray line = f.readLine(256).simplified();
        if (line.startsWith("MemAvailable:"))
            return line.split(' ').value(1).toLongLong() * 1024;
    }
    return 0;
}

qint64 inMB(qint64 bytes) {
    return (bytes + MB - 1) / MB;
}

} // namespace

qint64 physicalBytes() {
    return pages(_SC_PHYS_PAGES);
}

// What an address-space limit (ulimit -v) leaves this process, or 0 when
// there is none: past it every allocation fails, however much memory is free.
qint64 addressSpaceLeft() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0;
    QFile f(QStringLiteral("/proc/self/statm"));
    const qint64 used =
        f.open(QIODevice::ReadOnly)
            ? f.readLine(256).split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE)
            : 0;
    return std::max<qint64>(qint64(limit.rlim_cur) - used, 1);
}

qint64 availableBytes() {
    const qint64 proc = memAvailableFromProc();
    const qint64 free = proc > 0 ? proc : pages(_SC_AVPHYS_PAGES);
    const qint64 left = addressSpaceLeft();
    return left > 0 && (free <= 0 || left < free) ? left : free;
}

qint64 defaultBudgetBytes() {
    return std::max<qint64>(physicalBytes() / 4, 256 * MB);
}

qint64 budgetBytes() {
    const qint64 set = budgetOverrideMB.load();
    if (set > 0)
        return set * MB;
    bool ok = false;
    const qint64 configured = AppSettings::params().valueAnyCase(BudgetKey).toLongLong(&ok);
    if (ok && configured > 0)
        return std::min<qint64>(configured, qint64(1) << 40) * MB;
    return defaultBudgetBytes();
}

void setBudgetMB(qint64 megabytes) {
    budgetOverrideMB.store(std::max<qint64>(megabytes, 0));
}

QString overBudget(qint64 decodedBytes) {
    const qint64 budget = budgetBytes();
    if (decodedBytes <= budget)
        return QString();
    return QString("Image needs %1 MB, more than the image memory budget of %2 MB "
                   "(raise it with the configuration line \"%3 <MB>\")")
        .arg(inMB(decodedBytes))
        .arg(budget / MB)
        .arg(QLatin1String(BudgetKey));
}

bool fitsBudget(qint64 decodedBytes, const QString &fileName) {
    const QString refusal = overBudget(decodedBytes);
    if (refusal.isEmpty())
        return true;
    DebugLog::write(refusal + " : " + fileName);
    return false;
}

QString seriesWarning(qint64 imageBytes, qint64 count, qint64 availableBytes,
                      const QString &firstFile) {
    if (imageBytes <= 0 || count <= 0 || availableBytes <= 0 ||
        imageBytes <= availableBytes / count)
        return QString();
    return QString("%1 images like %2 need about %3 MB, more than the %4 MB of memory available")
        .arg(count)
        .arg(firstFile)
        .arg(double(imageBytes) * double(count) / double(MB), 0, 'f', 0)
        .arg(availableBytes / MB);
}

} // namespace ImageMemory
