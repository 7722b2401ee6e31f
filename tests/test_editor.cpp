#include "edit/editor.h"

#include "measure/calibration.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kvx {
namespace {

// An editor with a reference and one distance and one area, and what its
// observer heard.
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
        editor.Track(kChangeAll, [](Document& d) {
            d = Document{};
            SetReferenceRect(d, {TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}}, true);
            d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 120}});
            TSpace s;
            s.points = {{150, 150}, {250, 150}, {250, 250}, {150, 250}, {150, 150}};
            s.correctedPoints.resize(5);
            d.Plane.Spaces.Append(s);
            d.Modified = 0;
        });
        heard.clear();
    }
};

struct Step {
    const char* name;
    std::function<void(Editor&)> run;
    bool edit;  // an edit of the user's measurements: Modified, and told as one
};

TEST_F(EditorSteps, EveryOperationIsOneNotificationAndOnlyEditsMarkTheDocument)
{
    const std::vector<Step> steps = {
        {"add distance", [](Editor& e) { e.AddDistance({10, 10}, {20, 20}, false); }, true},
        {"delete distance", [](Editor& e) { e.DeleteDistance(1); }, true},
        {"delete all distances", [](Editor& e) { e.DeleteAllDistances(); }, true},
        {"correct distance", [](Editor& e) { e.SetDistanceCorrection(1, TDPoint{300, 50}); }, true},
        {"add area", [](Editor& e) { e.AddSpace({{1, 1}, {5, 1}, {5, 5}, {1, 1}}, kSpaceSub, "x"); }, true},
        {"delete area", [](Editor& e) { e.DeleteSpace(1); }, true},
        {"delete all areas", [](Editor& e) { e.DeleteAllSpaces(); }, true},
        {"slope", [](Editor& e) { e.SetSlope(1, 30, 120); }, true},
        {"name", [](Editor& e) { e.SetSpaceName(1, "n"); }, true},
        {"correct area", [](Editor& e) { e.SetSpaceCorrection(1, TDPoint{300, 50}); }, true},
        {"reference", [](Editor& e) { e.SetReference({TDPoint{90, 90}, {510, 90}, {510, 410}, {90, 410}}); }, true},
        {"base line", [](Editor& e) { e.SetBaseLine(true, {100, 420}, {300, 420}); }, true},
        {"measurement base", [](Editor& e) { e.SetBaseUnit({150, 150}, {250, 220}); }, true},
        {"cross line", [](Editor& e) { e.SetCrossLine({300, 50}); }, true},
        {"reset", [](Editor& e) { e.Reset(); }, true},
        {"W with a reference", [](Editor& e) { e.SetFieldText(FieldText::W, "1500"); }, true},
        {"effects", [](Editor& e) {
             ImageEffects fx;
             fx.Rotate = 1;
             e.SetEffects(fx);
         }, true},
        {"input point", [](Editor& e) { e.AddInputPoint({1, 1}); }, false},
        {"select distance", [](Editor& e) { e.SelectDistance(1); }, false},
        {"group", [](Editor& e) { e.SetGroup(3); }, false},
        {"view toggles", [](Editor& e) { e.SetViewToggles(ViewToggles{false, true, true, true, true}); }, false},
    };
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
    editor.Commit("outer", kChangeOverlay, [&](Document&) {
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
    EXPECT_THROW(editor.Commit("fails", kChangeOverlay,
                               [](Document& d) {
                                   d.Plane.Distances.Clear();
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
    editor.Track(kChangeAll, [](Document& d) { d.Modified = 0; });
    editor.SetFieldText(FieldText::H, "700");
    EXPECT_EQ(editor.Doc().KijunHText, "700");
    EXPECT_EQ(editor.Doc().Modified, 0);
}

} // namespace
} // namespace kvx
