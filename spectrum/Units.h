#pragma once
// Holds the monochromator crystal lattice spacing D (Å).
#include <QObject>

class Units : public QObject {
    Q_OBJECT
public:
    explicit Units(QObject *parent = nullptr) : QObject(parent) {}
    double D() const { return m_D; }

public slots:
    void setD(double D) { m_D = D; }

private:
    double m_D = 3.13553; // Si(111) spacing in Å
};
