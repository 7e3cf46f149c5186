#pragma once
// Small helpers shared by the test executables.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace TestSupport {

// Writes bytes to dir/name and returns the full path.
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);

QByteArray readFile(const QString &path);

// Runs the event loop until pred() is true or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 10000);

} // namespace TestSupport
