#pragma once
// Cross-section profile through the current point: drawn along the widget
// (horizontal profile: x = position, y = value growing upwards) or down it
// (vertical profile: y = position growing downwards, x = value), so that it
// lines up with the image beside it. A marker line shows the current position.
#include "display/widgets/DispA.h"
#include "spectrum/Spectrum.h"

class CrossSView : public DispA {
    Q_OBJECT
public:
    explicit CrossSView(QWidget *parent = nullptr);

    // Profile points are (position, value); offset is subtracted from every
    // position (and from the marker).
    void setProfile(const Spectrum &profile, bool vertical, double offset = 0);
    void setMarker(double position);
    const Spectrum &profile() const { return m_profile; }
    bool isVertical() const { return m_vertical; }

public slots:
    void draw(QPainter *p);

private:
    void updateTransform();
    QPointF toScreen(double position, double value) const;

    Spectrum m_profile;
    bool m_vertical = false;
    double m_offset = 0;
    double m_marker = 0;
    bool m_hasMarker = false;
};
