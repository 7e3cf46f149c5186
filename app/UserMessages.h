#pragma once
// The one route by which warnings and refusals reach the user. Anything that
// finds a problem with an input (a file skipped, an energy out of range, a
// series that does not match, an analysis that cannot run) posts it here; the
// main window shows every message in its status bar, in its "Messages" list
// with the time, and in the batch log while a batch runs. Each message also
// goes to the debug log, so headless runs keep it on stderr. Posting is safe
// from any thread: the hub's signal is queued to its receivers' threads.
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

struct UserMessage {
    // Error: something asked for failed (a file not written).
    enum class Level { Info, Warning, Refusal, Error };
    QDateTime time;
    Level level = Level::Warning;
    QString text;
};

class UserMessages : public QObject {
    Q_OBJECT
public:
    // The process-wide hub (created on first use, in the thread that uses it
    // first; the main window touches it at start-up).
    static UserMessages &hub();

    static void info(const QString &text) { hub().post(UserMessage::Level::Info, text); }
    static void warn(const QString &text) { hub().post(UserMessage::Level::Warning, text); }
    static void refuse(const QString &text) { hub().post(UserMessage::Level::Refusal, text); }
    static void error(const QString &text) { hub().post(UserMessage::Level::Error, text); }

    void post(UserMessage::Level level, const QString &text);
    // Every message posted so far, oldest first (at most MaxKept).
    QVector<UserMessage> messages() const;
    void clear();

    static constexpr int MaxKept = 10000;
    // "hh:mm:ss  text", with "Refused: " before refusals and "Err: " before
    // errors.
    static QString format(const UserMessage &m);
    // The batch log's tag of a level: "Info: ", "Warn: ", "Refused: ", "Err: ".
    static QString tag(UserMessage::Level level);

signals:
    void messagePosted(const UserMessage &message);

private:
    UserMessages() = default;
};

Q_DECLARE_METATYPE(UserMessage)
