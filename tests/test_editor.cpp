#include "edit/editor.h"

#include "measure/calibration.h"

#include "editor_access.h"
#include "realistic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvx {
namespace {

// An editor with a reference, one distance, one area, one check and the first
// point of a command under way, and what its observer heard.
class EditorSteps : public ::testing::Test {
protected:
    Editor editor;
    std::vector<ChangeNote> heard;

    void SetUp() override
    {
        Scene();
        editor.Observe([this](const ChangeNote& n) { heard.push_back(n); });
    }
    void Scene()
    {
        EditorTestAccess::Stage(editor, kChangeAll, [](Document& d) {
            d = Document{};
            SetReferenceRect(d, {TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}}, true);
            d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 120}});
            TSpace s;
            s.points = {{150, 150}, {250, 150}, {250, 250}, {150, 250}, {150, 150}};
            s.correctedPoints.resize(5);
            d.Plane.Spaces.Append(s);
            d.Plane.Checks.Append(TCheck{{130, 300}, {400, 310}, 1000});
            d.InputPoints.Append(TDPoint{130, 300});  // the first point of a command under way
            d.Modified = 0;
        });
        heard.clear();
    }
};

// Working-file questions answered yes, warnings unheard.
struct SilentUi : WorkFileUi {
    void Warn(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }
};

struct Step {
    const char* name;
    std::function<void(Editor&)> run;
    bool edit;  // an edit of the user's measurements: Modified, and told as one
};

// Every edit of the user's measurements the editor offers, each run on the
// scene (a reference, a distance, an area and a check distance).
const std::vector<Step>& Edits()
{
    static const std::vector<Step> edits = {
        {"add distance", [](Editor& e) { e.AddDistance({10, 10}, {20, 20}, false); }, true},
        {"add to a chain", [](Editor& e) { e.AddDistance({200, 120}, {260, 160}, true); }, true},
        {"delete distance", [](Editor& e) { e.DeleteDistance(1); }, true},
        {"delete all distances", [](Editor& e) { e.DeleteAllDistances(); }, true},
        {"correct distance", [](Editor& e) { e.SetDistanceCorrection(1, TDPoint{300, 50}); }, true},
        {"add area", [](Editor& e) { e.AddSpace({{1, 1}, {5, 1}, {5, 5}, {1, 1}}, kSpaceSub, "x"); }, true},
        {"delete area", [](Editor& e) { e.DeleteSpace(1); }, true},
        {"delete all areas", [](Editor& e) { e.DeleteAllSpaces(); }, true},
        {"slope", [](Editor& e) { e.SetSlope(1, 30, 120); }, true},
        {"name", [](Editor& e) { e.SetSpaceName(1, "n"); }, true},
        {"correct area", [](Editor& e) { e.SetSpaceCorrection(1, TDPoint{300, 50}); }, true},
        {"add check", [](Editor& e) { e.AddCheck({140, 320}, {420, 330}, 1250.5); }, true},
        {"check length", [](Editor& e) { e.SetCheckLength(1, 999); }, true},
        {"delete check", [](Editor& e) { e.DeleteCheck(1); }, true},
        {"delete all checks", [](Editor& e) { e.DeleteAllChecks(); }, true},
        {"reference", [](Editor& e) { e.SetReference({TDPoint{90, 90}, {510, 90}, {510, 410}, {90, 410}}); }, true},
        {"reference found as a sheet",
         [](Editor& e) {
             e.SetReferenceWithSize({TDPoint{90, 90}, {510, 90}, {510, 410}, {90, 410}}, "297", "210", false,
                                    SizeTolerance{297, 210, 1.15, 1.15});
         },
         true},
        {"two planes", [](Editor& e) {
             e.SetTwoPlanes({TDPoint{}, {300, 80}, {300, 420}, {90, 100}, {90, 400}, {510, 100}, {510, 400}});
         }, true},
        {"base line", [](Editor& e) { e.SetBaseLine(true, {100, 420}, {300, 420}); }, true},
        {"measurement base", [](Editor& e) { e.SetBaseUnit({150, 150}, {250, 220}); }, true},
        {"cross line", [](Editor& e) { e.SetCrossLine({300, 50}); }, true},
        {"reset", [](Editor& e) { e.Reset(); }, true},
        {"W", [](Editor& e) { e.SetFieldText(FieldText::W, "1500"); }, true},
        {"H", [](Editor& e) { e.SetFieldText(FieldText::H, "900"); }, true},
        {"price", [](Editor& e) { e.SetFieldText(FieldText::Price, "2500"); }, true},
        {"move reference corner", [](Editor& e) { e.MoveReferenceCorner(2, {520, 95}, true); }, true},
        {"move base line end", [](Editor& e) { e.MoveBaseLinePoint(true, 2, {320, 425}); }, true},
        {"move measurement base corner", [](Editor& e) { e.MoveBaseUnitCorner(2, {260, 230}); }, true},
        {"move distance end", [](Editor& e) { e.MoveDistanceEnd(1, false, {220, 130}, 0); }, true},
        {"move area vertex", [](Editor& e) { e.MoveSpaceVertex(1, 0, {140, 145}, false); }, true},
        {"move rectangle corner", [](Editor& e) { e.MoveSpaceVertex(1, 2, {270, 260}, true); }, true},
        {"group of deletions", [](Editor& e) {
             e.Group("two deletions", [&] {
                 e.DeleteCheck(1);
                 e.DeleteSpace(1);
             });
         }, true},
        {"effects", [](Editor& e) {
             ImageEffects fx;
             fx.Rotate = 1;
             e.SetEffects(fx);
         }, true},
        {"lens choice", [](Editor& e) { e.SetLensChoice(LensChoice{}); }, true},
        {"add straight edge", [](Editor& e) { e.AddStraightEdge({{10, 10}, {200, 12}, {400, 10}}); }, true},
        {"edges fitted again", [](Editor& e) {
             e.Group("edges", [&] {
                 e.AddStraightEdge({{10, 10}, {200, 12}, {400, 10}});
                 e.MoveStraightEdgePoint(0, 1, {200, 14});
                 e.AddStraightEdge({{10, 300}, {12, 150}, {10, 10}});
                 e.DeleteStraightEdge(0);
             });
         }, true},
    };
    return edits;
}

TEST_F(EditorSteps, EveryOperationIsOneNotificationAndOnlyEditsMarkTheDocument)
{
    std::vector<Step> steps = Edits();
    const std::vector<Step> toolState = {
        {"input point", [](Editor& e) { e.AddInputPoint({1, 1}); }, false},
        {"select distance", [](Editor& e) { e.SelectDistance(1); }, false},
        {"select area", [](Editor& e) { e.SelectSpace(1); }, false},
        {"take back input point", [](Editor& e) { e.DropLastInputPoint(); }, false},
        {"forget input", [](Editor& e) { e.ClearInput(); }, false},
        {"open chain", [](Editor& e) { e.OpenChainAfter(1); }, false},
        {"move input point", [](Editor& e) { e.SetInputPoint(1, {2, 3}); }, false},
        {"group", [](Editor& e) { e.SetGroup(3); }, false},
        {"view toggles", [](Editor& e) { e.SetViewToggles(ViewToggles{false, true, true, true, true}); }, false},
        {"camera profile found", [](Editor& e) { e.SetAutoLens(LensModel::Division(-0.1, 400, 300), "camera"); }, false},
    };
    steps.insert(steps.end(), toolState.begin(), toolState.end());
    for (const Step& step : steps) {
        Scene();
        step.run(editor);
        ASSERT_EQ(heard.size(), 1u) << step.name;
        EXPECT_EQ(editor.Doc().Modified, step.edit ? 1 : 0) << step.name;
        EXPECT_EQ((heard[0].flags & kChangeMeasurements) != 0, step.edit) << step.name;
        if (step.edit) {
            EXPECT_FALSE(heard[0].step.empty()) << step.name << ": an edit has a name for the history";
        }
    }
}

TEST_F(EditorSteps, NestedStepsAreToldOnceWithTheOutermostName)
{
    editor.Group("outer", [&] {
        editor.AddDistance({10, 10}, {20, 20}, false);
        editor.SelectSpace(1);
    });
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].step, "outer");
    EXPECT_TRUE(heard[0].flags & kChangeSummary);
    EXPECT_TRUE(heard[0].flags & kChangeMeasurements);
}

TEST_F(EditorSteps, AFailingStepIsStillToldAndMarksTheDocument)
{
    EXPECT_THROW(editor.Group("fails",
                              [&] {
                                  editor.DeleteAllDistances();
                                  throw std::runtime_error("half way");
                              }),
                 std::runtime_error);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(editor.Doc().Modified, 1);
    editor.SelectDistance(0);
    EXPECT_EQ(heard.size(), 2u) << "the next step is told on its own";
}

TEST_F(EditorSteps, OnlyContinuousModeJoinsADistanceToAnOpenChain)
{
    const std::int32_t first = editor.AddDistance({100, 300}, {200, 300}, true);
    editor.OpenChainAfter(first);
    const std::int32_t second = editor.AddDistance({200, 300}, {300, 300}, true);
    EXPECT_EQ(editor.Doc().Plane.Distances[second].prev, first);
    editor.OpenChainAfter(second);
    // A single distance after an open chain: the chain ends, the distance stands alone.
    const std::int32_t single = editor.AddDistance({100, 350}, {200, 350}, false);
    EXPECT_EQ(editor.Doc().Plane.Distances[single].prev, 0);
    EXPECT_EQ(editor.Doc().Plane.Distances[second].next, 0);
    EXPECT_EQ(ChainFirst(editor.Doc().Plane, single), single);
    // Ending a chain that is already ended changes nothing and tells nobody.
    heard.clear();
    editor.EndOpenChain();
    EXPECT_TRUE(heard.empty());
}

TEST_F(EditorSteps, WithoutAReferenceTheFieldsAreNoEdit)
{
    editor.Reset();
    EditorTestAccess::Stage(editor, kChangeAll, [](Document& d) { d.Modified = 0; });
    editor.SetFieldText(FieldText::H, "700");
    EXPECT_EQ(editor.Doc().KijunHText, "700");
    EXPECT_EQ(editor.Doc().Modified, 0);
}


// Every kind of step is taken back and done again exactly: the document's
// work (chains, corrections, fields, effects) and Modified as they were.
TEST_F(EditorSteps, EveryStepUndoesAndRedoesExactly)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvx_editor_history";
    std::filesystem::create_directories(folder);
    SilentUi ui;
    const std::vector<Step>& steps = Edits();
    for (const Step& step : steps) {
        for (const std::uint8_t modified : {std::uint8_t{0}, std::uint8_t{1}}) {
            Scene();
            editor.ClearHistory();
            EditorTestAccess::Stage(editor, kChangeAll, [&](Document& d) { d.Modified = modified; });
            if (std::string(step.name) == "add to a chain")
                editor.OpenChainAfter(1);  // continuous mode, after its first segment
            const WorkState before = WorkOf(editor.Doc());
            step.run(editor);
            const WorkState after = WorkOf(editor.Doc());
            ASSERT_NE(after, before) << step.name;
            ASSERT_TRUE(editor.CanUndo()) << step.name;
            EXPECT_FALSE(editor.UndoName().empty()) << step.name;
            ASSERT_TRUE(editor.Undo(folder, ui)) << step.name;
            EXPECT_EQ(WorkOf(editor.Doc()), before) << step.name << " undone, Modified " << int(modified);
            EXPECT_EQ(editor.Doc().Modified, modified) << step.name;
            EXPECT_FALSE(editor.CanUndo()) << step.name;
            ASSERT_TRUE(editor.Redo(folder, ui)) << step.name;
            EXPECT_EQ(WorkOf(editor.Doc()), after) << step.name << " redone";
            EXPECT_FALSE(editor.CanRedo()) << step.name;
        }
    }
    std::filesystem::remove_all(folder);
}

TEST_F(EditorSteps, TheHistoryKeepsItsStepsAndANewStepDropsWhatWasUndone)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvx_editor_history2";
    std::filesystem::create_directories(folder);
    SilentUi ui;
    for (int i = 0; i < 250; ++i)
        editor.AddDistance({10.0 + i, 10}, {20.0 + i, 20}, false);
    EXPECT_EQ(editor.Doc().Plane.DistanceCount(), 251);
    int undone = 0;
    while (editor.Undo(folder, ui))
        ++undone;
    EXPECT_EQ(undone, 250) << "every one of 250 steps (at least 200 are kept)";
    EXPECT_EQ(editor.Doc().Plane.DistanceCount(), 1);
    EXPECT_EQ(editor.Doc().Modified, 0);
    editor.Redo(folder, ui);
    editor.DeleteDistance(1);
    EXPECT_FALSE(editor.CanRedo()) << "a new step ends the steps undone";
    // Another photo, another history.
    editor.StartPhoto("other.jpg", 7);
    EXPECT_FALSE(editor.CanUndo());
    std::filesystem::remove_all(folder);
}

// The history survives a setting switch: a step of another setting switches
// back to it, the current one saved first, and redo goes forward again.
TEST_F(EditorSteps, UndoingAStepOfAnotherSettingSwitchesBackToIt)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvx_editor_history3";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SilentUi ui;
    editor.StartPhoto("wall.jpg", 42);
    editor.SetReference({TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}});
    editor.AddDistance({120, 120}, {300, 120}, false);
    ASSERT_TRUE(editor.SwitchSetting(2, folder, ui).switched);
    editor.SetReference({TDPoint{110, 110}, {480, 100}, {490, 390}, {90, 400}});
    editor.AddDistance({130, 130}, {250, 140}, false);
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(editor.Doc().CurrentSetting, 2);
    EXPECT_EQ(editor.Doc().Plane.DistanceCount(), 0);
    ASSERT_TRUE(editor.Undo(folder, ui));  // setting 2's reference
    ASSERT_TRUE(editor.Undo(folder, ui));  // setting 1's distance: back in setting 1
    EXPECT_EQ(editor.Doc().CurrentSetting, 1);
    EXPECT_EQ(editor.Doc().Plane.DistanceCount(), 0);
    EXPECT_EQ(editor.Doc().Plane.base.BaseSet, 1);
    ASSERT_TRUE(editor.Redo(folder, ui));
    EXPECT_EQ(editor.Doc().Plane.DistanceCount(), 1);
    ASSERT_TRUE(editor.Redo(folder, ui));  // setting 2 again, from its working files and its step
    EXPECT_EQ(editor.Doc().CurrentSetting, 2);
    EXPECT_EQ(editor.Doc().Plane.base.BaseSet, 1);
    std::filesystem::remove_all(folder);
}

// The keystrokes of one visit of W, H or the price are one step: taken back
// at once, done again at once; another visit, or another edit in between,
// makes another step.
class FieldVisits : public EditorSteps, public ::testing::WithParamInterface<FieldText> {};

TEST_P(FieldVisits, KeystrokesOfOneVisitAreOneStep)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvx_editor_fields";
    std::filesystem::create_directories(folder);
    SilentUi ui;
    const FieldText field = GetParam();
    auto text = [&] {
        const Document& d = editor.Doc();
        return field == FieldText::W ? d.KijunWText : field == FieldText::H ? d.KijunHText : d.TankaText;
    };
    editor.ClearHistory();
    const std::string original = text();
    editor.VisitField(field);
    for (const char* typed : {"1", "12", "125", "1250"})
        editor.SetFieldText(field, typed);
    EXPECT_EQ(text(), "1250");
    EXPECT_EQ(editor.Doc().Modified, 1);
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), original);
    EXPECT_FALSE(editor.CanUndo()) << "four keystrokes, one step";
    ASSERT_TRUE(editor.Redo(folder, ui));
    EXPECT_EQ(text(), "1250");

    // Typing on after the redo is a step of its own.
    editor.SetFieldText(field, "12500");
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), "1250");
    ASSERT_TRUE(editor.Redo(folder, ui));

    // Left and visited again: another step.
    editor.VisitField(std::nullopt);
    editor.VisitField(field);
    editor.SetFieldText(field, "9");
    editor.SetFieldText(field, "99");
    // Another edit in between: the keystrokes after it are another step.
    editor.AddDistance({10, 10}, {20, 20}, false);
    editor.SetFieldText(field, "999");
    editor.SetFieldText(field, "9999");
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), "99");
    ASSERT_TRUE(editor.Undo(folder, ui));  // the distance
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), "12500");
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), "1250");
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), original);
    EXPECT_FALSE(editor.CanUndo());

    // Outside a visit (a field set by the program) every change is a step.
    editor.VisitField(std::nullopt);
    editor.SetFieldText(field, "3");
    editor.SetFieldText(field, "33");
    ASSERT_TRUE(editor.Undo(folder, ui));
    EXPECT_EQ(text(), "3");
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldVisits, ::testing::Values(FieldText::W, FieldText::H, FieldText::Price),
                         [](const ::testing::TestParamInfo<FieldText>& i) {
                             return i.param == FieldText::W ? std::string("W")
                                                            : i.param == FieldText::H ? std::string("H") : std::string("price");
                         });

// 500 edits of single marks of the 3,000-mark document: the history holds
// the pieces the edits changed, under 10 MB where 500 copies of the work
// took 180 MB, and it still takes every step back and does it again exactly.
struct LargeEdit {
    const char* name;
    std::function<void(Editor&, int)> run;
};

class LargeHistory : public ::testing::TestWithParam<LargeEdit> {};

TEST_P(LargeHistory, SharesWhatTheStepsDoNotChange)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvx_editor_large";
    std::filesystem::create_directories(folder);
    SilentUi ui;
    Editor editor(test::RealisticDocument());
    ASSERT_GE(editor.Doc().Plane.DistanceCount(), 2800);
    const WorkState start = WorkOf(editor.Doc());
    for (int i = 0; i < 500; ++i)
        GetParam().run(editor, i);
    const WorkState end = WorkOf(editor.Doc());
    ASSERT_NE(end, start);
    const std::size_t bytes = editor.HistoryBytes();
    EXPECT_LT(bytes, std::size_t{10} << 20) << bytes << " bytes";
    EXPECT_GT(bytes, std::size_t{500} * sizeof(TDistance)) << "the history counts what it holds";
    int undone = 0;
    while (editor.Undo(folder, ui))
        ++undone;
    EXPECT_EQ(undone, 500);
    EXPECT_TRUE(WorkOf(editor.Doc()) == start);
    EXPECT_LT(editor.HistoryBytes(), std::size_t{10} << 20) << "undone, the steps share as much";
    while (editor.Redo(folder, ui))
        ;
    EXPECT_TRUE(WorkOf(editor.Doc()) == end);
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, LargeHistory,
    ::testing::Values(
        LargeEdit{"move_distance_ends",
                  [](Editor& e, int i) {
                      const std::int32_t k = 1 + (i * 37) % e.Doc().Plane.DistanceCount();
                      const TDistance& d = e.Doc().Plane.Distances[k];
                      e.MoveDistanceEnd(k, true, TDPoint{d.start.x + 1, d.start.y}, 0);
                  }},
        LargeEdit{"add_distances", [](Editor& e, int i) { e.AddDistance({100.0 + i, 100}, {200.0 + i, 150}, false); }},
        LargeEdit{"move_area_corners",
                  [](Editor& e, int i) {
                      const std::int32_t k = 1 + (i * 7) % e.Doc().Plane.SpaceCount();
                      const TDPoint p = e.Doc().Plane.Spaces[k].points[0];
                      e.MoveSpaceVertex(k, 0, TDPoint{p.x, p.y + 1}, false);
                  }},
        LargeEdit{"name_areas",
                  [](Editor& e, int i) {
                      e.SetSpaceName(1 + (i * 11) % e.Doc().Plane.SpaceCount(), "A" + std::to_string(i % 100));
                  }}),
    [](const ::testing::TestParamInfo<LargeEdit>& i) { return std::string(i.param.name); });

} // namespace
} // namespace kvx
