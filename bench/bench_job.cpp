// A job of many photos in the window: the job's totals after an edit of the
// photo shown, beside the same edit of the same photo without a job.

#include "edit/editor.h"
#include "image/photo.h"
#include "shell/job_panel.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>

#include "window_fixture.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace kvx {
namespace {

constexpr int kPhotos = 50;
constexpr int kMarksPerPhoto = 60;  // 3,000 marks in the job

// A wall's worth of marks far from a small reference, as a site photo has them.
void MeasureWall(Editor& e, int photo)
{
    e.SetReferenceWithSize({TDPoint{100, 400}, {160, 400}, {160, 440}, {100, 440}}, "300", "200");
    e.Group("marks", [&] {
        for (int i = 0; i < kMarksPerPhoto - 4; ++i)
            e.AddDistance({300.0 + (i * 7 + photo) % 400, 60.0 + i * 4}, {420.0 + (i * 5) % 300, 80.0 + i * 4}, false);
        for (int i = 0; i < 4; ++i)
            e.AddSpace({TDPoint{500.0 + i * 40, 100}, {530.0 + i * 40, 100}, {530.0 + i * 40, 200}, {500.0 + i * 40, 200},
                        {500.0 + i * 40, 100}},
                       i == 3 ? kSpaceSub : kSpaceAdd, "wall");
    });
}

QString Totals(TF001& w)
{
    const auto* label = w.JobDock()->findChild<QLabel*>(QStringLiteral("JobTotals"));
    return label ? label->text() : QString();
}

// /job:1 the open photo is one of a job of 50 measured photos (60 marks each)
// whose totals follow the edit; /job:0 the same photo and edit without a job.
// The time is the edit's, with every reaction of the window to it.
void BM_EditWithJobTotals(benchmark::State& state)
{
    const bool withJob = state.range(0) == 1;
    test::Fixture f;
    TF001& w = f.Open();
    QTemporaryDir folder;
    QStringList photos;
    for (int i = 0; i < (withJob ? kPhotos : 1); ++i) {
        QImage image(800, 600, QImage::Format_RGB888);
        image.fill(QColor(40 + i * 4, 120, 200 - i * 3));
        photos << folder.filePath(QStringLiteral("wall%1.jpg").arg(i));
        Photo(image).SaveJpeg(photos.back());
    }
    if (withJob) {
        if (!w.NewJob(folder.filePath(QStringLiteral("site.kvxjob")))) {
            state.SkipWithError("no job");
            return;
        }
        w.AddToCurrentJob(photos);
        for (int i = kPhotos - 1; i >= 0; --i) {
            w.ChooseJobPhoto(i);
            MeasureWall(w.Edit(), i);
        }
        w.ChooseJobPhoto(1);
        w.ChooseJobPhoto(0);
        // Every other photo's settings read in the background.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (Totals(w).contains(QStringLiteral("読み込み中")) && std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    } else {
        w.LoadFile(photos.front());
        MeasureWall(w.Edit(), 0);
    }
    int n = 0;
    for (auto _ : state) {
        ++n;
        w.Edit().MoveDistanceEnd(1, false, {420.0 + n % 50, 80}, 0);
    }
    if (withJob) {
        // The totals must be the whole job's, every photo read.
        const QString totals = Totals(w);
        if (totals.contains(QStringLiteral("読み込み中")) || !totals.contains(QStringLiteral("距離 ")))
            state.SkipWithError("the job's totals never came in");
        for (int i = 0; i < kPhotos; ++i)
            if (!w.JobDock()->RowText(i).contains(QStringLiteral("基準: 設定済み")))
                state.SkipWithError("a photo of the job was read without its measurements");
        state.counters["job_marks"] = kPhotos * kMarksPerPhoto;
    }
    f.Close();
}
BENCHMARK(BM_EditWithJobTotals)->ArgName("job")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(40);

// A job of 50 photos of 24 megapixels opened in a fresh window: the time until
// the panel lists them and can be clicked (OpenJob returns), the photos' reads
// and thumbnails following in the background.  The reference is the same job
// with a single photo.
void BM_OpenJob(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    QStringList photos;
    QImage image(6000, 4000, QImage::Format_RGB888);
    for (int i = 0; i < count; ++i) {
        image.fill(QColor(40 + i * 4, 120, 200 - i * 3));
        photos << folder.filePath(QStringLiteral("wall%1.jpg").arg(i));
        Photo(image).SaveJpeg(photos.back());
    }
    const QString job = folder.filePath(QStringLiteral("site.kvxjob"));
    test::Fixture f;
    {
        TF001& w = f.Open();
        if (!w.NewJob(job)) {
            state.SkipWithError("no job");
            return;
        }
        w.AddToCurrentJob(photos);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        f.Close();
    }
    for (auto _ : state) {
        state.PauseTiming();
        TF001& w = f.Open();
        state.ResumeTiming();
        const bool opened = w.OpenJob(job);
        state.PauseTiming();
        if (!opened || w.JobDock()->Count() != count)
            state.SkipWithError("the job did not open");
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        f.Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenJob)->ArgName("photos")->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

// The real program's --batch-job over a job of 200 photos (2 megapixels,
// with camera-like noise; nothing measured on them, so the run is opening
// and decoding each photo and writing the job's results file): -j 2 against the reference -j 1 (aim on a 2-core
// machine: at most 0.6 times its time), wall time of the whole run.
void BM_BatchJob(benchmark::State& state)
{
    constexpr int kCount = 200;
    static QTemporaryDir folder;
    static QTemporaryDir home;
    const QString job = folder.filePath(QStringLiteral("site.kvxjob"));
    if (!QFileInfo::exists(job)) {
        QImage image(1600, 1200, QImage::Format_RGB888);
        QStringList args{QStringLiteral("--new-job"), job};
        for (int i = 0; i < kCount; ++i) {
            std::uint32_t noise = 12345u + static_cast<std::uint32_t>(i);
            for (int y = 0; y < image.height(); ++y) {
                uchar* row = image.scanLine(y);
                for (int x = 0; x < image.width() * 3; ++x) {
                    noise = noise * 1664525u + 1013904223u;
                    row[x] = static_cast<uchar>(((x / 9 + y / 7) & 0x7F) + (noise >> 26));
                }
            }
            const QString photo = folder.filePath(QStringLiteral("wall%1.jpg").arg(i));
            Photo(image).SaveJpeg(photo);
            args << photo;
        }
        QProcess make;
        make.start(QStringLiteral(KALVEX_BINARY), args + QStringList{QStringLiteral("--home"), home.path()});
        if (!make.waitForFinished(600000) || make.exitCode() != 0) {
            state.SkipWithError("no job");
            return;
        }
    }
    const QString jobs = QString::number(state.range(0));
    for (auto _ : state) {
        QProcess run;
        const auto start = std::chrono::steady_clock::now();
        run.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch-job"), job, QStringLiteral("-j"), jobs,
                                                  QStringLiteral("--home"), home.path(), QStringLiteral("--table"),
                                                  folder.filePath(QStringLiteral("table.csv"))});
        const bool done = run.waitForFinished(600000);
        const auto end = std::chrono::steady_clock::now();
        if (!done || run.exitCode() != 0)
            state.SkipWithError(run.readAllStandardError().constData());
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_BatchJob)->ArgName("j")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

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
