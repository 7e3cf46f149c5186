#include "mainwindow/widgets/MessagesWindow.h"

#include "app/UserMessages.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

MessagesWindow::MessagesWindow(UserMessages &hub, QWidget *parent) : QWidget(parent), m_hub(hub) {
    setObjectName(QStringLiteral("MessagesWindow"));
    setWindowTitle(tr("Messages"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("MessageList"));
    m_list->setWordWrap(true);
    auto *clear = new QPushButton(tr("Clear"), this);
    clear->setObjectName(QStringLiteral("ClearMessages"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(720, 320);
    for (const UserMessage &m : hub.messages())
        append(m);
    connect(&hub, &UserMessages::messagePosted, this, &MessagesWindow::append);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_hub.clear();
        m_list->clear();
    });
}

int MessagesWindow::count() const {
    return m_list->count();
}

QString MessagesWindow::textAt(int row) const {
    const QListWidgetItem *item = m_list->item(row);
    return item ? item->text() : QString();
}

void MessagesWindow::append(const UserMessage &message) {
    auto *item = new QListWidgetItem(UserMessages::format(message), m_list);
    if (message.level == UserMessage::Level::Refusal || message.level == UserMessage::Level::Error)
        item->setForeground(QBrush(QColor(176, 0, 0)));
    else if (message.level == UserMessage::Level::Warning)
        item->setForeground(QBrush(QColor(150, 90, 0)));
    m_list->scrollToBottom();
}
