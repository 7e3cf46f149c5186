#pragma once
// A label whose text reads from bottom to top; its size hints are those of the
// upright label turned on its side.
#include <QLabel>

class VLabel : public QLabel {
    Q_OBJECT
public:
    explicit VLabel(QWidget *parent = nullptr);
    explicit VLabel(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
