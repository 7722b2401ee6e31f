// How long the measuring core takes for what a user waits on: one plane
// coordinate, and one summary of a busy photo.

#include "edit/editor.h"
#include "measure/calibration.h"
#include "measure/ideal_view.h"
#include "measure/computation.h"
#include "measure/lens.h"
#include "measure/results.h"
#include "measure/uncertainty.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/overlay/overlay.h"
#include "output/overlay/recording_canvas.h"

#include "realistic.h"
#include "view/view_mapping.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

namespace kvx {
namespace {

// A wall seen at an angle: W = H = 1000 mm, about 0.5 px per mm.
TDPoint Project(double X, double Y)
{
    const double yaw = 0.5, pitch = 0.2;
    const double x1 = X * std::cos(yaw);
    const double z1 = -X * std::sin(yaw);
    const double y1 = Y * std::cos(pitch) - z1 * std::sin(pitch);
    const double z2 = Y * std::sin(pitch) + z1 * std::cos(pitch) + 30000;
    return DPoint(2000 + 15000 * x1 / z2, 1500 - 15000 * y1 / z2);
}

Document Wall()
{
    Document doc;
    SetReferenceRect(doc, {Project(-500, 500), Project(500, 500), Project(500, -500), Project(-500, -500)}, true);
    return doc;
}

// A point range(0) cells along the wall, away from the camera (a point that
// far toward the camera would be behind it), and a little below the cell.
TDPoint Along(int cells)
{
    return Project(-cells * 1000.0 - 123.4, -321.5);
}

// One plane coordinate from the calibration's kept lines, past the memo of
// answers: what a point never asked before costs.
void BM_GetDelta(benchmark::State& state)
{
    const Document doc = Wall();
    const TDPoint p = Along(static_cast<int>(state.range(0)));
    WalkLines lines(doc.Plane);
    for (auto _ : state)
        benchmark::DoNotOptimize(lines.Delta(doc.W(), doc.H(), p));
}
BENCHMARK(BM_GetDelta)->Arg(0)->Arg(10)->Arg(300)->Arg(1000);

// The reference: the walk step by step, building every line again (as the
// diagnostic drawing still does).
void BM_GetDeltaStepByStep(benchmark::State& state)
{
    const Document doc = Wall();
    const TDPoint p = Along(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(GetDelta(doc.Plane, doc.W(), doc.H(), p));
}
BENCHMARK(BM_GetDeltaStepByStep)->Arg(0)->Arg(10)->Arg(300)->Arg(1000);

// 200 distances and 100 areas of 8 points spread over +-10 m around the cell.
Document BusyDocument()
{
    Document doc = Wall();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-10000, 10000);
    for (int i = 0; i < 200; ++i)
        doc.Plane.Distances.Append(TDistance{0, Project(pos(rng), pos(rng)), Project(pos(rng), pos(rng))});
    for (int i = 0; i < 100; ++i) {
        TSpace s;
        s.kind = i % 3 == 0 ? kSpaceSub : kSpaceAdd;
        const double cx = pos(rng) * 0.8, cy = pos(rng) * 0.8;
        for (int k = 0; k < 7; ++k) {
            const double a = k * 2 * 3.14159265358979 / 7;
            s.points.push_back(Project(cx + 1500 * std::cos(a), cy + 1500 * std::sin(a)));
        }
        s.points.push_back(s.points.front());
        s.correctedPoints.resize(s.points.size());
        doc.Plane.Spaces.Append(s);
    }
    doc.CurrentDistance = 100;
    doc.CurrentSpace = 50;
    doc.TankaText = "2500";
    return doc;
}

// Cold: the first summary after the calibration changed, every plane
// coordinate walked.  Warm: the same document again, answered from the memo.
void BM_SetCalcu(benchmark::State& state)
{
    const Document doc = BusyDocument();
    const SummaryFocus focus = state.range(0) == 1 ? SummaryFocus::Areas : SummaryFocus::Distance;
    const bool cold = state.range(1) == 0;
    for (auto _ : state) {
        if (cold)
            doc.Deltas.Clear();
        benchmark::DoNotOptimize(SummaryLine(doc, focus));
    }
}
// The summary of the areas (every area of the group is computed) and of a distance.
BENCHMARK(BM_SetCalcu)->ArgNames({"areas", "warm"})->Args({1, 0})->Args({1, 1})->Args({0, 0})->Unit(benchmark::kMillisecond);

// The realistic document (an A4 sheet, 300 marks 30 to 300 cells away, a
// chain of range(0) segments): its CSV, the first time after the calibration
// changed, every plane coordinate searched.
void BM_RealisticCsv(benchmark::State& state)
{
    const Document doc = test::RealisticDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        doc.Deltas.Clear();
        benchmark::DoNotOptimize(CsvBytes(doc, true).size());
    }
}
BENCHMARK(BM_RealisticCsv)->ArgName("chain")->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

// Its summary lines of a distance and of the areas, cold (edited 0); and as
// the window asks for them after an edit of one mark (edited 1): the end of
// a far distance moved to a point never asked before, the calibration and
// with it the memo of plane coordinates unchanged.
void BM_RealisticSummary(benchmark::State& state)
{
    Document doc = test::RealisticDocument();
    const SummaryFocus focus = state.range(0) == 1 ? SummaryFocus::Areas : SummaryFocus::Distance;
    const bool edited = state.range(1) == 1;
    const TDPoint end = doc.Plane.Distances[1].end;
    benchmark::DoNotOptimize(SummaryLine(doc, focus));
    int i = 0;
    for (auto _ : state) {
        if (edited)
            doc.Plane.Distances[1].end = {end.x + 0.01 * (++i % 1000), end.y};
        else
            doc.Deltas.Clear();
        benchmark::DoNotOptimize(SummaryLine(doc, focus));
    }
}
BENCHMARK(BM_RealisticSummary)
    ->ArgNames({"areas", "edited"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The table of results of the realistic document, as the window shows it
// after every change: each result with its uncertainty, each group's totals
// with the uncertainty of their sums; cold (plane coordinates and
// uncertainties both worked out afresh).
void BM_RealisticResults(benchmark::State& state)
{
    const Document doc = test::RealisticDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        doc.Deltas.Clear();
        const std::vector<ResultRow> rows = ResultRows(doc, 0.5);
        benchmark::DoNotOptimize(GroupTotals(doc, rows, 0.5).size());
    }
}
BENCHMARK(BM_RealisticResults)->ArgName("chain")->Arg(0)->Arg(2700)->Arg(29700)->Unit(benchmark::kMillisecond);

// The same table kept by the window from one change to the next, after a
// single edit: the end of one far distance moved to a point never asked
// before (the calibration unchanged).  Only that row and its group's sums are
// worked out again.  range(0): the chain's segments (300, 3,000 and 30,000
// marks).  BM_RealisticResults above is the reference: the whole table.
void BM_ResultTableAfterEdit(benchmark::State& state)
{
    Document doc = test::RealisticDocument(static_cast<int>(state.range(0)));
    ResultTable table;
    table.Update(doc, 0.5);
    const TDPoint end = doc.Plane.Distances[1].end;
    std::size_t worked = 0;
    int i = 0;
    for (auto _ : state) {
        doc.Plane.Distances[1].end = {end.x + 0.01 * (++i % 1000), end.y};
        table.Update(doc, 0.5);
        worked += table.RowsWorkedOut();
        benchmark::DoNotOptimize(table.Totals().size());
    }
    state.counters["rows"] = benchmark::Counter(static_cast<double>(worked), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ResultTableAfterEdit)->ArgName("chain")->Arg(0)->Arg(2700)->Arg(29700)->Unit(benchmark::kMillisecond);

// The realistic document as the window holds it (in an Editor), with the
// division model k = -0.2 in force (lens 1) or no correction (lens 0).
struct LensDocument {
    Editor editor;
    explicit LensDocument(bool lens) : editor(test::RealisticDocument())
    {
        if (lens) {
            LensChoice choice;
            choice.kind = LensChoiceKind::Profile;
            choice.profileName = "bench";
            choice.model = LensModel::Division(-0.2, test::kRealisticWidth, test::kRealisticHeight);
            editor.SetLensChoice(choice);
        }
    }
};

// What a pointer move asks of an unchanged document: the status line of the
// mark under the pointer (a far distance with its uncertainty) and the
// summary of the current distance, which ends the 2,700-segment chain, each
// through the document to measure on.  With a lens the ideal view is made
// once for the document's revision; BM_LensPointerMoveUncached is the
// reference, the view made again for every call.
void BM_LensPointerMove(benchmark::State& state)
{
    const LensDocument d(state.range(0) == 1);
    const Document& doc = d.editor.Doc();
    for (auto _ : state) {
        {
            const Measured measured(doc);
            TDistanceResult r;
            CalcuDistance(*measured, 7, r, ChainSums::Skip);
            benchmark::DoNotOptimize(r.distance);
            benchmark::DoNotOptimize(DistanceUncertainty(*measured, 7, 0.5));
        }
        benchmark::DoNotOptimize(SummaryLine(*Measured(doc), SummaryFocus::Distance));
    }
}
BENCHMARK(BM_LensPointerMove)->ArgName("lens")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LensPointerMoveUncached(benchmark::State& state)
{
    const LensDocument d(true);
    for (auto _ : state) {
        const Document view = IdealView(d.editor.Doc());
        TDistanceResult r;
        CalcuDistance(view, 7, r, ChainSums::Skip);
        benchmark::DoNotOptimize(r.distance);
        benchmark::DoNotOptimize(DistanceUncertainty(view, 7, 0.5));
        benchmark::DoNotOptimize(SummaryLine(IdealView(d.editor.Doc()), SummaryFocus::Distance));
    }
}
BENCHMARK(BM_LensPointerMoveUncached)->Unit(benchmark::kMillisecond);

// The realistic document's overlay over a 1200 x 800 display at fit scale,
// on the recording canvas (the plane values and labels, no painting): the
// first repaint after the calibration changed (warm 0) and every later one
// (warm 1), with a chain of range(1) segments: 300, 3,000 and 30,000 marks.
// A warm repaint must find every answer in the memo however many marks there
// are; the painted repaint is display_bench's BM_RealisticOverlay.
void BM_RealisticOverlayValues(benchmark::State& state)
{
    const Document doc = test::RealisticDocument(static_cast<int>(state.range(1)));
    const TAppSettings settings;
    const double scale = std::min(1200.0 / test::kRealisticWidth, 800.0 / test::kRealisticHeight);
    const ViewState v{0, 0, scale, 0, 0};
    OverlayContext context = DisplayContext(v, 1200, 800, test::kRealisticWidth, test::kRealisticHeight, settings);
    context.uCommand = uCommand::Distance;
    const bool cold = state.range(0) == 0;
    {
        RecordingCanvas canvas;
        DrawBase(canvas, doc, context);
    }
    for (auto _ : state) {
        if (cold)
            doc.Deltas.Clear();
        RecordingCanvas canvas;
        DrawBase(canvas, doc, context);
        benchmark::DoNotOptimize(canvas.calls.size());
    }
}
BENCHMARK(BM_RealisticOverlayValues)
    ->ArgNames({"warm", "chain"})
    ->ArgsProduct({{0, 1}, {0, 2700, 29700}})
    ->Unit(benchmark::kMillisecond);

// An outline of range(0) corners traced around a wall 3 m across (a traced
// contour, not clicked): what each stage of its life costs.  Every stage
// must grow in proportion to the corners; stage range(1): 0 its plane file
// read back, 1 its area and perimeter, 2 its uncertainty, 3 the table of
// results and the CSV with it, all cold.
Document LargeOutline(int corners)
{
    Document doc = Wall();
    TSpace s;
    s.group = 0;
    for (int j = 0; j < corners; ++j) {
        const double a = 2 * std::numbers::pi * j / corners;
        // A wavy circle, so that no three neighbours line up.
        const double r = 1500 + 100 * std::sin(37 * a);
        s.points.push_back(Project(r * std::cos(a), r * std::sin(a)));
    }
    s.points.push_back(s.points.front());
    s.correctedPoints.resize(s.points.size());
    doc.Plane.Spaces.Append(s);
    return doc;
}

void BM_LargeOutline(benchmark::State& state)
{
    Document doc = LargeOutline(static_cast<int>(state.range(0)));
    const auto stage = state.range(1);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kalvex-bench-" + std::to_string(::getpid()));
    if (stage == 0) {
        std::filesystem::create_directories(folder);
        std::ofstream(WorkingFile(folder, 1), std::ios::binary) << EncodePlaneFile(doc);
    }
    for (auto _ : state) {
        doc.Deltas.Clear();
        switch (stage) {
        case 0: {
            Document loaded;
            LoadTemp(loaded, 1, folder);
            benchmark::DoNotOptimize(loaded.Plane.SpaceCount());
            break;
        }
        case 1: {
            TSpaceResult r;
            CalcuSpace(doc, 1, r);
            benchmark::DoNotOptimize(r.area);
            break;
        }
        case 2:
            benchmark::DoNotOptimize(SpaceUncertainty(doc, 1, 0.5));
            break;
        default: {
            const std::vector<ResultRow> rows = ResultRows(doc, 0.5);
            benchmark::DoNotOptimize(GroupTotals(doc, rows, 0.5).size());
            benchmark::DoNotOptimize(CsvBytes(doc, true).size());
            break;
        }
        }
    }
    state.SetComplexityN(state.range(0));
    if (stage == 0)
        std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LargeOutline)
    ->ArgNames({"corners", "stage"})
    ->ArgsProduct({{3000, 10000, 30000}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);
// One photo point to the ideal camera and back, as every point drawn or
// measured will go: 0 no correction, 1 the division model, 2 Brown-Conrady
// (inverted by Newton's method).
void BM_LensRoundTrip(benchmark::State& state)
{
    const LensModel lenses[] = {LensModel{}, LensModel::Division(-0.12, 6000, 4000),
                                LensModel::Brown(BrownConrady{4500, 4500, 2999.5, 1999.5, -0.2, 0.08, 1e-4, -1e-4, -0.01})};
    const LensModel& lens = lenses[state.range(0)];
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> x(0, 6000), y(0, 4000);
    std::vector<TDPoint> points(1024);
    for (TDPoint& p : points)
        p = {x(gen), y(gen)};
    std::size_t i = 0;
    for (auto _ : state) {
        const TDPoint& p = points[i++ & 1023];
        const std::optional<TDPoint> q = ToIdeal(lens, p);
        benchmark::DoNotOptimize(q ? ToPhoto(lens, *q) : q);
    }
}
BENCHMARK(BM_LensRoundTrip)->ArgName("model")->Arg(0)->Arg(1)->Arg(2);

} // namespace
} // namespace kvx

BENCHMARK_MAIN();
