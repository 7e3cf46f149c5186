#pragma once
// The image area of the main window: a detector image, or in result mode the
// picture of a result map, drawn through its view window into the whole
// widget, with wheel zoom, Shift+left pan and a selection rectangle (left drag
// selects, Ctrl+left drag selects and zooms to it, right click clears).
#include "display/ImageRenderer.h"
#include "display/ImageView.h"
#include "display/widgets/DispA.h"

#include <QImage>
#include <QPointer>

class ColorBar;
class TiffData;

class ImgDispA : public DispA {
    Q_OBJECT
public:
    // Square image pixels, the image letterboxed in the widget (the default);
    // off stretches the view window over the whole widget.
    void setKeepAspect(bool keep);
    explicit ImgDispA(QWidget *parent = nullptr);

    // The bar whose range follows the result map shown in result mode.
    void setColorBar(ColorBar *bar);

    // Shows a detector image's picture whose values span [minimum, maximum]
    // (the colour bar's numbers); a null picture shows nothing. The first
    // picture sets the view to the whole image; later ones keep the view.
    void setImagePicture(const QImage &picture, double minimum, double maximum);
    // The picture of the image drawn now through the shared colour map
    // (nullptr shows nothing); the image is not kept.
    void setImage(const TiffData *image);
    // Shows a picture directly (a rendered map or a processed image).
    void setPicture(const QImage &picture);
    // Result mode shows a map's picture instead of the detector image: the
    // bar reads its display range, or the colours of its categories. A null
    // picture shows nothing. Off shows the detector image again.
    void setResultMode(bool flag, const ImageRenderer::MapPicture &map = {});
    bool resultMode() const { return m_resultMode; }

    const ImageView &imageView() const { return m_view; }
    QRectF viewWindow() const { return m_view.view(); }
    void setViewWindow(const QRectF &view);
    bool hasSelection() const { return m_view.hasSelection(); }
    QRectF selectedArea() const { return m_view.selection(); }
    bool isInSelectedArea(double x, double y) const { return m_view.isInSelectedArea(x, y); }
    bool showOverlayer() const { return m_showOverlay; }
    // Image coordinates of the last mouse position.
    QPointF mouseImagePos() const { return m_mouseImg; }

    // The shown part of the picture, in image pixels (unscaled).
    QImage viewImage() const;
    // The widget as drawn (picture and overlays), for saving.
    QImage shownPicture() { return renderToImage(); }

signals:
    // The mouse moved without a button, at image coordinates (x, y).
    void mouseMoved(double x, double y);
    // A selection is being dragged out; (x, y) is its moving corner.
    void mouseDragged(double x, double y);
    // The selected area was set, moved, resized or cleared.
    void selectedAreaChanged();

public slots:
    void drawImage(QPainter *p);
    void onMousePressed();
    void onMouseReleased();
    void onMouseMoved();
    void onWheelMoved();
    void resetImageViewWindow();
    void setShowOverlayer(bool f);
    void setSelectedArea(int x1, int y1, int x2, int y2);
    void setViewWAsSelectedArea();
    void recallOldSelectedArea();
    void clearSelectedArea();
    // Zoom about the centre of the view (f < 1 zooms in).
    void zoomBy(double f);
    // Puts the current point at image pixel (x, y) exactly, whatever the
    // widget size, and reports it as a mouse move would.
    void setImageMousePos(double x, double y);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Says selectedAreaChanged when the selection differs from the last said.
    void noteSelection();
    void showImageRangeOnBar();
    QImage currentPicture() const;
    void updateTransform();
    QPointF mouseToImage(const QPoint &pos) const;
    void drawSelection(QPainter *p);

    QImage m_picture;
    bool m_imageShown = false; // m_picture is a detector image's
    double m_imageMin = 0, m_imageMax = 0;
    bool m_resultMode = false;
    ImageRenderer::MapPicture m_map;
    QPointer<ColorBar> m_cBar;
    ImageView m_view;
    bool m_showOverlay = false;
    QPointF m_mouseImg;
    bool m_exactPending = false;
    bool m_saidHasSelection = false;
    QRectF m_saidSelection;
    QPointF m_exactPos;
};
