// How long the user waits for a photo: from the file to the first shown frame,
// against the plain decoder of the same library; and one repaint of the display.

#include "image/photo.h"
#include "image/photo_view.h"
#include "image/zoom.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kvx {
namespace {

// A 24-megapixel photo with detail and sensor-like noise everywhere, so that it
// compresses about as a camera's photo does; written once per run.
const QString& TestPhoto()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("photo24mp.jpg"));
        QImage image(6000, 4000, QImage::Format_RGB888);
        std::uint32_t noise = 12345;
        for (int y = 0; y < image.height(); ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int n = static_cast<int>(noise >> 27) - 16;
                row[3 * x] = static_cast<uchar>(std::clamp(((x / 7 + y / 5) & 0xFF) + n, 0, 255));
                row[3 * x + 1] = static_cast<uchar>(std::clamp((((x ^ y) >> 3) & 0xFF) + n, 0, 255));
                row[3 * x + 2] = static_cast<uchar>(std::clamp(((y / 3 - x / 11) & 0xFF) + n, 0, 255));
            }
        }
        Photo(image).SaveJpeg(p);
        return p;
    }();
    return path;
}

void BM_OpenToFirstFrame(benchmark::State& state)
{
    const QString path = TestPhoto();
    for (auto _ : state) {
        PhotoLoad loaded = LoadPhoto(path);
        const Photo work = loaded.photo;
        benchmark::DoNotOptimize(work.CheckSum());
        PhotoView view;
        view.resize(1200, 800);
        view.SetPhoto(&work);
        view.SetView(ZoomAllView(view.ControlWidth(), view.ControlHeight(), work.Width(), work.Height()));
        view.RedrawImage();
        QImage shown(view.viewport()->size(), QImage::Format_RGB32);
        view.viewport()->render(&shown);
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The decoding alone, for seeing where the time of opening goes.
void BM_DecodeOnly(benchmark::State& state)
{
    const QString path = TestPhoto();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPhoto(path).photo.Width());
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference: libjpeg-turbo's own command-line decoder on the same file.
void BM_DjpegDecode(benchmark::State& state)
{
    const std::string command = "djpeg -outfile /dev/null '" + TestPhoto().toStdString() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("djpeg is not installed");
            break;
        }
    }
}
BENCHMARK(BM_DjpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// One repaint: the photo rendered at the view and the overlay drawn over it.
// range(0): 0 = fit to the display, 1 = 1:1.
void BM_Repaint(benchmark::State& state)
{
    const PhotoLoad loaded = LoadPhoto(TestPhoto());
    const Photo work = loaded.photo;
    PhotoView view;
    view.resize(1200, 800);
    view.SetPhoto(&work);
    const View fit = ZoomAllView(view.ControlWidth(), view.ControlHeight(), work.Width(), work.Height());
    view.SetView(state.range(0) == 0 ? fit : View{2000, 1500, 1.0});
    // 300 marks: lines with end circles and a label each, as the overlay draws them.
    view.onEndDisplay = [](QPainter& p, const ViewState& v) {
        p.setPen(QPen(Qt::green, 1));
        for (int i = 0; i < 300; ++i) {
            const TDPoint a{500.0 + (i * 37) % 5000, 300.0 + (i * 53) % 3400};
            const TDPoint b{a.x + 400, a.y + 150};
            const TPoint sa = WtoS(v, a), sb = WtoS(v, b);
            p.drawLine(sa.x, sa.y, sb.x, sb.y);
            p.drawEllipse(QPoint(sa.x, sa.y), 3, 3);
            p.drawEllipse(QPoint(sb.x, sb.y), 3, 3);
            p.drawText(sb.x, sb.y, QStringLiteral("1,234"));
        }
    };
    view.RedrawImage();  // builds the reduced copies once, as the first frame does
    QImage shown(view.viewport()->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.RedrawImage();
        view.viewport()->render(&shown);
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_Repaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kvx::ConfigureImageDecoding();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
