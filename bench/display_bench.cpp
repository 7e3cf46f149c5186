// Painting costs of the drawing areas: one paint of the image area into an
// offscreen pixmap of screen size, for a 4096 x 4096 picture shown whole,
// zoomed, while panning and while wheel-zooming, and one colour-bar repaint.
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <benchmark/benchmark.h>

namespace {

constexpr int ImageSide = 4096;
constexpr int WidgetSide = 800;

QImage testPicture(QImage::Format format) {
    QImage img(ImageSide, ImageSide, format);
    for (int y = 0; y < ImageSide; ++y) {
        uchar *line = img.scanLine(y);
        for (int i = 0; i < img.bytesPerLine(); ++i)
            line[i] = uchar((i + y) & 0xff);
    }
    return img;
}

struct Area {
    explicit Area(QImage::Format format) : pixmap(WidgetSide, WidgetSide) {
        d.setFrameShape(QFrame::NoFrame);
        d.resize(WidgetSide, WidgetSide);
        d.setPicture(testPicture(format));
    }
    void paint() {
        d.render(&pixmap);
        benchmark::DoNotOptimize(pixmap.cacheKey());
    }
    ImgDispA d;
    QPixmap pixmap;
};

QImage::Format formatOf(const benchmark::State &state) {
    return state.range(0) == 0 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
}

void BM_PaintWholeImage(benchmark::State &state) {
    Area a(formatOf(state));
    for (auto _ : state)
        a.paint();
}
BENCHMARK(BM_PaintWholeImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PaintZoomed(benchmark::State &state) {
    Area a(formatOf(state));
    a.d.setViewWindow(QRectF(1000, 1000, 300, 300));
    for (auto _ : state)
        a.paint();
}
BENCHMARK(BM_PaintZoomed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PanAndPaint(benchmark::State &state) {
    Area a(formatOf(state));
    double x = 0;
    for (auto _ : state) {
        x = x > 3000 ? 0 : x + 7.5;
        a.d.setViewWindow(QRectF(x, x / 2, 1024, 1024));
        a.paint();
    }
}
BENCHMARK(BM_PanAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WheelZoomAndPaint(benchmark::State &state) {
    Area a(formatOf(state));
    int n = 0;
    for (auto _ : state) {
        if (++n % 40 == 0)
            a.d.resetImageViewWindow();
        a.d.zoomBy(1 / 1.1);
        a.paint();
    }
}
BENCHMARK(BM_WheelZoomAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ColorBarRepaint(benchmark::State &state) {
    ColorBar bar;
    bar.resize(40, 600);
    bar.setFormat(QImage::Format_RGB888);
    QPixmap pixmap(40, 600);
    double lower = 0;
    for (auto _ : state) {
        lower = lower > 0.5 ? 0 : lower + 0.01;
        bar.setWindow(lower, 1);
        bar.render(&pixmap);
        benchmark::DoNotOptimize(pixmap.cacheKey());
    }
}
BENCHMARK(BM_ColorBarRepaint)->Unit(benchmark::kMillisecond);

} // namespace
