#pragma once
// View window and selection of an image shown in a drawing area.
//
// All rectangles are in image pixels. The view window is the part of the image
// drawn into the whole widget; mouse positions convert through it
// (x_img = mx / W * w + x). The selection is made by dragging with the left
// button (Ctrl+left also zooms to it), the view is panned with Shift+left and
// zoomed with the wheel about the mouse position.
#include <QPointF>
#include <QRectF>

class ImageView {
public:
    // A view window is never zoomed in below this many image pixels across,
    // nor out beyond this multiple of the image size.
    static constexpr double MinViewSize = 2;
    static constexpr double MaxZoomOut = 100;

    // Sets the image size; the first image (view width still 0) is shown whole.
    void setImageSize(int width, int height);
    int imageWidth() const { return m_imgW; }
    int imageHeight() const { return m_imgH; }

    QRectF view() const { return m_view; }
    void setView(const QRectF &view);
    void resetView();

    // Square pixels: the view window is widened (or heightened) about its
    // centre to the widget's shape when drawn, so round features stay round
    // and the image is letterboxed. Off by default.
    void setKeepAspect(bool keep) { m_keepAspect = keep; }
    bool keepsAspect() const { return m_keepAspect; }
    // The part of the image plane drawn into a W x H widget: the view window,
    // fitted to the widget's shape when the aspect is kept.
    QRectF shownView(double W, double H) const;

    // Widget pixels to image pixels and back, for a widget of size W x H.
    QPointF toImage(double mx, double my, double W, double H) const;
    QPointF toScreen(double ix, double iy, double W, double H) const;

    // Mouse handling with the button codes of MouseC; positions in image pixels.
    void press(int code, const QPointF &img);
    // A move with a button held; prevImg is the previous move's position.
    void drag(int code, const QPointF &img, const QPointF &prevImg);
    // Returns true when the view window changed (zoom to the new selection).
    bool release(int code);
    // Wheel zoom by factor f about the mouse at (mx, my) in a W x H widget.
    // Near the left or right edge only the height scales; near the top or
    // bottom edge only the width.
    void wheel(double f, double mx, double my, double W, double H);
    // Wheel zoom about the mouse in both axes, without edge bands.
    void zoomAbout(double f, double mx, double my, double W, double H);
    // Zoom about the centre of the view window (f < 1 zooms in).
    void zoom(double f);

    bool hasSelection() const { return m_hasSelection; }
    QRectF selection() const { return m_selection; }
    QRectF previousSelection() const { return m_previous; }
    bool isDragging() const { return m_dragging; }
    // The rectangle being dragged out (w, h may be negative).
    QRectF rubberBand() const { return m_rubber; }

    void clearSelection();
    // Selection from two corners in either order.
    void setSelectedArea(int x1, int y1, int x2, int y2);
    void setViewAsSelection();
    void recallOldSelection();
    // True without a selection, else when (x, y) lies in it, ends included.
    bool isInSelectedArea(double x, double y) const;

private:
    void commitRubberBand();
    QRectF limited(const QRectF &view) const;
    void scaleAbout(double fw, double fh, double u, double v);
    QPointF viewFraction(double mx, double my, double W, double H) const;

    int m_imgW = 0;
    int m_imgH = 0;
    QRectF m_view;
    QRectF m_selection;
    QRectF m_previous;
    QRectF m_rubber;
    bool m_hasSelection = false;
    bool m_dragging = false;
    bool m_keepAspect = false;
};
