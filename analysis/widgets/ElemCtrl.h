#pragma once
// One target element of the element analysis: its name, atomic number and
// edge energy, the conditions of the analysis (E0, Pre/Post dE, threshold,
// ROI, No Neg), the read-outs of the last analysed spectrum, its standard
// ratio for the correlation, and its seven result maps.
#include "analysis/ElemAnalysis.h"

#include <QFrame>
#include <array>

class Analyzed2DRes;
class QAbstractButton;
namespace Ui {
class ElemCtrl;
}

class ElemCtrl : public QFrame {
    Q_OBJECT
public:
    explicit ElemCtrl(QWidget *parent = nullptr);
    ~ElemCtrl() override;

    // Name, atomic number, edge energy and the names of the seven maps.
    void setTarget(const ElemTarget &target);
    QString name() const;
    int Z() const { return m_Z; }

    // The conditions as the fields read now (non-numbers read 0).
    ElemCondition condition() const;
    bool isUse() const;
    QAbstractButton *mainTargetButton() const;
    QAbstractButton *showButton() const;

    // Shows one analysis: dmut, ratio, dE, and ROI / N.ROI as five characters;
    // stores dmut, ratio and mu above and below the edge.
    void showValues(const ElemValues &v);
    double lastDMut() const { return m_dMut; }
    double lastRatio() const { return m_ratio; }
    double lastMuPlus() const { return m_muPlus; }
    double lastMuMinus() const { return m_muMinus; }
    double stdRatio() const { return m_stdRatio; }

    // Map of kind 0..6 (ElemMapKind); owned by the row.
    Analyzed2DRes *map(int kind) const;

public slots:
    void setUse(bool use);
    void setPrePostDE(double dE);
    void setROI(double start, double end);
    void setThDMut(double th);
    void setNoNeg(bool on);
    // Stores the standard ratio and shows it (6 significant digits).
    void setStdRatio(double r);
    // The StdRatio field was edited.
    void newStdRatio();

private:
    Ui::ElemCtrl *ui;
    int m_Z = 1;
    double m_dMut = 0;
    double m_ratio = 1;
    double m_muPlus = 0;
    double m_muMinus = 0;
    double m_stdRatio = 1;
    std::array<Analyzed2DRes *, ElemMapKinds> m_maps{};
};
