#pragma once
// The background values of the element analysis: what an element without an
// edge (jump not above its threshold) records instead of its results.
#include "analysis/ElemAnalysis.h"

#include <QFrame>

namespace Ui {
class AElemsConds;
}

class AElemsConds : public QFrame {
    Q_OBJECT
public:
    explicit AElemsConds(QWidget *parent = nullptr);
    ~AElemsConds() override;

    // The fields as they read now (non-numbers read 0).
    ElemBackground background() const;

public slots:
    void setBGVDMut(double v);
    void setBGVDMutR(double v);
    void setBGVDE(double v);
    void setBGVROI(double v);
    void setBGVNROI(double v);

private:
    Ui::AElemsConds *ui;
};
