#pragma once
// The "Messages" window: every warning and refusal of the session with the
// time it was said, newest at the bottom, so a message that left the status
// bar can still be read.
#include <QWidget>

class QListWidget;
class UserMessages;
struct UserMessage;

class MessagesWindow : public QWidget {
    Q_OBJECT
public:
    // Lists what the hub already holds and follows it from then on.
    explicit MessagesWindow(UserMessages &hub, QWidget *parent = nullptr);

    int count() const;
    QString textAt(int row) const;

private:
    void append(const UserMessage &message);

    QListWidget *m_list = nullptr;
    UserMessages &m_hub;
};
