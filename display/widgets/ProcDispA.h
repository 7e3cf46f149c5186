#pragma once
// Picture area of the image processor: its processed image drawn through a
// view window into the whole widget, zoomed by the wheel about the mouse.
#include "display/ImageView.h"
#include "display/widgets/DispA.h"

#include <QImage>

class ProcDispA : public DispA {
    Q_OBJECT
public:
    explicit ProcDispA(QWidget *parent = nullptr);

    // Every new image is shown whole.
    void setImage(const QImage &image);
    QImage image() const { return m_image; }
    QRectF viewWindow() const { return m_view.view(); }

signals:
    // Image coordinates of the mouse, on every move.
    void mouseMoved(double x, double y);

public slots:
    void drawOnScreen(QPainter *p);
    void onMousePressed();
    void onMouseReleased();
    void onMouseMoved();
    void onWheelMoved();

private:
    void updateTransform();

    QImage m_image;
    ImageView m_view;
};
