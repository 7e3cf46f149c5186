#include "app/UserMessages.h"

#include "app/DebugLog.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

struct Store {
    QMutex mutex;
    QVector<UserMessage> kept;
};

Store &store() {
    static Store s;
    return s;
}

} // namespace

UserMessages &UserMessages::hub() {
    static UserMessages *instance = [] {
        qRegisterMetaType<UserMessage>("UserMessage");
        return new UserMessages;
    }();
    return *instance;
}

void UserMessages::post(UserMessage::Level level, const QString &text) {
    UserMessage m{QDateTime::currentDateTime(), level, text};
    DebugLog::write(text);
    {
        Store &s = store();
        QMutexLocker lock(&s.mutex);
        if (s.kept.size() >= MaxKept)
            s.kept.remove(0, s.kept.size() - MaxKept + 1);
        s.kept.append(m);
    }
    emit messagePosted(m);
}

QVector<UserMessage> UserMessages::messages() const {
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.kept;
}

void UserMessages::clear() {
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.kept.clear();
}

QString UserMessages::tag(UserMessage::Level level) {
    switch (level) {
    case UserMessage::Level::Info:
        return QStringLiteral("Info: ");
    case UserMessage::Level::Warning:
        return QStringLiteral("Warn: ");
    case UserMessage::Level::Refusal:
        return QStringLiteral("Refused: ");
    case UserMessage::Level::Error:
        break;
    }
    return QStringLiteral("Err: ");
}

QString UserMessages::format(const UserMessage &m) {
    const bool tagged =
        m.level == UserMessage::Level::Refusal || m.level == UserMessage::Level::Error;
    const QString prefix = tagged ? tag(m.level) : QString();
    return m.time.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("  ") + prefix + m.text;
}
