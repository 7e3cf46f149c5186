#pragma once
// The vertical colour bar: shows the colour map over the display range and
// sets its window by dragging the nearer of the two thresholds. One bar (the
// main window's) is registered as the shared colour window every renderer
// reads; others (the image processor's) keep their window to themselves.
#include "display/ColorMap.h"
#include "display/widgets/DispA.h"

#include <QImage>

class ColorBar : public DispA {
    Q_OBJECT
public:
    enum Threshold { None, Lower, Upper };

    explicit ColorBar(QWidget *parent = nullptr);

    // Makes this bar's window, range and format the process-wide colour map.
    void registerAsShared();
    bool isShared() const { return m_shared; }

    const ColorMap &colorMap() const { return m_map; }
    double lower() const { return m_map.lower(); }
    double upper() const { return m_map.upper(); }
    double realMinimum() const { return m_map.realMinimum(); }
    double realMaximum() const { return m_map.realMaximum(); }
    void setWindow(double lower, double upper);
    void setFormat(QImage::Format format);
    QImage::Format format() const { return m_map.format(); }

    // A map of categories is on display (clusters 0..count-1): the bar shows
    // one band per category in its colour, numbered; 0 gives the ramp back.
    void setCategories(int count);
    int categories() const { return m_categories; }

    // Colour of a data value in the current range and window.
    QColor colorOf(double value) const { return m_map.colorOfValue(value); }
    // Fraction of the range shown at screen row h (0 at the bottom row).
    double fractionOfH(int h) const;

    Threshold draggedThreshold() const { return m_dragged; }
    bool isDragging() const { return m_dragged != None; }
    // Fill of the boxes behind the numbers on the bar.
    static QColor labelBoxColor();
    // The bar as drawn, for saving beside a picture.
    QImage picture() { return renderToImage(); }

signals:
    // A threshold moved (while dragging).
    void cBarUpdating();
    // Dragging ended.
    void cBarUpdated();

public slots:
    void setRange(double minimum, double maximum);
    void paintCBar();
    void draw1(QPainter *p);
    void onMouseMoved();
    void onMousePressed();
    void onMouseReleased();
    QColor colorOfH(int h) const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void publish();
    double mouseFraction() const;
    void drawLabels(QPainter *p);
    void drawCategoryLabels(QPainter *p);

    ColorMap m_map;
    bool m_shared = false;
    QImage m_bar;
    Threshold m_dragged = None;
    bool m_mouseOver = false;
    int m_categories = 0;
};
