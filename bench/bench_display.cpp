// How long the user waits for a photo: from the file to the first shown frame,
// against the plain decoder of the same library; and one repaint of the display.

#include "image/photo.h"
#include "image/photo_view.h"
#include "image/effects.h"
#include "shell/painter_canvas.h"
#include "image/zoom.h"
#include "interact/interaction.h"
#include "measure/calibration.h"
#include "output/overlay/overlay.h"
#include "output/overlay/recording_canvas.h"
#include "interact/commands.h"
#include "shell/report_file.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include "bench_photos.h"
#include "realistic.h"
#include "view/view_mapping.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kvx {
namespace {

using bench::Folder;
using bench::NoisyImage;
using bench::TestBitmap;
using bench::TestPhoto;

// A 100-megapixel photo as a JPEG.
const QString& LargePhoto()
{
    static const QString path = [] {
        const QString p = Folder().filePath(QStringLiteral("photo100mp.jpg"));
        Photo(NoisyImage(12240, 8160)).SaveJpeg(p);
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

// The same photo from a 24-bit BMP (aim: at most 1.2 times the JPEG).
void BM_DecodeBmp(benchmark::State& state)
{
    const QString path = TestBitmap();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPhoto(path).photo.Width());
}
BENCHMARK(BM_DecodeBmp)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// A document of 300 marks on the 24-megapixel photo: 150 distances and 150
// areas, drawn on a wall seen at an angle.
Document BusyWall()
{
    Document doc;
    SetReferenceRect(doc, {TDPoint{1500, 1000}, {4200, 1200}, {4100, 3000}, {1600, 2800}}, true);
    for (int i = 0; i < 150; ++i) {
        const double x = 600 + (i * 37) % 4800, y = 400 + (i * 53) % 3200;
        TDistance d;
        d.start = {x, y};
        d.end = {x + 300, y + 80};
        doc.Plane.Distances.Append(d);
        TSpace s;
        s.kind = i % 3 == 0 ? kSpaceSub : kSpaceAdd;
        s.points = {{x, y + 100}, {x + 200, y + 110}, {x + 190, y + 300}, {x + 10, y + 290}, {x, y + 100}};
        s.correctedPoints.resize(5);
        s.name = "A";
        doc.Plane.Spaces.Append(s);
    }
    return doc;
}

// The busy wall on the 24-megapixel photo shown at fit scale in a 1200 x 800
// display, as the overlay benchmarks draw it.
struct BusyDisplay {
    Photo work = LoadPhoto(TestPhoto()).photo;
    PhotoView view;
    Document doc = BusyWall();
    TAppSettings settings;

    BusyDisplay()
    {
        view.resize(1200, 800);
        view.SetPhoto(&work);
        view.SetView(ZoomAllView(view.ControlWidth(), view.ControlHeight(), work.Width(), work.Height()));
    }
    OverlayContext Context() const
    {
        return DisplayContext(view.State(), view.ControlWidth(), view.ControlHeight(), work.Width(), work.Height(),
                              settings);
    }
};

void BM_OverlayDraw(benchmark::State& state)
{
    const BusyDisplay d;
    const OverlayContext context = d.Context();
    QImage target(1200, 800, QImage::Format_RGB32);
    // Cold: the first repaint after the calibration changed; warm: every
    // repaint after it (scrolling, zooming, the tools), answered from the memo.
    const bool cold = state.range(0) == 0;
    for (auto _ : state) {
        if (cold)
            d.doc.Deltas.Clear();
        QPainter p(&target);
        PainterCanvas canvas(p);
        DrawBase(canvas, d.doc, context);
    }
}
BENCHMARK(BM_OverlayDraw)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same without painting: the values and labels alone.
void BM_OverlayCompute(benchmark::State& state)
{
    const BusyDisplay d;
    const OverlayContext context = d.Context();
    for (auto _ : state) {
        RecordingCanvas canvas;
        DrawBase(canvas, d.doc, context);
        benchmark::DoNotOptimize(canvas.calls.size());
    }
}
BENCHMARK(BM_OverlayCompute)->Unit(benchmark::kMillisecond);

// The realistic document (an A4 sheet, 300 marks 30 to 300 cells away, a chain
// of range(1) segments) drawn over a 1200 x 800 display of its 24-megapixel
// photo at fit scale: the first repaint after the calibration changed (warm 0)
// and every later one (warm 1).
void BM_RealisticOverlay(benchmark::State& state)
{
    const Document doc = test::RealisticDocument(static_cast<int>(state.range(1)));
    const TAppSettings settings;
    const View fit = ZoomAllView(1200, 800, test::kRealisticWidth, test::kRealisticHeight);
    const ViewState v{fit.StartX, fit.StartY, fit.DispScale, 0, 0};
    OverlayContext context = DisplayContext(v, 1200, 800, test::kRealisticWidth, test::kRealisticHeight, settings);
    context.uCommand = uCommand::Distance;
    QImage target(1200, 800, QImage::Format_RGB32);
    const bool cold = state.range(0) == 0;
    for (auto _ : state) {
        if (cold)
            doc.Deltas.Clear();
        QPainter p(&target);
        PainterCanvas canvas(p);
        DrawBase(canvas, doc, context);
    }
}
// Without a chain (range(1) 0): the 300 far marks alone; with the chain of
// 2,700 or 29,700 segments, 3,000 or 30,000 marks.
BENCHMARK(BM_RealisticOverlay)
    ->ArgNames({"warm", "chain"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 2700})
    ->Args({1, 2700})
    ->Args({0, 29700})
    ->Args({1, 29700})
    ->Unit(benchmark::kMillisecond);

// A chain of range(0) segments alone, every repaint after the first.
void BM_ChainOverlay(benchmark::State& state)
{
    const Document doc = test::RealisticDocument(static_cast<int>(state.range(0)), false);
    const TAppSettings settings;
    const View fit = ZoomAllView(1200, 800, test::kRealisticWidth, test::kRealisticHeight);
    const ViewState v{fit.StartX, fit.StartY, fit.DispScale, 0, 0};
    OverlayContext context = DisplayContext(v, 1200, 800, test::kRealisticWidth, test::kRealisticHeight, settings);
    context.uCommand = uCommand::Distance;
    QImage target(1200, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&target);
        PainterCanvas canvas(p);
        DrawBase(canvas, doc, context);
    }
}
BENCHMARK(BM_ChainOverlay)->ArgName("segments")->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

// A repaint of the realistic document after each of many pointer moves whose
// rubber band asked for a new plane coordinate: the memo keeps the marks'
// answers however long the band runs.
void BM_RealisticAfterRubberBand(benchmark::State& state)
{
    const Document doc = test::RealisticDocument();
    const TAppSettings settings;
    const View fit = ZoomAllView(1200, 800, test::kRealisticWidth, test::kRealisticHeight);
    const ViewState v{fit.StartX, fit.StartY, fit.DispScale, 0, 0};
    const OverlayContext context = DisplayContext(v, 1200, 800, test::kRealisticWidth, test::kRealisticHeight, settings);
    int move = 0;
    for (auto _ : state) {
        for (int k = 0; k < 50; ++k, ++move)
            benchmark::DoNotOptimize(GetDelta(doc, {2000 + (move % 4000) * 0.25, 1500 + (move / 4000) * 0.25}));
        RecordingCanvas canvas;
        DrawBase(canvas, doc, context);
        benchmark::DoNotOptimize(canvas.calls.size());
    }
}
BENCHMARK(BM_RealisticAfterRubberBand)->Unit(benchmark::kMillisecond)->Iterations(400);

// The window as far as the rubber band needs it.
class BandPort : public WindowPort {
public:
    explicit BandPort(PhotoView& view) : view_(view) {}
    ViewState View() const override { return view_.State(); }
    int DisplayWidth() const override { return view_.ControlWidth(); }
    int DisplayHeight() const override { return view_.ControlHeight(); }
    void RedrawOverlay() override { view_.RedrawOverlay(); }
    void SetStatusText(int, const std::string&) override {}
    void SetInfoText(const std::string&) override {}
    void CommandChanged() override {}
    void PlaneChanged() override {}
    void FocusField(InputField) override {}
    bool ShiftHeld() const override { return false; }
    void ShowFigure(FigureSlot slot, const std::optional<TraceFigure>& f) override { view_.SetFigure(slot, f); }
    void ZoomWindow(TDPoint, TDPoint) override {}
    void ZoomPre() override {}
    void ZoomAll() override {}
    void ZoomUp(TDPoint, ZoomRedraw, double) override {}
    void ZoomDown(TDPoint, ZoomRedraw, double) override {}
    std::string AskAreaName() override { return {}; }
    std::string InputBox(const std::string&, const std::string&, const std::string& d) override { return d; }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, TPoint) override { return {}; }
    void ImageRangeOutput(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}

private:
    PhotoView& view_;
};

// One pointer move with the distance tool's rubber band running, including the
// repaint of the display it causes.
void BM_PointerMove(benchmark::State& state)
{
    BusyDisplay d;
    d.view.onEndDisplay = [&](QPainter& p, const ViewState&) {
        PainterCanvas canvas(p);
        DrawBase(canvas, d.doc, d.Context());
    };
    PhotoView& view = d.view;
    BandPort port(view);
    Editor editor(d.doc);
    d.view.onEndDisplay = [&](QPainter& p, const ViewState&) {
        PainterCanvas canvas(p);
        DrawBase(canvas, editor.Doc(), d.Context());
    };
    Interaction tools(editor, d.settings, port);
    tools.SetCommand(uCommand::Distance);
    tools.MouseDown({300, 300}, true, false);
    tools.MouseUp({300, 300}, true, false);
    QImage shown(view.viewport()->size(), QImage::Format_RGB32);
    view.RedrawImage();
    view.viewport()->render(&shown);  // the first paint draws photo and overlay
    int i = 0;
    for (auto _ : state) {
        tools.MouseMove({400 + (i % 300), 350 + (i % 200)});
        view.viewport()->render(&shown);
        ++i;
    }
}
BENCHMARK(BM_PointerMove)->Unit(benchmark::kMicrosecond);

// The report of the 24- and the 100-megapixel photo with the realistic
// document: from the command to the closed file ("~.bmp" written, the
// reduction, the writer).
void BM_PdfReport(benchmark::State& state)
{
    const Photo work = LoadPhoto(state.range(0) == 100 ? LargePhoto() : TestPhoto()).photo;
    Document doc = test::RealisticDocument();
    const TAppSettings settings;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        int process = 0;
        WritePdfReport(path, doc, settings, work, dir.path().toStdString(), process);
    }
}
BENCHMARK(BM_PdfReport)->ArgName("MP")->Arg(24)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

ImageEffects Everything()
{
    ImageEffects e;
    e.Rotate = 1;
    e.Noise = 40;
    e.Sharp = 50;
    e.Chroma = 30;
    e.RGBLevel = 20;
    e.RevBlue = 1;
    return e;
}

// Every image processing step on the 24-megapixel photo, as the program runs it.
void BM_Effect(benchmark::State& state)
{
    const Photo source = LoadPhoto(TestPhoto()).photo;
    const ImageEffects e = Everything();
    for (auto _ : state)
        benchmark::DoNotOptimize(Effect(source, e).Width());
}
BENCHMARK(BM_Effect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Opening the 24-megapixel photo with those settings saved: the decoding and
// every step (aim: at most 1.3 times BM_DecodeOnly plus BM_OpenCvDirect).
void BM_OpenWithEffects(benchmark::State& state)
{
    const ImageEffects e = Everything();
    for (auto _ : state) {
        const Photo source = LoadPhoto(TestPhoto()).photo;
        benchmark::DoNotOptimize(Effect(source, e).Width());
    }
}
BENCHMARK(BM_OpenWithEffects)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same operations written directly against OpenCV: the reference.
void BM_OpenCvDirect(benchmark::State& state)
{
    const Photo source = LoadPhoto(TestPhoto()).photo;
    QImage image = source.Image();
    const cv::Mat in(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                     static_cast<std::size_t>(image.bytesPerLine()));
    for (auto _ : state) {
        cv::Mat m;
        cv::rotate(in, m, cv::ROTATE_90_COUNTERCLOCKWISE);
        cv::medianBlur(m, m, 3);
        cv::Mat blurred;
        cv::GaussianBlur(m, blurred, cv::Size(0, 0), 1.0);
        cv::addWeighted(m, 2.0, blurred, -1.0, 0.0, m);
        cv::Mat grey, grey3;
        cv::cvtColor(m, grey, cv::COLOR_RGB2GRAY);
        cv::cvtColor(grey, grey3, cv::COLOR_GRAY2RGB);
        cv::addWeighted(m, 1.3, grey3, -0.3, 0.0, m);
        cv::add(m, cv::Scalar(20, 20, 20), m);
        cv::bitwise_xor(m, cv::Scalar(0, 0, 255), m);
        benchmark::DoNotOptimize(m.data);
    }
}
BENCHMARK(BM_OpenCvDirect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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
