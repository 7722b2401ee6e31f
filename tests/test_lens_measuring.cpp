// Measuring through a lens: a wall photographed through a known lens,
// measured the way the user measures it (the reference and the marks placed
// on the photo, straight edges clicked along the wall's lines), and the
// lengths every output gives compared with the wall's own.
#include "base/translate.h"
#include "edit/editor.h"
#include "editor_access.h"
#include "lens_scene.h"
#include "measure/calibration.h"
#include "interact/commands.h"
#include "measure/computation.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"
#include "measure/results.h"
#include "measure/uncertainty.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/export/results_table.h"
#include "output/overlay/overlay.h"
#include "output/overlay/recording_canvas.h"
#include "scene.h"
#include "testing.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace kvx {
namespace {

using test::Camera;
using test::Clicks;
using test::LensTruth;
using test::kH;
using test::kW;

namespace fs = std::filesystem;

constexpr double kSigma = 0.5;

// A wall photographed through lens: the 1000 x 800 mm reference in the
// middle and a distance for every segment of the wall the photo shows, all
// placed on the photo exactly where the lens put them.  orientation turns
// the photo as a phone stores it: the lens belongs to the stored frame.
struct Wall {
    Camera cam{30, 10};
    LensTruth lens;
    int orientation = 1;
    std::vector<test::Segment> segments;

    PixelSize Stored() const { return {static_cast<std::int64_t>(kW), static_cast<std::int64_t>(kH)}; }
    // A wall point as the photo shows it, turned upright.
    TDPoint Shown(TDPoint wall) const
    {
        return UprightPoint(orientation, Stored(), test::Shot(cam, lens, wall.x, wall.y));
    }
    std::vector<TDPoint> ShownEdge(const std::pair<TDPoint, TDPoint>& line, Clicks& click) const
    {
        std::vector<TDPoint> points = test::EdgeOnPhoto(cam, lens, line.first, line.second, 12, click);
        for (TDPoint& p : points)
            p = UprightPoint(orientation, Stored(), p);
        return points;
    }

    void Stage(Editor& editor)
    {
        segments = test::WallSegments(cam, lens);
        editor.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{orientation, Stored()});
        // The photo turned a quarter shows the wall on its side: the
        // reference's 800 mm side runs across the photo.
        const bool turned = SwapsSides(orientation);
        editor.SetReferenceWithSize({Shown({-500, 400}), Shown({500, 400}), Shown({500, -400}), Shown({-500, -400})},
                                    turned ? "800" : "1000", turned ? "1000" : "800");
        for (const test::Segment& s : segments)
            editor.AddDistance(Shown(s.from), Shown(s.to), false);
    }

    // Two straight edges along wall lines near the photo's top and side.
    void AddEdges(Editor& editor, EdgeFit& fit) const
    {
        Clicks click(0.3);
        const auto top = test::WallLineNear(cam, lens, true, 0.1 * kH);
        const auto side = test::WallLineNear(cam, lens, false, 0.1 * kW);
        editor.AddStraightEdge(ShownEdge(top, click));
        fit = editor.AddStraightEdge(ShownEdge(side, click));
    }

    // doc without its lens: what the program gave before it knew of one.
    static Document Uncorrected(const Document& doc)
    {
        Document plain = doc;
        plain.Lens.reset();
        plain.AutoLens = {};
        return plain;
    }

    // The median relative error of the distances as doc measures them.
    double MedianError(const Document& doc) const
    {
        std::vector<double> errors;
        for (std::int32_t i = 1; i <= doc.Plane.DistanceCount(); ++i) {
            TDistanceResult r;
            CalcuDistance(doc, i, r, ChainSums::Skip);
            const test::Segment& s = segments[static_cast<std::size_t>(i - 1)];
            const double real = std::hypot(s.to.x - s.from.x, s.to.y - s.from.y);
            errors.push_back(std::fabs(r.distance - real) / real);
        }
        return test::Median(errors);
    }
};

struct LensCase {
    const char* what;
    LensTruth lens;
    int orientation;
};

class MeasuringThroughALens : public ::testing::TestWithParam<LensCase> {};

// Two edges clicked along the wall bring the lengths the program gives to
// within 0.2 % over the whole photo, whichever way the phone stored it.
TEST_P(MeasuringThroughALens, TwoStraightEdgesBringLengthsWithin)
{
    Wall wall{.lens = GetParam().lens, .orientation = GetParam().orientation};
    Editor editor;
    wall.Stage(editor);
    ASSERT_GT(wall.segments.size(), 50u);
    const double before = wall.MedianError(*Measured(editor.Doc()));
    EdgeFit fit;
    wall.AddEdges(editor, fit);
    ASSERT_TRUE(fit) << "refused: " << static_cast<int>(fit.fault);
    ASSERT_TRUE(CorrectsLens(editor.Doc()));
    EXPECT_NEAR(fit.k, GetParam().lens.k, 3 * fit.kUncertainty);
    const double after = wall.MedianError(*Measured(editor.Doc()));
    RecordProperty("before", std::to_string(before));
    RecordProperty("after", std::to_string(after));
    EXPECT_LT(after, 0.002) << "uncorrected " << before;
    EXPECT_GT(before, 5 * after);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, MeasuringThroughALens,
    ::testing::Values(LensCase{"barrel", LensTruth::Division(-0.2, kW, kH), 1},
                      LensCase{"pincushion", LensTruth::Division(0.15, kW, kH), 1},
                      LensCase{"barrel_portrait", LensTruth::Division(-0.2, kW, kH), 6},
                      LensCase{"barrel_upside_down", LensTruth::Division(-0.2, kW, kH), 3},
                      LensCase{"barrel_mirrored_portrait", LensTruth::Division(-0.2, kW, kH), 5}),
    [](const ::testing::TestParamInfo<LensCase>& param) { return std::string(param.param.what); });

// The outputs read the numbers through the lens as the window does: the
// results table's value of every distance is the one the summary computes,
// and the CSV's lengths are the corrected ones.
TEST(MeasuringThroughALens, OutputsAgreeWithTheCorrectedNumbers)
{
    Wall wall{.lens = LensTruth::Division(-0.2, kW, kH)};
    Editor editor;
    wall.Stage(editor);
    const std::string csvBefore = CsvBytes(editor.Doc(), true);
    EdgeFit fit;
    wall.AddEdges(editor, fit);
    ASSERT_TRUE(fit);
    const Document& doc = editor.Doc();
    const Measured measured(doc);
    const std::vector<ResultRow> rows = ResultRows(*measured, kSigma);
    ASSERT_EQ(rows.size(), wall.segments.size());
    const std::string table = ResultsTableBytes({doc}, kSigma);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const test::Segment& s = wall.segments[i];
        const double real = std::hypot(s.to.x - s.from.x, s.to.y - s.from.y);
        EXPECT_NEAR(rows[i].value, real, 0.01 * real) << "distance " << i + 1;
    }
    EXPECT_EQ(table, ResultsTableBytes({*measured}, kSigma)) << "the results file measures on the ideal camera";
    EXPECT_NE(table, ResultsTableBytes({wall.Uncorrected(doc)}, kSigma));
    const std::string csv = CsvBytes(doc, true);
    EXPECT_NE(csv, csvBefore);
    EXPECT_EQ(csv, CsvBytes(*measured, true)) << "the CSV measures on the ideal camera";
}

// Without a correction in force nothing changes: no lens chosen, "none"
// chosen, and edges too few to tell a lens all give the bytes of a photo that
// never had a choice.
TEST(MeasuringThroughALens, NoCorrectionKeepsEveryByte)
{
    Wall wall{.lens = LensTruth::Division(-0.2, kW, kH)};
    Editor plain;
    wall.Stage(plain);
    const std::string csv = CsvBytes(plain.Doc(), true);
    const std::string sd = SdBytes(plain.Doc(), 0);
    const std::string table = ResultsTableBytes({plain.Doc()}, kSigma);
    const std::string summary = SetCalcu(plain.Doc(), uCommand::Distance);

    Editor none;
    wall.Stage(none);
    none.SetLensChoice(LensChoice{});
    Editor oneEdge;
    wall.Stage(oneEdge);
    Clicks click(0.3);
    const EdgeFit fit = oneEdge.AddStraightEdge(wall.ShownEdge(test::WallLineNear(wall.cam, wall.lens, true, 0.1 * kH), click));
    EXPECT_EQ(fit.fault, EdgeFitFault::TooFewEdges);
    for (const Editor* e : {&none, &oneEdge}) {
        ASSERT_TRUE(e->Doc().Lens);
        EXPECT_FALSE(CorrectsLens(e->Doc()));
        EXPECT_EQ(&*Measured(e->Doc()), &e->Doc()) << "no copy is made";
        EXPECT_EQ(CsvBytes(e->Doc(), true), csv);
        EXPECT_EQ(SdBytes(e->Doc(), 0), sd);
        EXPECT_EQ(ResultsTableBytes({e->Doc()}, kSigma), table);
        EXPECT_EQ(SetCalcu(e->Doc(), uCommand::Distance), summary);
    }
}

// Every edge is a step of its own: undone, the lens it told goes with it.
TEST(MeasuringThroughALens, EdgesAreUndoneAndRedone)
{
    Wall wall{.lens = LensTruth::Division(-0.2, kW, kH)};
    Editor editor;
    wall.Stage(editor);
    EdgeFit fit;
    wall.AddEdges(editor, fit);
    ASSERT_TRUE(CorrectsLens(editor.Doc()));
    const LensChoice two = *editor.Doc().Lens;
    EXPECT_EQ(editor.UndoName(), Tn("Steps", "直線の追加"));
    test::TempFolder folder;
    test::ScriptedUi ui;
    ASSERT_TRUE(editor.Undo(folder.path(), ui));
    ASSERT_TRUE(editor.Doc().Lens);
    EXPECT_EQ(editor.Doc().Lens->edges.size(), 1u);
    EXPECT_FALSE(CorrectsLens(editor.Doc()));
    ASSERT_TRUE(editor.Redo(folder.path(), ui));
    EXPECT_EQ(*editor.Doc().Lens, two);

    // Moving a point fits again; deleting down to nothing takes the choice back.
    const TDPoint on = SensorToShown(editor.Doc(), two.edges[0][3]);
    const TDPoint moved{on.x, on.y + 40};
    fit = editor.MoveStraightEdgePoint(0, 3, moved);
    EXPECT_NE(editor.Doc().Lens->model, two.model);
    EXPECT_GT(fit.rmsAfter, 1.0) << "a point 40 px off its edge shows in the residual";
    editor.DeleteStraightEdge(1);
    editor.DeleteStraightEdge(0);
    EXPECT_FALSE(editor.Doc().Lens);
    ASSERT_TRUE(editor.Undo(folder.path(), ui));
    EXPECT_EQ(editor.Doc().Lens->edges.size(), 1u);
}

// The lens choice travels with the photo's working files: written with the
// setting, read back when the photo opens, copied with the photo's own files,
// and gone from both when the choice is taken back.
TEST(MeasuringThroughALens, ChoiceTravelsWithTheWorkingFiles)
{
    Wall wall{.lens = LensTruth::Division(-0.2, kW, kH)};
    test::TempFolder folder;
    test::ScriptedUi ui;
    LensChoice kept;
    {
        Editor editor;
        wall.Stage(editor);
        EdgeFit fit;
        wall.AddEdges(editor, fit);
        kept = *editor.Doc().Lens;
        ASSERT_TRUE(editor.SaveSetting(folder.path(), ui).all);
        editor.KeepPhotoFiles(folder.path(), ui);
        EXPECT_TRUE(fs::exists(WorkingFile(folder.path(), kLensFile)));
        EXPECT_TRUE(fs::exists(PerImageFile(folder.path(), ImageKeyOf(editor.Doc()), kLensFile)));
    }
    {
        Editor editor;
        editor.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{1, wall.Stored()});
        ASSERT_TRUE(LoadSet(editor.Doc(), folder.path()));
        ASSERT_TRUE(editor.LoadFirstSetting(folder.path()));
        ASSERT_TRUE(editor.Doc().Lens);
        EXPECT_EQ(*editor.Doc().Lens, kept);
        EXPECT_EQ(editor.Doc().Plane.DistanceCount(), static_cast<std::int32_t>(test::WallSegments(wall.cam, wall.lens).size()));

        // One edge tells no lens yet, and is kept all the same.
        editor.SetLensChoice(std::nullopt);
        Clicks click(0.3);
        editor.AddStraightEdge(wall.ShownEdge(test::WallLineNear(wall.cam, wall.lens, true, 0.1 * kH), click));
        ASSERT_TRUE(editor.SaveSetting(folder.path(), ui).all);
        const LensChoice oneEdge = *editor.Doc().Lens;
        Editor reopened;
        reopened.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{1, wall.Stored()});
        ASSERT_NO_THROW(reopened.LoadFirstSetting(folder.path()));
        ASSERT_TRUE(reopened.Doc().Lens);
        EXPECT_EQ(*reopened.Doc().Lens, oneEdge);

        editor.SetLensChoice(std::nullopt);
        ASSERT_TRUE(editor.SaveSetting(folder.path(), ui).all);
        editor.KeepPhotoFiles(folder.path(), ui);
        EXPECT_FALSE(fs::exists(WorkingFile(folder.path(), kLensFile)));
        EXPECT_FALSE(fs::exists(PerImageFile(folder.path(), ImageKeyOf(editor.Doc()), kLensFile)));
    }
    EXPECT_TRUE(ui.warnings.empty());
}

// A damaged lens file costs the correction, never the measurements: the
// opening says which file it could not read, and the plane is there.
TEST(MeasuringThroughALens, DamagedLensFileKeepsTheMeasurements)
{
    Wall wall{.lens = LensTruth::Division(-0.2, kW, kH)};
    test::TempFolder folder;
    test::ScriptedUi ui;
    {
        Editor editor;
        wall.Stage(editor);
        ASSERT_TRUE(editor.SaveSetting(folder.path(), ui).all);
    }
    for (const std::string bytes : {"kalvex-lens 1\nchoice edges\nmodel division nan 4000 3000\n", "not ours\n",
                                    "kalvex-lens 1\nchoice none\n"}) {
        test::WriteAll(WorkingFile(folder.path(), kLensFile), bytes);
        Editor editor;
        editor.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{1, wall.Stored()});
        EXPECT_THROW(editor.LoadFirstSetting(folder.path()), WorkFileReadError) << bytes;
        EXPECT_FALSE(editor.Doc().Lens) << bytes;
        EXPECT_EQ(editor.Doc().Plane.base.BaseSet, 1) << bytes;
        EXPECT_GT(editor.Doc().Plane.DistanceCount(), 50) << bytes;
    }
}

// The "±" of a length far from the reference, with the lens fitted from two
// clicked edges, agrees with what repeating the whole measurement gives:
// every click (the reference's corners, the distance's ends, the edges'
// points) jittered anew and the lens fitted again each time.
TEST(MeasuringThroughALens, UncertaintyAgreesWithRepeatedMeasurements)
{
    constexpr double kClick = 0.5;
    Wall wall{.lens = LensTruth::Division(-0.2, kW, kH)};
    const auto top = test::WallLineNear(wall.cam, wall.lens, true, 0.1 * kH);
    const auto side = test::WallLineNear(wall.cam, wall.lens, false, 0.1 * kW);
    const TDPoint from{-6000, 4000}, to{-1500, 3500};
    std::optional<double> clicksOnly;
    // Edges clicked carelessly, two pixels off their lines: the lens's share
    // of the "±" outweighs the clicks'.
    auto measure = [&](Clicks& click, Clicks& careless, std::optional<double>* uncertainty) {
        Editor editor;
        editor.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{1, wall.Stored()});
        // A large reference: the clicks' own share stays small, and the
        // lens's shows.
        editor.SetReferenceWithSize({click(wall.Shown({-2000, 1500})), click(wall.Shown({2000, 1500})),
                                     click(wall.Shown({2000, -1500})), click(wall.Shown({-2000, -1500}))},
                                    "4000", "3000");
        editor.AddDistance(click(wall.Shown(from)), click(wall.Shown(to)), false);
        editor.AddStraightEdge(wall.ShownEdge(top, careless));
        editor.AddStraightEdge(wall.ShownEdge(side, careless));
        const Measured m(editor.Doc());
        if (uncertainty) {
            *uncertainty = DistanceUncertainty(*m, 1, kClick);
            Document withoutLens = *m;
            withoutLens.LensKUncertainty = 0;
            clicksOnly = DistanceUncertainty(withoutLens, 1, kClick);
        }
        TDistanceResult r;
        CalcuDistance(*m, 1, r, ChainSums::Skip);
        return r.distance;
    };
    Clicks once(kClick, 777), onceCareless(2.0, 778);
    std::optional<double> printed;
    measure(once, onceCareless, &printed);
    ASSERT_TRUE(printed);
    ASSERT_TRUE(clicksOnly);
    EXPECT_GT(*printed, 1.3 * *clicksOnly) << "the lens's share counts";
    Clicks clicks(kClick, 4242), careless(2.0, 4243);
    std::vector<double> lengths;
    for (int i = 0; i < 300; ++i)
        lengths.push_back(measure(clicks, careless, nullptr));
    double mean = 0;
    for (const double l : lengths)
        mean += l / static_cast<double>(lengths.size());
    double var = 0;
    for (const double l : lengths)
        var += (l - mean) * (l - mean) / static_cast<double>(lengths.size() - 1);
    const double spread = std::sqrt(var);
    const double real = std::hypot(to.x - from.x, to.y - from.y);
    RecordProperty("printed", std::to_string(*printed));
    RecordProperty("spread", std::to_string(spread));
    RecordProperty("clicksOnly", std::to_string(*clicksOnly));
    EXPECT_GT(*printed, 0.7 * spread) << "mean " << mean << " of a true " << real;
    EXPECT_LT(*printed, 1.5 * spread) << "mean " << mean << " of a true " << real;
    EXPECT_LT(std::fabs(mean - real), 3 * *printed) << "the lengths scatter about the true one";
}

struct ProfileSpreadCase {
    const char* what;
    LensTruth lens;
    bool chosen;  // chosen by name, else found for the camera
    double kSd;
};

class ProfileUncertainty : public ::testing::TestWithParam<ProfileSpreadCase> {};

// A profile that tells how well its calibration fixed k puts that into the
// "±": it agrees with the spread of the length when the measurement is
// repeated through profiles whose k scatters by that much (the clicks held
// exact), and a profile that tells none adds nothing.
TEST_P(ProfileUncertainty, AgreesWithTheSpreadOfK)
{
    const ProfileSpreadCase& c = GetParam();
    Wall wall{.lens = c.lens};
    const TDPoint from{-6000, 4000}, to{-1500, 3500};
    auto lensWith = [&](double dk) {
        if (c.lens.kind == LensTruth::Kind::Division)
            return LensModel::Division(c.lens.k + dk, kW, kH);
        BrownConrady bc = c.lens.bc;
        bc.k1 += dk;
        return LensModel::Brown(bc);
    };
    auto stage = [&](Editor& editor, double dk, double told) {
        editor.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{1, wall.Stored()});
        editor.SetReferenceWithSize({wall.Shown({-2000, 1500}), wall.Shown({2000, 1500}), wall.Shown({2000, -1500}),
                                     wall.Shown({-2000, -1500})},
                                    "4000", "3000");
        editor.AddDistance(wall.Shown(from), wall.Shown(to), false);
        if (c.chosen)
            editor.SetLensChoice(LensChoice{LensChoiceKind::Profile, "calibrated", lensWith(dk), {}, told});
        else
            editor.SetAutoLens(lensWith(dk), "calibrated", told);
    };
    constexpr double kExact = 1e-6;
    Editor told;
    stage(told, 0, c.kSd);
    const Measured m(told.Doc());
    EXPECT_EQ(m->LensKUncertainty, c.kSd);
    const std::optional<double> printed = DistanceUncertainty(*m, 1, kExact);
    ASSERT_TRUE(printed);
    Editor silent;
    stage(silent, 0, 0);
    const std::optional<double> without = DistanceUncertainty(*Measured(silent.Doc()), 1, kExact);
    ASSERT_TRUE(without);
    EXPECT_LT(*without, 1e-3) << "exact clicks and a profile that tells nothing";

    std::mt19937 gen(2024);
    std::normal_distribution<double> k(0.0, c.kSd);
    std::vector<double> lengths;
    for (int i = 0; i < 200; ++i) {
        Editor repeated;
        stage(repeated, k(gen), 0);
        TDistanceResult r;
        CalcuDistance(*Measured(repeated.Doc()), 1, r, ChainSums::Skip);
        lengths.push_back(r.distance);
    }
    double mean = 0;
    for (const double l : lengths)
        mean += l / static_cast<double>(lengths.size());
    double var = 0;
    for (const double l : lengths)
        var += (l - mean) * (l - mean) / static_cast<double>(lengths.size() - 1);
    const double spread = std::sqrt(var);
    RecordProperty("printed", std::to_string(*printed));
    RecordProperty("spread", std::to_string(spread));
    EXPECT_GT(spread, 1.0) << "the lens's k moves the length by millimetres";
    EXPECT_GT(*printed, 0.8 * spread);
    EXPECT_LT(*printed, 1.25 * spread);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ProfileUncertainty,
    ::testing::Values(
        ProfileSpreadCase{"DivisionFoundForTheCamera", LensTruth::Division(-0.2, kW, kH), false, 0.01},
        ProfileSpreadCase{"DivisionChosen", LensTruth::Division(-0.2, kW, kH), true, 0.01},
        ProfileSpreadCase{"BrownConradyChosen",
                          LensTruth::Brown({0.9 * kW, 0.9 * kW, kW / 2 - 0.5, kH / 2 - 0.5, -0.25, 0.05, 0, 0, 0}),
                          true, 0.02},
        ProfileSpreadCase{"BrownConradyFoundForTheCamera",
                          LensTruth::Brown({0.9 * kW, 0.9 * kW, kW / 2 - 0.5, kH / 2 - 0.5, -0.25, 0.05, 0, 0, 0}),
                          false, 0.02}),
    [](const ::testing::TestParamInfo<ProfileSpreadCase>& param) { return std::string(param.param.what); });

// On the photo as taken, a distance along a straight wall line is drawn as
// the curve the lens made of that line: the drawing passes through the photo
// point of the wall's midpoint, not the chord's midpoint.
TEST(MeasuringThroughALens, MarksAreDrawnAlongTheLineThePhotoShows)
{
    Wall wall{.lens = LensTruth::Division(-0.3, kW, kH)};
    Editor editor;
    editor.StartPhoto("wall.jpg", 1, {}, {}, SensorFrame{1, wall.Stored()});
    editor.SetReferenceWithSize({wall.Shown({-500, 400}), wall.Shown({500, 400}), wall.Shown({500, -400}),
                                 wall.Shown({-500, -400})},
                                "1000", "800");
    // A long wall line near the photo's top, where the lens bends most.
    const auto line = test::WallLineNear(wall.cam, wall.lens, true, 0.12 * kH);
    const TDPoint a{line.first.x / 4, line.first.y}, b{line.second.x / 4, line.second.y};
    editor.AddDistance(wall.Shown(a), wall.Shown(b), false);
    const TDPoint middle = wall.Shown({(a.x + b.x) / 2, (a.y + b.y) / 2});
    const TDPoint chord{(wall.Shown(a).x + wall.Shown(b).x) / 2, (wall.Shown(a).y + wall.Shown(b).y) / 2};
    ASSERT_GT(std::hypot(middle.x - chord.x, middle.y - chord.y), 5.0) << "the scene must bend the line visibly";
    editor.SetLensChoice(LensChoice{LensChoiceKind::Profile, "truth", LensModel::Division(-0.3, kW, kH), {}});

    TAppSettings settings;
    OverlayContext context;
    context.settings = &settings;
    context.viewWidth = kW;
    context.viewHeight = kH;
    context.imageWidth = static_cast<int>(kW);
    context.imageHeight = static_cast<int>(kH);
    RecordingCanvas canvas;
    DrawBase(canvas, editor.Doc(), context);
    // The drawn pieces' nearest approach to the wall's midpoint, in pixels.
    double nearest = 1e300;
    int pieces = 0;
    for (const RecordingCanvas::Call& c : canvas.calls) {
        if (c.kind != RecordingCanvas::Kind::Line)
            continue;
        ++pieces;
        const TDPoint p{static_cast<double>(c.rect.left), static_cast<double>(c.rect.top)};
        const TDPoint q{static_cast<double>(c.rect.right), static_cast<double>(c.rect.bottom)};
        const double len2 = (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y);
        const double t = len2 > 0 ? std::clamp(((middle.x - p.x) * (q.x - p.x) + (middle.y - p.y) * (q.y - p.y)) / len2, 0.0, 1.0) : 0;
        nearest = std::min(nearest, std::hypot(p.x + t * (q.x - p.x) - middle.x, p.y + t * (q.y - p.y) - middle.y));
    }
    EXPECT_GT(pieces, 16) << "the reference's four sides and the distance, each in pieces";
    EXPECT_LT(nearest, 1.5) << "device pixels are whole: within a pixel and a half of the true line";
}

} // namespace
} // namespace kvx
