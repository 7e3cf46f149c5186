#pragma once
// The ranges of image numbers the sum-up image adds (panel "SumUpC" of the
// analysis panel's Sum Up mode), with the button that asks for the sum.
#include "analysis/SumUp.h"

#include <QFrame>
#include <QVector>

namespace Ui {
class SumUpCtrl;
}

class SumUpCtrl : public QFrame {
    Q_OBJECT
public:
    explicit SumUpCtrl(QWidget *parent = nullptr);
    ~SumUpCtrl() override;
    const QVector<SumUpRange> &ranges() const { return m_ranges; }

signals:
    void askSumUp();

public slots:
    // Appends SumUpFrom-SumUpTo as a range and an item "%1-%2".
    void add();
    // Removes the current item and its range (nothing on an empty list).
    void del();

private:
    Ui::SumUpCtrl *ui;
    QVector<SumUpRange> m_ranges;
};
