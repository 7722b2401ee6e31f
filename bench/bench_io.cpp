// Reading and writing the user's files: a whole batch run from a JPEG and from
// a BMP of the same photo, the DXF drawing against the CSV of the same marks,
// the straight-on image against OpenCV doing the same warp and PNG itself.

#include "base/housekeeping.h"
#include "edit/editor.h"
#include "image/photo.h"
#include "image/rectify.h"
#include "measure/calibration.h"
#include "output/export/dxf.h"
#include "output/export/exports.h"
#include "shell/batch.h"
#include "shell/main_window.h"
#include "shell/rectified_file.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include "bench_photos.h"
#include "realistic.h"
#include "window_fixture.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kvx {
namespace {

namespace fs = std::filesystem;

using bench::NoisyImage;
using bench::TestBitmap;
using bench::TestPhoto;

// --- opening: the whole batch run, JPEG against BMP ---------------------------

// kalvex --batch PHOTO --csv OUT, in this process: the photo decoded and
// identified, its stored measurements looked for, the CSV written.
void BM_BatchRun(benchmark::State& state)
{
    const QString photo = state.range(0) == 1 ? TestBitmap() : TestPhoto();
    QTemporaryDir home;
    Folders folders;
    folders.ExeFolder = home.path().toStdString();
    folders.TempFolder = folders.ExeFolder / "Temp";
    fs::create_directories(folders.TempFolder);
    BatchOptions options;
    options.photo = photo.toStdString();
    options.csv = (folders.ExeFolder / "out.csv").string();
    for (auto _ : state) {
        std::ostringstream err;
        if (RunBatch(options, folders, err) != 0)
            state.SkipWithError(err.str().c_str());
    }
}
BENCHMARK(BM_BatchRun)->ArgName("bmp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The fingerprint alone, from the page cache: this version's (XXH3, 128
// bits) and the SHA-256 the previous one took, of the 72 MB bitmap.
void BM_Fingerprint(benchmark::State& state)
{
    const QString photo = TestBitmap();
    for (auto _ : state)
        benchmark::DoNotOptimize(state.range(0) == 1 ? OlderPhotoFingerprint(photo) : PhotoFingerprint(photo));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * QFile(photo).size());
}
BENCHMARK(BM_Fingerprint)->ArgName("older")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- the DXF drawing against the CSV of the same 3,000 marks ------------------

void BM_Dxf(benchmark::State& state)
{
    const Document doc = test::RealisticDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(DxfBytes(doc).size());
}
BENCHMARK(BM_Dxf)->Unit(benchmark::kMillisecond);

void BM_Csv(benchmark::State& state)
{
    const Document doc = test::RealisticDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(CsvBytes(doc, true).size());
}
BENCHMARK(BM_Csv)->Unit(benchmark::kMillisecond);

// --- the straight-on image against OpenCV's warp and PNG ----------------------

// A 4 x 2.8 m reference over most of the 24-megapixel photo, seen at an
// angle: at the photo's own millimetres per pixel the straight-on image is
// about 17 megapixels.
Document WallDocument()
{
    Document doc;
    SetReferenceRect(doc, {TDPoint{1000, 800}, {5000, 600}, {5200, 3400}, {800, 3200}}, true);
    doc.KijunWText = "4000";
    doc.KijunHText = "2800";
    return doc;
}

void BM_Rectified(benchmark::State& state)
{
    const Photo photo = LoadPhoto(TestPhoto()).photo;
    const Document doc = WallDocument();
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("wall.png")).toStdString();
    for (auto _ : state) {
        const std::string error = WriteRectified(path, doc, photo.Image(), std::nullopt);
        if (!error.empty())
            state.SkipWithError(error.c_str());
    }
    const Rectified r = Rectify(photo.Image(), doc, ReferenceMmPerPixel(doc));
    state.counters["megapixels"] = r.image.width() * static_cast<double>(r.image.height()) / 1e6;
    state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
}
BENCHMARK(BM_Rectified)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The reference: the same size of image warped by OpenCV directly and
// written with cv::imencode at its default PNG settings.
void BM_RectifiedOpenCv(benchmark::State& state)
{
    const Photo photo = LoadPhoto(TestPhoto()).photo;
    const Document doc = WallDocument();
    const Rectified sized = Rectify(photo.Image(), doc, ReferenceMmPerPixel(doc));
    const QImage& rgb = photo.Image();
    const cv::Mat source(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         static_cast<std::size_t>(rgb.bytesPerLine()));
    const int w = sized.image.width(), h = sized.image.height();
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const std::vector<cv::Point2f> quad{{1000, 800}, {5000, 600}, {5200, 3400}, {800, 3200}};
    const std::vector<cv::Point2f> box{{0.05f * fw, 0.05f * fh}, {0.95f * fw, 0.05f * fh}, {0.95f * fw, 0.95f * fh}, {0.05f * fw, 0.95f * fh}};
    const cv::Mat map = cv::getPerspectiveTransform(quad, box);
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("wall.png")).toStdString();
    for (auto _ : state) {
        cv::Mat target;
        cv::warpPerspective(source, target, map, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                            cv::Scalar(255, 255, 255));
        std::vector<uchar> png;
        cv::imencode(".png", target, png);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
}
BENCHMARK(BM_RectifiedOpenCv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// --- the history: 500 single-mark edits of the 3,000-mark document ----------

// Each edit moves one end of a distance, as a drag does.  history_MB: what
// the history holds afterwards; one_copy_MB: one whole copy of the work,
// what every step held when steps copied the work.
void BM_UndoHistory(benchmark::State& state)
{
    double held = 0, oneCopy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Editor editor(test::RealisticDocument());
        state.ResumeTiming();
        for (int i = 0; i < 500; ++i) {
            const std::int32_t k = 1 + (i * 37) % editor.Doc().Plane.DistanceCount();
            const TDistance& d = editor.Doc().Plane.Distances[k];
            editor.MoveDistanceEnd(k, true, TDPoint{d.start.x + 1, d.start.y}, 0);
            if (i == 0)
                oneCopy = static_cast<double>(editor.HistoryBytes());
        }
        held = static_cast<double>(editor.HistoryBytes());
    }
    state.counters["history_MB"] = held / 1e6;
    state.counters["one_copy_MB"] = oneCopy / 1e6;
}
BENCHMARK(BM_UndoHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

// --- autosave at 30,000 marks: the window's part ------------------------------

// The window's thread's time for one autosave after a change, in a real
// window with 30,000 distances: /background:1 the snapshot handed to the
// writer's thread (the write itself is waited for outside the time);
// /background:0 the whole write on the window's thread, as it always was.
void BM_Autosave(benchmark::State& state)
{
    test::Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("wall.jpg"), QColor(120, 80, 40), QSize(1200, 900));
    w.Edit().SetReference({TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}});
    w.Edit().Group("many", [&] {
        for (int i = 0; i < 30000; ++i)
            w.Edit().AddDistance({100.0 + i % 800, 100.0 + i / 100}, {150.0 + i % 800, 120.0 + i / 100}, false);
    });
    const bool background = state.range(0) == 1;
    int n = 0;
    for (auto _ : state) {
        ++n;
        w.Edit().AddDistance({200.0 + n % 100, 300}, {260.0 + n % 100, 320}, false);
        w.WorkingFolder();  // the write before this one is done
        QCoreApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        if (background)
            w.WriteRecovery();
        else
            w.WriteRecoveryNow();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        w.WorkingFolder();
        QCoreApplication::processEvents();
    }
    f.Close();
}
BENCHMARK(BM_Autosave)->ArgName("background")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);

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
