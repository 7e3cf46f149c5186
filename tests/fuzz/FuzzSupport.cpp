#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>

namespace FuzzSupport {

// The application is never destroyed: it would go down after Qt's own
// process-lifetime objects at exit, which crashes.
void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    // Reader failures are the normal outcome here; the debug log would only
    // slow the run down.
    qputenv("LUMENSTACK_QUIET_LOG", "1");
    static int argc = 1;
    static char name[] = "lumenstack-fuzz";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

QString writeInput(const uint8_t *data, size_t size, const char *suffix) {
    const QString path = QDir::tempPath() + QStringLiteral("/lumenstack-fuzz-%1.%2")
                                                .arg(QCoreApplication::applicationPid())
                                                .arg(QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort(); // the run cannot go on without its scratch file
    if (size > 0 && file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    return path;
}

} // namespace FuzzSupport

// Qt keeps a few process-lifetime allocations; leak reports would drown the
// findings, so only memory errors count.
extern "C" const char *__asan_default_options() {
    return "detect_leaks=0";
}
