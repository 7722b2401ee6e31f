// What the window keeps from one change to the next (the table of results,
// the document seen through the lens) must be what working it out afresh
// gives.  The fault guarded against is a stale value: so after each kind of
// edit, made through the Editor as the window makes it, the kept table is
// compared bit for bit with one worked out on a copy of the document, which
// shares nothing kept.

#include "edit/editor.h"
#include "measure/calibration.h"
#include "measure/delta_memo.h"
#include "measure/ideal_view.h"
#include "measure/lens.h"
#include "measure/results.h"
#include "measure/uncertainty.h"
#include "realistic.h"

#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvx {
namespace {

// The realistic document with a short chain, so that every case stays quick.
constexpr int kChain = 300;
// Its first chain segment and its last (the one carrying the chain's total).
constexpr std::int32_t kFirstSegment = 151;
constexpr std::int32_t kLastSegment = 150 + kChain;

LensChoice DivisionLens(double k)
{
    LensChoice choice;
    choice.kind = LensChoiceKind::Profile;
    choice.profileName = "test";
    choice.model = LensModel::Division(k, test::kRealisticWidth, test::kRealisticHeight);
    return choice;
}

std::uint64_t Bits(double v)
{
    return std::bit_cast<std::uint64_t>(v);
}

std::optional<std::uint64_t> Bits(const std::optional<double>& v)
{
    return v ? std::optional<std::uint64_t>(Bits(*v)) : std::nullopt;
}

void ExpectSameRows(const std::vector<ResultRow>& kept, const std::vector<ResultRow>& fresh)
{
    ASSERT_EQ(kept.size(), fresh.size());
    for (std::size_t n = 0; n < kept.size(); ++n) {
        const ResultRow& a = kept[n];
        const ResultRow& b = fresh[n];
        SCOPED_TRACE("row " + std::to_string(n) + (b.kind == ResultKind::Area ? " (area " : " (distance ") +
                     std::to_string(b.number) + ")");
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.number, b.number);
        EXPECT_EQ(a.group, b.group);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(Bits(a.value), Bits(b.value));
        EXPECT_EQ(a.valueText, b.valueText);
        EXPECT_EQ(Bits(a.uncertainty), Bits(b.uncertainty));
        EXPECT_EQ(a.uncertaintyText, b.uncertaintyText);
        EXPECT_EQ(Bits(a.slopeV), Bits(b.slopeV));
        EXPECT_EQ(Bits(a.slopeH), Bits(b.slopeH));
        EXPECT_EQ(a.corrected, b.corrected);
        EXPECT_EQ(Bits(a.chainTotal), Bits(b.chainTotal));
        EXPECT_EQ(a.chainText, b.chainText);
    }
}

void ExpectSameTotals(const std::vector<GroupTotal>& kept, const std::vector<GroupTotal>& fresh)
{
    ASSERT_EQ(kept.size(), fresh.size());
    for (std::size_t n = 0; n < kept.size(); ++n) {
        const GroupTotal& a = kept[n];
        const GroupTotal& b = fresh[n];
        SCOPED_TRACE("group " + std::to_string(b.group));
        EXPECT_EQ(a.group, b.group);
        EXPECT_EQ(a.distances, b.distances);
        EXPECT_EQ(a.areas, b.areas);
        EXPECT_EQ(Bits(a.length), Bits(b.length));
        EXPECT_EQ(Bits(a.area), Bits(b.area));
        EXPECT_EQ(Bits(a.lengthUncertainty), Bits(b.lengthUncertainty));
        EXPECT_EQ(Bits(a.areaUncertainty), Bits(b.areaUncertainty));
        EXPECT_EQ(Bits(a.cost), Bits(b.cost));
    }
}

struct EditCase {
    const char* name;
    std::function<void(Editor&)> edit;
    // How many rows the edit changes, as the scene says; -1: every row (what
    // every row stands on changed).
    int rowsChanged;
};

const TDPoint kNudge{3.25, -1.5};

TDPoint Nudged(TDPoint p)
{
    return {p.x + kNudge.x, p.y + kNudge.y};
}

std::vector<EditCase> Edits()
{
    return {
        {"move a corner of the reference",
         [](Editor& e) { e.MoveReferenceCorner(2, Nudged(e.Doc().Plane.base.BaseRect[2]), false); }, -1},
        {"add a distance",
         [](Editor& e) {
             const TDistance& d = e.Doc().Plane.Distances[5];
             e.AddDistance(Nudged(d.start), Nudged(d.end), false);
         },
         1},
        {"add an area",
         [](Editor& e) {
             std::vector<TDPoint> outline;
             for (const TDPoint& p : e.Doc().Plane.Spaces[3].points)
                 outline.push_back(Nudged(p));
             e.AddSpace(outline, kSpaceAdd, "new");
         },
         1},
        {"move a distance's end", [](Editor& e) { e.MoveDistanceEnd(7, false, Nudged(e.Doc().Plane.Distances[7].end), 0); },
         1},
        // The segment, the one after it (their shared end) and the chain's
        // last segment, which carries the chain's total.
        {"move a chain segment's end",
         [](Editor& e) {
             e.MoveDistanceEnd(kFirstSegment + 10, false, Nudged(e.Doc().Plane.Distances[kFirstSegment + 10].end),
                               kFirstSegment + 11);
         },
         3},
        {"move an area's corner", [](Editor& e) { e.MoveSpaceVertex(9, 2, Nudged(e.Doc().Plane.Spaces[9].points[2]), false); },
         1},
        {"slope an area", [](Editor& e) { e.SetSlope(12, 25, 10); }, 1},
        // The rows after it are numbered anew but are the same measurements.
        {"delete a distance", [](Editor& e) { e.DeleteDistance(4); }, 0},
        {"change W", [](Editor& e) { e.SetFieldText(FieldText::W, "211"); }, -1},
        {"change H", [](Editor& e) { e.SetFieldText(FieldText::H, "296.5"); }, -1},
        {"put a lens in force", [](Editor& e) { e.SetLensChoice(DivisionLens(-0.2)); }, -1},
        {"change the lens", [](Editor& e) { e.SetLensChoice(DivisionLens(-0.15)); }, -1},
        {"take the lens away", [](Editor& e) { e.SetLensChoice(std::nullopt); }, -1},
    };
}

struct KeptCase {
    EditCase edit;
    bool lens;  // the division model k = -0.1 in force before the edit
};

class KeptResults : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptResults, AfterTheEditTheKeptTableIsTheFreshOne)
{
    const KeptCase& c = GetParam();
    Editor editor(test::RealisticDocument(kChain));
    if (c.lens)
        editor.SetLensChoice(DivisionLens(-0.1));
    const double sigma = 0.5;
    ResultTable table;
    // Kept from before the edit, as the window had it.
    table.Update(*Measured(editor.Doc()), sigma);
    const std::size_t rowsBefore = table.Rows().size();
    ASSERT_EQ(table.RowsWorkedOut(), rowsBefore);

    c.edit.edit(editor);
    table.Update(*Measured(editor.Doc()), sigma);

    // Afresh, on a copy of the document that keeps nothing.
    const Document copy = editor.Doc();
    const Measured measured(copy);
    const Document& fresh = *measured;
    const std::vector<ResultRow> rows = ResultRows(fresh, sigma);
    ExpectSameRows(table.Rows(), rows);
    ExpectSameTotals(table.Totals(), GroupTotals(fresh, rows, sigma));
    // The keeping is real: an edit of one mark works out that mark's rows.
    if (c.edit.rowsChanged < 0)
        EXPECT_EQ(table.RowsWorkedOut(), rows.size());
    else
        EXPECT_EQ(table.RowsWorkedOut(), static_cast<std::size_t>(c.edit.rowsChanged));
}

std::vector<KeptCase> Cases()
{
    std::vector<KeptCase> out;
    for (const bool lens : {false, true})
        for (const EditCase& e : Edits())
            // Without a lens there is none to take away.
            if (lens || std::string(e.name) != "take the lens away")
                out.push_back({e, lens});
    return out;
}

std::string CaseName(const ::testing::TestParamInfo<KeptCase>& info)
{
    std::string name = std::string(info.param.edit.name) + (info.param.lens ? " through a lens" : "");
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(EachKindOfEdit, KeptResults, ::testing::ValuesIn(Cases()), CaseName);

// A change of the click precision is a change of every row.
TEST(KeptResultsTable, AnotherClickPrecisionWorksEveryRowOut)
{
    const Document doc = test::RealisticDocument(kChain);
    ResultTable table;
    table.Update(doc, 0.5);
    table.Update(doc, 1.5);
    EXPECT_EQ(table.RowsWorkedOut(), table.Rows().size());
    const std::vector<ResultRow> rows = ResultRows(doc, 1.5);
    ExpectSameRows(table.Rows(), rows);
    ExpectSameTotals(table.Totals(), GroupTotals(doc, rows, 1.5));
    // And an unchanged document works nothing out.
    table.Update(doc, 1.5);
    EXPECT_EQ(table.RowsWorkedOut(), 0u);
    ExpectSameRows(table.Rows(), rows);
}

// The document seen through the lens is made once for each state of the
// document the Editor keeps: a pointer move or a repaint of an unchanged
// document copies nothing and fits nothing, and every change is a new view.
TEST(IdealViewKept, OncePerStateOfTheDocument)
{
    Editor editor(test::RealisticDocument(kChain));
    editor.SetLensChoice(DivisionLens(-0.2));
    const Document* first = &*Measured(editor.Doc());
    EXPECT_NE(first, &editor.Doc());
    EXPECT_EQ(&*Measured(editor.Doc()), first);
    const TDPoint moved = Nudged(editor.Doc().Plane.Distances[2].start);
    editor.MoveDistanceEnd(2, true, moved, 0);
    const Measured after(editor.Doc());
    EXPECT_EQ(after->Plane.Distances[2].start, ShownToIdeal(editor.Doc(), moved).value());
    const Document copy = editor.Doc();
    EXPECT_EQ(after->Plane.Distances[2], IdealView(copy).Plane.Distances[2]);
    // A copy is a document of its own: nothing kept serves it.
    EXPECT_EQ(copy.Revision.Value(), 0u);
    EXPECT_NE(&*Measured(copy), &*after);
}

// Without a lens the document itself is measured on.
TEST(IdealViewKept, NoLensNoView)
{
    const Editor editor(test::RealisticDocument(kChain));
    EXPECT_EQ(&*Measured(editor.Doc()), &editor.Doc());
}

} // namespace
} // namespace kvx

namespace kvx {
namespace {

// The memo of plane coordinates follows the document's size: a repaint that
// asks for the same points over and over finds every one of them from the
// third repaint on, however many there are (a document of 30,000 marks asks
// for about 60,000), while a rubber band's points asked for once still age out.
class MemoGrowth : public ::testing::TestWithParam<int> {};

TEST_P(MemoGrowth, ARepaintOfManyPointsFindsThemAll)
{
    const int points = GetParam();
    DeltaMemo memo;
    const DeltaCalibration c{{}, {1, 2}, {3, 4}, 210, 297};
    auto point = [](int i) { return TDPoint{i * 0.5, 1000 - i * 0.25}; };
    int missed = 0;
    for (int repaint = 0; repaint < 4; ++repaint) {
        missed = 0;
        for (int i = 0; i < points; ++i) {
            const TDPoint p = point(i);
            if (const std::optional<TDPoint> known = memo.Find(c, p)) {
                ASSERT_EQ(*known, (TDPoint{p.y, p.x}));
            } else {
                ++missed;
                memo.Store(c, p, {p.y, p.x});
            }
        }
    }
    EXPECT_EQ(missed, 0);
    // A rubber band's points, each asked for once, push none of them out
    // for good: a repaint or two asks for them again, and then all are found.
    for (int i = 0; i < 3 * points; ++i)
        memo.Store(c, {-1.0 - i, -1.0}, {0, 0});
    for (int repaint = 0; repaint < 3; ++repaint) {
        missed = 0;
        for (int i = 0; i < points; ++i)
            if (!memo.Find(c, point(i))) {
                ++missed;
                memo.Store(c, point(i), {point(i).y, point(i).x});
            }
    }
    EXPECT_EQ(missed, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoGrowth, ::testing::Values(1000, 30000, 60000, 120000));

} // namespace
} // namespace kvx
