#pragma once
// Base of every drawing area: a framed widget with a real/screen transform and
// a mouse-state helper, which turns Qt's mouse and wheel events into
// argument-less signals and paints by asking its owners to draw.
#include "display/ChCoord.h"
#include "display/MouseC.h"

#include <QFrame>

class QPainter;

class DispA : public QFrame {
    Q_OBJECT
public:
    explicit DispA(QWidget *parent = nullptr);

    ChCoord &cc() { return m_cc; }
    const ChCoord &cc() const { return m_cc; }
    MouseC &mc() { return m_mc; }
    const MouseC &mc() const { return m_mc; }

    // Renders the widget as it would appear on screen at its current size.
    QImage renderToImage();

signals:
    void drawImage1(QPainter *p);
    void drawImage2(QPainter *p);
    void mouseMoved0();
    void mousePressed0();
    void mouseReleased0();
    void mouseDoubleClicked0();
    void wheelMoved0();

public slots:
    // Programmatic mouse positions, in screen pixels or in real coordinates;
    // both behave as a move without buttons.
    void setScreenMousePos(int x, int y);
    void setRealMousePos(double x, double y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    ChCoord m_cc;
    MouseC m_mc;
};
