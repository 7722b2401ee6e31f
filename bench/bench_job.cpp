// A job of many photos in the window: the job's totals after an edit of the
// photo shown, beside the same edit of the same photo without a job.

#include "edit/editor.h"
#include "image/photo.h"
#include "shell/job_panel.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>

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
