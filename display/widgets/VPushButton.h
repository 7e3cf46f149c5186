#pragma once
// A push button whose text reads from bottom to top, for narrow side panels.
#include <QPushButton>

class VPushButton : public QPushButton {
    Q_OBJECT
public:
    explicit VPushButton(QWidget *parent = nullptr);
    explicit VPushButton(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
