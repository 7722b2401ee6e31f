#include "edit/editor.h"

#include "base/translate.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/ideal_view.h"

#include <algorithm>
#include <exception>
#include <unordered_set>
#include <utility>

namespace kvx {

namespace {

// The corrections follow the geometry they were made against.
void Recalculate(Document& doc)
{
    RecomputeCorrections(doc);
}

void RemoveDistance(TPlaneState& plane, std::int32_t k)
{
    if (!plane.Distances.Valid(k))
        return;
    plane.Distances.Erase(k);
    auto renumber = [k](std::int32_t& link) {
        if (link == k)
            link = 0;
        else if (link > k)
            --link;
    };
    for (TDistance& d : plane.Distances) {
        renumber(d.prev);
        renumber(d.next);
    }
}

void RemoveSpace(TPlaneState& plane, std::int32_t k)
{
    if (!plane.Spaces.Valid(k))
        return;
    const std::int32_t last = plane.SpaceCount();
    if (k != last)
        plane.Spaces[k] = std::move(plane.Spaces[last]);
    plane.Spaces.Erase(last);
}

// The last distance's link to a segment that was never drawn.
void CloseChain(TPlaneState& plane)
{
    const std::int32_t last = plane.DistanceCount();
    if (last >= 1 && plane.Distances[last].next > last)
        plane.Distances[last].next = 0;
}

} // namespace

Editor::Editor()
{
    kvx::Init(doc_);
    doc_.Revision.Advance();
}

Editor::Editor(Document doc) : doc_(std::move(doc))
{
    doc_.Revision.Advance();
}

int Editor::Observe(Observer observer)
{
    const int ticket = nextTicket_++;
    observers_.emplace_back(ticket, std::move(observer));
    return ticket;
}

void Editor::Forget(int ticket)
{
    std::erase_if(observers_, [ticket](const auto& o) { return o.first == ticket; });
}

WorkState WorkOf(const Document& doc)
{
    WorkState w;
    w.Plane = doc.Plane;
    w.ParkedPlane = doc.ParkedPlane;
    w.CurrentSetting = doc.CurrentSetting;
    w.CurrentBase = doc.CurrentBase;
    w.OtherBaseSet = doc.OtherBaseSet;
    w.OtherBaseRect = doc.OtherBaseRect;
    w.CrossLineSet = doc.CrossLineSet;
    w.CrossLinePoint = doc.CrossLinePoint;
    w.SixPoint = doc.SixPoint;
    w.CurrentDistance = doc.CurrentDistance;
    w.CurrentSpace = doc.CurrentSpace;
    w.Modified = doc.Modified;
    w.Effects = doc.Effects;
    w.KijunWText = doc.KijunWText;
    w.KijunHText = doc.KijunHText;
    w.TankaText = doc.TankaText;
    w.Lens = doc.Lens;
    return w;
}

namespace {

// The plane without its lists of marks.
TPlaneState WithoutLists(const TPlaneState& p)
{
    TPlaneState out;
    out.base = p.base;
    out.UnitPoint = p.UnitPoint;
    out.BaseW = p.BaseW;
    out.BaseH = p.BaseH;
    out.SheetSize = p.SheetSize;
    return out;
}

StoredPlane StorePlane(const TPlaneState& p, const StoredPlane* like)
{
    return {SharedList<TDistance>(p.Distances, like ? &like->distances : nullptr),
            SharedList<TSpace>(p.Spaces, like ? &like->spaces : nullptr),
            SharedList<TCheck>(p.Checks, like ? &like->checks : nullptr)};
}

// The user's work in doc as the history keeps it, sharing like's pieces
// where they are the same; the lists are never copied whole.
StoredWork Store(const Document& doc, const StoredWork* like)
{
    StoredWork s;
    WorkState& w = s.rest;
    w.Plane = WithoutLists(doc.Plane);
    w.ParkedPlane = WithoutLists(doc.ParkedPlane);
    w.CurrentSetting = doc.CurrentSetting;
    w.CurrentBase = doc.CurrentBase;
    w.OtherBaseSet = doc.OtherBaseSet;
    w.OtherBaseRect = doc.OtherBaseRect;
    w.CrossLineSet = doc.CrossLineSet;
    w.CrossLinePoint = doc.CrossLinePoint;
    w.SixPoint = doc.SixPoint;
    w.CurrentDistance = doc.CurrentDistance;
    w.CurrentSpace = doc.CurrentSpace;
    w.Modified = doc.Modified;
    w.Effects = doc.Effects;
    w.KijunWText = doc.KijunWText;
    w.KijunHText = doc.KijunHText;
    w.TankaText = doc.TankaText;
    w.Lens = doc.Lens;
    // The plane of a step is most like the same plane of the step beside it.
    s.plane = StorePlane(doc.Plane, like ? &like->plane : nullptr);
    s.parked = StorePlane(doc.ParkedPlane, like ? &like->parked : nullptr);
    return s;
}

void FillPlane(TPlaneState& p, const StoredPlane& from)
{
    p.Distances = from.distances.Items();
    p.Spaces = from.spaces.Items();
    p.Checks = from.checks.Items();
}

WorkState Unstore(const StoredWork& s)
{
    WorkState w = s.rest;
    FillPlane(w.Plane, s.plane);
    FillPlane(w.ParkedPlane, s.parked);
    return w;
}

std::size_t PlaneBytes(const StoredPlane& p, std::unordered_set<const void*>& seen)
{
    return p.distances.Bytes(seen) + p.spaces.Bytes(seen) + p.checks.Bytes(seen);
}

} // namespace

void Editor::Run(std::string_view step, unsigned flags, bool edit, const std::function<void(Document&)>& change)
{
    if (depth_ == 0)
        pending_ = ChangeNote{0, std::string(step)};
    if (edit) {
        flags |= kChangeMeasurements;
        // The step the history keeps is the outermost edit, as it was before.
        if (recording_ && !before_) {
            before_ = Store(doc_, undo_.empty() ? nullptr : &undo_.back().state);
            if (pending_.step.empty())
                pending_.step = std::string(step);
        }
    }
    // Nothing is cached for a document half changed; what is cached for the
    // document as it was never serves the document as it is.
    doc_.Revision.Forget();
    ++depth_;
    auto finish = [&] {
        if (edit)
            doc_.Modified = 1;
        pending_.flags |= flags;
        if (--depth_ > 0)
            return;
        doc_.Revision.Advance();
        if (before_) {
            undo_.push_back(Step{pending_.step, std::move(*before_)});
            before_.reset();
            ++stepSerial_;
            if (undo_.size() > kHistorySteps)
                undo_.erase(undo_.begin());
            redo_.clear();
            pending_.flags |= kChangeHistory;
        }
        Notify();
    };
    try {
        change(doc_);
    } catch (...) {
        // What was done before the failure is told all the same: the document
        // may have changed half way, and that half is a step to take back.
        finish();
        throw;
    }
    finish();
}

std::string Editor::UndoName() const
{
    return undo_.empty() ? std::string() : undo_.back().name;
}

std::string Editor::RedoName() const
{
    return redo_.empty() ? std::string() : redo_.back().name;
}

bool Editor::Undo(const std::filesystem::path& folder, WorkFileUi& ui)
{
    return Travel(undo_, redo_, folder, ui);
}

bool Editor::Redo(const std::filesystem::path& folder, WorkFileUi& ui)
{
    return Travel(redo_, undo_, folder, ui);
}

void Editor::ClearHistory()
{
    if (undo_.empty() && redo_.empty())
        return;
    undo_.clear();
    redo_.clear();
    Track(kChangeHistory | kChangeEnabling, [](Document&) {});
}

bool Editor::Travel(std::vector<Step>& from, std::vector<Step>& to, const std::filesystem::path& folder, WorkFileUi& ui)
{
    if (from.empty() || depth_ > 0)
        return false;
    const int setting = from.back().state.rest.CurrentSetting;
    if (setting != doc_.CurrentSetting) {
        // The step was made in another setting: back there first, as the
        // user would go, so that this one is kept in the working files.
        if (!SwitchSetting(setting, folder, ui).switched)
            return false;
    }
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back(Step{step.name, Store(doc_, &step.state)});
    ++stepSerial_;
    Restore(Unstore(step.state));
    return true;
}

std::size_t Editor::HistoryBytes() const
{
    std::unordered_set<const void*> seen;
    std::size_t bytes = (undo_.capacity() + redo_.capacity()) * sizeof(Step);
    for (const std::vector<Step>* steps : {&undo_, &redo_})
        for (const Step& s : *steps) {
            const WorkState& w = s.state.rest;
            bytes += s.name.capacity() + w.KijunWText.capacity() + w.KijunHText.capacity() + w.TankaText.capacity();
            if (w.Lens) {
                bytes += sizeof(LensChoice) + w.Lens->edges.capacity() * sizeof(w.Lens->edges[0]);
                for (const auto& edge : w.Lens->edges)
                    bytes += edge.capacity() * sizeof(TDPoint);
            }
            bytes += PlaneBytes(s.state.plane, seen) + PlaneBytes(s.state.parked, seen);
        }
    return bytes;
}

void Editor::Restore(const WorkState& state)
{
    unsigned flags = kChangeShown | kChangeFields | kChangePlanes | kChangeMeasurements | kChangeHistory;
    if (!(state.Effects == doc_.Effects))
        flags |= kChangeEffects;
    Run("", flags, false, [&](Document& d) {
        d.Plane = state.Plane;
        d.ParkedPlane = state.ParkedPlane;
        d.CurrentSetting = state.CurrentSetting;
        d.CurrentBase = state.CurrentBase;
        d.OtherBaseSet = state.OtherBaseSet;
        d.OtherBaseRect = state.OtherBaseRect;
        d.CrossLineSet = state.CrossLineSet;
        d.CrossLinePoint = state.CrossLinePoint;
        d.SixPoint = state.SixPoint;
        d.CurrentDistance = state.CurrentDistance;
        d.CurrentSpace = state.CurrentSpace;
        d.Modified = state.Modified;
        d.Effects = state.Effects;
        d.KijunWText = state.KijunWText;
        d.KijunHText = state.KijunHText;
        d.TankaText = state.TankaText;
        d.Lens = state.Lens;
        // Points half entered belong to the document that was.
        d.InputPoints.Clear();
        d.Deltas.Clear();
    });
}

void Editor::Notify()
{
    const ChangeNote note = std::exchange(pending_, ChangeNote{});
    if (note.flags == 0)
        return;
    // A copy: an observer may add or remove observers.
    const auto observers = observers_;
    for (const auto& o : observers)
        o.second(note);
}

void Editor::Commit(std::string_view step, unsigned flags, const std::function<void(Document&)>& change)
{
    Run(step, flags, true, change);
}

void Editor::Track(unsigned flags, const std::function<void(Document&)>& change)
{
    Run("", flags, false, change);
}

void Editor::Group(std::string_view step, const std::function<void()>& edits)
{
    // The group itself neither marks nor tells: the edits inside it do, and
    // the first of them keeps the document as it was before the group.
    Run(step, 0, false, [&](Document&) { edits(); });
}

// --- tool state ---------------------------------------------------------------------------

void Editor::AddInputPoint(TDPoint p)
{
    Track(kChangeOverlay, [&](Document& d) { d.InputPoints.Append(p); });
}

void Editor::SetInputPoint(std::int32_t i, TDPoint p)
{
    if (!doc_.InputPoints.Valid(i))
        return;
    Track(kChangeOverlay, [&](Document& d) { d.InputPoints[i] = p; });
}

void Editor::DropLastInputPoint()
{
    Track(kChangeOverlay, [&](Document& d) {
        if (d.InputCount() > 0)
            d.InputPoints.Erase(d.InputCount());
    });
}

void Editor::ClearInput()
{
    if (doc_.InputCount() == 0)
        return;
    Track(kChangeOverlay, [&](Document& d) { d.InputPoints.Clear(); });
}

void Editor::SelectDistance(std::int32_t k)
{
    Track(kChangeOverlay | kChangeSummary, [&](Document& d) { d.CurrentDistance = k; });
}

void Editor::SelectSpace(std::int32_t k)
{
    Track(kChangeOverlay | kChangeSummary, [&](Document& d) { d.CurrentSpace = k; });
}

void Editor::SetGroup(std::int32_t group)
{
    Track(kChangeShown, [&](Document& d) { d.CurrentGroup = std::clamp(group, 0, 5); });
}

void Editor::SetViewToggles(const ViewToggles& view)
{
    Track(kChangeOverlay | kChangeFields, [&](Document& d) { d.View = view; });
}

// --- distances ----------------------------------------------------------------------------

std::int32_t Editor::AddDistance(TDPoint start, TDPoint end, bool linked)
{
    std::int32_t index = 0;
    Commit(Tn("Steps", "距離の追加"), kChangeShown, [&](Document& d) {
        TPlaneState& plane = d.Plane;
        TDistance dist;
        dist.group = d.CurrentGroup;
        dist.start = start;
        dist.end = end;
        // Only a segment of a running chain joins the one before it, and only
        // when that one was left open for it.
        const std::int32_t last = plane.DistanceCount();
        if (linked && last >= 1 && plane.Distances[last].next == last + 1)
            dist.prev = last;
        else
            CloseChain(plane);
        index = plane.Distances.Append(dist);
        d.CurrentDistance = index;
    });
    return index;
}

void Editor::OpenChainAfter(std::int32_t k)
{
    Track(kChangeOverlay, [&](Document& d) {
        if (d.Plane.Distances.Valid(k) && k == d.Plane.DistanceCount())
            d.Plane.Distances[k].next = k + 1;
    });
}

void Editor::EndOpenChain()
{
    const std::int32_t last = doc_.Plane.DistanceCount();
    if (last < 1 || doc_.Plane.Distances[last].next <= last)
        return;
    Track(kChangeOverlay | kChangeSummary, [&](Document& d) { CloseChain(d.Plane); });
}

void Editor::DeleteDistance(std::int32_t k)
{
    if (!doc_.Plane.Distances.Valid(k))
        return;
    Commit(Tn("Steps", "距離の削除"), kChangeShown, [&](Document& d) { RemoveDistance(d.Plane, k); });
}

std::int32_t Editor::AddCheck(TDPoint start, TDPoint end, double known)
{
    std::int32_t index = 0;
    Commit(Tn("Steps", "検証距離の追加"), kChangeShown,
           [&](Document& d) { index = d.Plane.Checks.Append(TCheck{start, end, known}); });
    return index;
}

void Editor::SetCheckLength(std::int32_t k, double known)
{
    if (!doc_.Plane.Checks.Valid(k) || doc_.Plane.Checks[k].known == known)
        return;
    Commit(Tn("Steps", "検証距離の長さの変更"), kChangeShown, [&](Document& d) { d.Plane.Checks[k].known = known; });
}

void Editor::DeleteCheck(std::int32_t k)
{
    if (!doc_.Plane.Checks.Valid(k))
        return;
    Commit(Tn("Steps", "検証距離の削除"), kChangeShown, [&](Document& d) { d.Plane.Checks.Erase(k); });
}

void Editor::DeleteAllChecks()
{
    if (doc_.Plane.Checks.empty())
        return;
    Commit(Tn("Steps", "すべての検証距離を削除"), kChangeShown, [&](Document& d) { d.Plane.Checks.Clear(); });
}

void Editor::DeleteAllDistances()
{
    Commit(Tn("Steps", "すべての距離を削除"), kChangeShown, [&](Document& d) {
        d.Plane.Distances.Clear();
        d.CurrentDistance = 0;
    });
}

void Editor::SetDistanceCorrection(std::int32_t k, std::optional<TDPoint> ref)
{
    if (!doc_.Plane.Distances.Valid(k))
        return;
    Commit(ref ? Tn("Steps", "距離の補正") : Tn("Steps", "距離の補正解除"), kChangeShown, [&](Document& d) {
        const std::int32_t last = ChainLast(d.Plane, k);
        for (std::int32_t i = ChainFirst(d.Plane, k); i <= last; ++i) {
            TDistance& dist = d.Plane.Distances[i];
            dist.corrected = ref ? 1 : 0;
            if (ref)
                dist.correctionRef = *ref;
        }
        CalcuDistanceHosei(d);
    });
}

void Editor::MoveDistanceEnd(std::int32_t k, bool start, TDPoint p, std::int32_t linked)
{
    Commit(Tn("Steps", "距離の調整"), kChangeShown, [&](Document& d) {
        TPlaneState& plane = d.Plane;
        if (plane.Distances.Valid(k)) {
            TDistance& dist = plane.Distances[k];
            (start ? dist.start : dist.end) = p;
            if (plane.Distances.Valid(linked)) {
                TDistance& l = plane.Distances[linked];
                (start ? l.end : l.start) = p;
            }
        }
        CalcuDistanceHosei(d);
    });
}

// --- areas ----------------------------------------------------------------------------------

std::int32_t Editor::AddSpace(std::vector<TDPoint> outline, std::uint8_t kind, std::string name)
{
    std::int32_t index = 0;
    Commit(Tn("Steps", "面積の追加"), kChangeShown, [&](Document& d) {
        TSpace s;
        s.group = d.CurrentGroup;
        s.kind = kind;
        s.correctedPoints.assign(outline.size(), TDPoint{});
        s.points = std::move(outline);
        s.name = std::move(name);
        index = d.Plane.Spaces.Append(std::move(s));
        d.CurrentSpace = index;
    });
    return index;
}

void Editor::DeleteSpace(std::int32_t k)
{
    if (!doc_.Plane.Spaces.Valid(k))
        return;
    Commit(Tn("Steps", "面積の削除"), kChangeShown, [&](Document& d) { RemoveSpace(d.Plane, k); });
}

void Editor::DeleteAllSpaces()
{
    Commit(Tn("Steps", "すべての面積を削除"), kChangeShown, [&](Document& d) {
        d.Plane.Spaces.Clear();
        d.CurrentSpace = 0;
    });
}

void Editor::SetSlope(std::int32_t k, double slantV, double slantH)
{
    if (!doc_.Plane.Spaces.Valid(k))
        return;
    Commit(Tn("Steps", "勾配の設定"), kChangeShown, [&](Document& d) {
        TSpace& s = d.Plane.Spaces[k];
        s.slantV = std::clamp(slantV, -kMaxSlopeDegrees, kMaxSlopeDegrees);
        s.slantH = std::clamp(slantH, -kMaxSlopeDegrees, kMaxSlopeDegrees);
    });
}

void Editor::SetSpaceName(std::int32_t k, std::string name)
{
    if (!doc_.Plane.Spaces.Valid(k))
        return;
    Commit(Tn("Steps", "名称の変更"), kChangeShown, [&](Document& d) { d.Plane.Spaces[k].name = std::move(name); });
}

void Editor::SetSpaceCorrection(std::int32_t k, std::optional<TDPoint> ref)
{
    if (!doc_.Plane.Spaces.Valid(k))
        return;
    Commit(ref ? Tn("Steps", "面積の補正") : Tn("Steps", "面積の補正解除"), kChangeShown, [&](Document& d) {
        TSpace& s = d.Plane.Spaces[k];
        s.corrected = ref ? 1 : 0;
        if (ref)
            s.correctionRef = *ref;
        CalcuSpaceHosei(d);
    });
}

void Editor::MoveSpaceVertex(std::int32_t k, std::size_t v, TDPoint p, bool rectangle)
{
    if (!doc_.Plane.Spaces.Valid(k) || v >= doc_.Plane.Spaces[k].points.size())
        return;
    Commit(Tn("Steps", "面積の調整"), kChangeShown, [&](Document& d) {
        TSpace& s = d.Plane.Spaces[k];
        if (!rectangle) {
            s.points[v] = p;
            if (v == 0)
                s.points.back() = p;
        } else if (s.count() == 5 && v < 4) {
            static constexpr std::size_t kOpposite[] = {2, 3, 0, 1};
            s.points = RectangleOutline(d.Plane.base, s.points[kOpposite[v]], p);
            s.correctedPoints.resize(s.points.size());
        }
        CalcuSpaceHosei(d);
    });
}

// --- the reference --------------------------------------------------------------------------

void Editor::SetReference(const std::array<TDPoint, 4>& corners)
{
    Commit(Tn("Steps", "基準矩形の設定"), kChangeShown, [&](Document& d) { SetReferenceRect(d, corners, true); });
}

void Editor::SetReferenceWithSize(const std::array<TDPoint, 4>& corners, const std::string& wText, const std::string& hText,
                                  bool keepMeasurements, const SizeTolerance& tolerance)
{
    Commit(Tn("Steps", "基準の自動検出"), kChangeShown | kChangeFields, [&](Document& d) {
        d.KijunWText = wText;
        d.KijunHText = hText;
        // The tolerance holds for W and H as the fields now read them.
        SizeTolerance sheet = tolerance;
        if (sheet.Any()) {
            sheet.w = d.W();
            sheet.h = d.H();
        }
        if (!keepMeasurements) {
            SetReferenceRect(d, corners, true);
            d.Plane.SheetSize = sheet;
            return;
        }
        d.Plane.SheetSize = sheet;
        TBaseBlock& base = d.Plane.base;
        for (std::size_t i = 0; i < 4; ++i)
            base.BaseRect[i + 1] = corners[i];
        base.BaseSet = 1;
        // Lines and a unit cell drawn against the old rectangle mean nothing in the new one.
        base.BaseLineWSet = 0;
        base.BaseLineHSet = 0;
        base.BaseUnitSet = 0;
        CalcuBasePoint(d);
        CalcuUnitPoint(d.Plane);
        Recalculate(d);
    });
}

void Editor::SetTwoPlanes(const std::array<TDPoint, 7>& sixPoint)
{
    Commit(Tn("Steps", "基準矩形の設定"), kChangeShown | kChangeFields | kChangePlanes, [&](Document& d) {
        d.SixPoint = sixPoint;
        BuildTwoPlanes(d);
    });
}

void Editor::SetBaseLine(bool w, TDPoint a, TDPoint b)
{
    Commit(Tn("Steps", "基準線の設定"), kChangeShown, [&](Document& d) {
        TBaseBlock& base = d.Plane.base;
        auto& line = w ? base.BaseLineW : base.BaseLineH;
        line[1] = a;
        line[2] = b;
        (w ? base.BaseLineWSet : base.BaseLineHSet) = 1;
        if ((w ? base.BaseLineHSet : base.BaseLineWSet) == 1) {
            CalcuBaseUnitFromLines(d.Plane);
            Recalculate(d);
        }
    });
}

void Editor::SetBaseUnit(TDPoint a, TDPoint b)
{
    Commit(Tn("Steps", "計測基準の設定"), kChangeShown, [&](Document& d) {
        kvx::SetBaseUnit(d, a, b);
        Recalculate(d);
    });
}

void Editor::SetCrossLine(TDPoint p)
{
    Commit(Tn("Steps", "交線の設定"), kChangeShown, [&](Document& d) {
        d.CrossLinePoint = p;
        d.CrossLineSet = 1;
        // Corrections made against the line left would keep their old lengths.
        Recalculate(d);
    });
}

void Editor::MoveReferenceCorner(int k, TDPoint p, bool lock)
{
    const bool twoPlanes = (doc_.CurrentBase == 1 || doc_.CurrentBase == 2) && lock;
    const auto at = static_cast<std::size_t>(k);
    Commit(Tn("Steps", "基準矩形の調整"), kChangeShown | (twoPlanes ? kChangeFields | kChangePlanes : 0u), [&](Document& d) {
        TBaseBlock& base = d.Plane.base;
        const TDPoint was = base.BaseRect[at];
        base.BaseRect[at] = p;
        if (k == 1)
            base.BaseRect[5] = base.BaseRect[1];
        base.BaseLineWSet = 0;
        base.BaseLineHSet = 0;

        if (twoPlanes) {
            // The corner shared with the other plane (the centre line's) moves with it.
            TBaseBlock& parked = d.ParkedPlane.base;
            for (std::size_t j = 1; j <= 4; ++j) {
                if (parked.BaseRect[j] == was)
                    parked.BaseRect[j] = base.BaseRect[at];
            }
            parked.BaseRect[5] = parked.BaseRect[1];
            parked.BaseLineWSet = 0;
            parked.BaseLineHSet = 0;
            {
                const ParkedPlaneScope scope(d);
                CalcuBasePoint(d);
                CalcuUnitPoint(d.Plane);
                CalcuDistanceHosei(d);
                CalcuSpaceHosei(d);
            }
            d.OtherBaseRect = d.ParkedPlane.base.BaseRect;
        }
        CalcuBasePoint(d);
        CalcuUnitPoint(d.Plane);
        RebuildTwoPlaneGeometry(d);
        RecomputeCorrections(d);
    });
}

void Editor::MoveBaseLinePoint(bool w, int end, TDPoint p)
{
    Commit(Tn("Steps", "基準線の調整"), kChangeShown, [&](Document& d) {
        TBaseBlock& base = d.Plane.base;
        (w ? base.BaseLineW : base.BaseLineH)[static_cast<std::size_t>(end)] = p;
        if (base.BaseLineWSet == 1 && base.BaseLineHSet == 1) {
            base.BaseUnitSet = 0;
            CalcuBaseUnitFromLines(d.Plane);
            RecomputeCorrections(d);
        }
    });
}

void Editor::MoveBaseUnitCorner(int corner, TDPoint p)
{
    Commit(Tn("Steps", "計測基準の調整"), kChangeShown, [&](Document& d) {
        TBaseBlock& base = d.Plane.base;
        base.BaseUnit[static_cast<std::size_t>(corner)] = p;
        // The adjusted base is the user's own from now on: without this the
        // next recomputation of the rectangle would put it back on the corners.
        base.BaseUnitSet = 1;
        base.BaseLineWSet = 0;
        base.BaseLineHSet = 0;
        CalcuUnitPoint(d.Plane);
        RecomputeCorrections(d);
    });
}

void Editor::Reset()
{
    Commit(Tn("Steps", "リセット"), kChangeShown | kChangePlanes, [&](Document& d) { kvx::Reset(d); });
}

// --- fields and planes ----------------------------------------------------------------------

void Editor::UseStoredPrice(const std::string& text)
{
    if (doc_.TankaText == text)
        return;
    Track(kChangeFields | kChangeSummary | kChangeOverlay, [&](Document& d) { d.TankaText = text; });
}

void Editor::SetFieldText(FieldText field, const std::string& text)
{
    // A field shown again with the document's own text (after a load, a
    // switch or an undo) changes nothing, and is no step of the user's.
    const std::string& now = field == FieldText::W ? doc_.KijunWText : field == FieldText::H ? doc_.KijunHText : doc_.TankaText;
    if (now == text)
        return;
    auto change = [&](Document& d) {
        (field == FieldText::W ? d.KijunWText : field == FieldText::H ? d.KijunHText : d.TankaText) = text;
    };
    // Without a reference the texts measure nothing yet: typing them is no edit.
    if (doc_.Plane.base.BaseSet != 1) {
        Track(kChangeOverlay | kChangeSummary, change);
        return;
    }
    const std::string name = field == FieldText::Price ? Tn("Steps", "単価の変更") : Tn("Steps", "基準寸法の変更");
    const bool visiting = visiting_ == field;
    // A keystroke after the first of this visit adds to the visit's step,
    // while that step is still the last one made.
    if (visiting && visitStep_ != 0 && visitStep_ == stepSerial_ && !undo_.empty() && depth_ == 0) {
        recording_ = false;
        try {
            Commit(name, kChangeOverlay | kChangeSummary, change);
        } catch (...) {
            recording_ = true;
            throw;
        }
        recording_ = true;
        return;
    }
    const std::uint64_t before = stepSerial_;
    Commit(name, kChangeOverlay | kChangeSummary, change);
    if (visiting && stepSerial_ != before)
        visitStep_ = stepSerial_;
}

void Editor::VisitField(std::optional<FieldText> field)
{
    visiting_ = field;
    visitStep_ = 0;
}

void Editor::SwapPlanes()
{
    Track(kChangeShown | kChangeFields | kChangePlanes, [&](Document& d) {
        CloseChain(d.Plane);
        SwapBDS(d);
    });
}

void Editor::SetLensChoice(const std::optional<LensChoice>& choice)
{
    if (choice == doc_.Lens)
        return;
    Commit(Tn("Steps", "レンズ補正の選択"), kChangeShown, [&](Document& d) { d.Lens = choice; });
}

namespace {

// Fits the lens to the edges of choice (sensor pixels of a photo of size
// stored) and keeps the model when the fit holds, none otherwise.
EdgeFit Refit(LensChoice& choice, PixelSize stored)
{
    choice.kind = LensChoiceKind::Edges;
    choice.profileName.clear();
    EdgeFit fit = FitDivisionFromEdges(choice.edges, {static_cast<double>(stored.width), static_cast<double>(stored.height)});
    choice.model = fit ? fit.lens : LensModel{};
    return fit;
}

std::vector<std::vector<TDPoint>> EdgesOf(const Document& doc)
{
    if (doc.Lens && doc.Lens->kind == LensChoiceKind::Edges)
        return doc.Lens->edges;
    return {};
}

} // namespace

EdgeFit Editor::AddStraightEdge(const std::vector<TDPoint>& points)
{
    LensChoice choice;
    choice.edges = EdgesOf(doc_);
    std::vector<TDPoint> edge;
    edge.reserve(points.size());
    for (const TDPoint p : points)
        edge.push_back(ShownToSensor(doc_, p));
    choice.edges.push_back(std::move(edge));
    const EdgeFit fit = Refit(choice, doc_.Sensor.stored);
    Commit(Tn("Steps", "直線の追加"), kChangeShown, [&](Document& d) { d.Lens = std::move(choice); });
    return fit;
}

EdgeFit Editor::MoveStraightEdgePoint(std::size_t edge, std::size_t point, TDPoint p)
{
    LensChoice choice;
    choice.edges = EdgesOf(doc_);
    if (edge >= choice.edges.size() || point >= choice.edges[edge].size())
        return {};
    choice.edges[edge][point] = ShownToSensor(doc_, p);
    const EdgeFit fit = Refit(choice, doc_.Sensor.stored);
    Commit(Tn("Steps", "直線の調整"), kChangeShown, [&](Document& d) { d.Lens = std::move(choice); });
    return fit;
}

EdgeFit Editor::DeleteStraightEdge(std::size_t edge)
{
    LensChoice choice;
    choice.edges = EdgesOf(doc_);
    if (edge >= choice.edges.size())
        return {};
    choice.edges.erase(choice.edges.begin() + static_cast<std::ptrdiff_t>(edge));
    const EdgeFit fit = Refit(choice, doc_.Sensor.stored);
    Commit(Tn("Steps", "直線の削除"), kChangeShown, [&](Document& d) {
        // The last edge gone, the choice goes with it.
        if (choice.edges.empty())
            d.Lens.reset();
        else
            d.Lens = std::move(choice);
    });
    return fit;
}

EdgeFit Editor::UseStraightEdges(const std::vector<std::vector<TDPoint>>& edges)
{
    if (edges.empty()) {
        SetLensChoice(std::nullopt);
        return {};
    }
    LensChoice choice;
    choice.edges = edges;
    const EdgeFit fit = Refit(choice, doc_.Sensor.stored);
    if (choice == doc_.Lens)
        return fit;
    Commit(Tn("Steps", "レンズ補正の選択"), kChangeShown, [&](Document& d) { d.Lens = std::move(choice); });
    return fit;
}

void Editor::SetAutoLens(const LensModel& lens, const std::string& name, double kUncertainty)
{
    Track(kChangeShown, [&](Document& d) {
        d.AutoLens = lens;
        d.AutoLensName = name;
        d.AutoLensKUncertainty = kUncertainty;
    });
}

void Editor::SetEffects(const ImageEffects& effects)
{
    if (effects == doc_.Effects)
        return;
    Commit(Tn("Steps", "画像処理の設定"), kChangeOverlay, [&](Document& d) { d.Effects = effects; });
}

// --- the photo ------------------------------------------------------------------------------

void Editor::StartPhoto(const std::string& imageFileName, std::int32_t checkSum, const std::string& fingerprint,
                        const std::string& key, const SensorFrame& sensor)
{
    // Another photo starts another history, and the menus must say so: a
    // step of the photo left can be neither undone nor redone here.
    undo_.clear();
    redo_.clear();
    Track((kChangeAll & ~kChangeMeasurements) | kChangeHistory, [&](Document& d) {
        kvx::Init(d);
        d.ImageFileName = imageFileName;
        d.ImageCheckSum = checkSum;
        d.ImageFingerprint = fingerprint;
        d.ImageKey = key;
        d.Sensor = sensor;
    });
}

bool Editor::LoadFirstSetting(const std::filesystem::path& folder)
{
    bool loaded = false;
    Track(kChangeAll & ~kChangeMeasurements, [&](Document& d) {
        d.CurrentBase = 0;
        // A damaged file costs what it holds and no more: the lens choice is
        // read whatever became of the plane's file, and the other way round.
        std::exception_ptr damaged;
        try {
            loaded = LoadTemp(d, 1, folder);
        } catch (const WorkFileReadError&) {
            damaged = std::current_exception();
        }
        try {
            LoadLensFile(d, folder);
        } catch (const WorkFileReadError&) {
            if (!damaged)
                damaged = std::current_exception();
        }
        if (damaged)
            std::rethrow_exception(damaged);
    });
    return loaded;
}

void Editor::LoadLens(const std::filesystem::path& folder)
{
    Track(kChangeShown, [&](Document& d) { LoadLensFile(d, folder); });
}

void Editor::MarkUnkept()
{
    // Brought back after a crash: changed and not kept, but no step to undo.
    recording_ = false;
    try {
        Commit(Tn("Steps", "計測データの復元"), kChangeShown, [](Document&) {});
    } catch (...) {
        recording_ = true;
        throw;
    }
    recording_ = true;
}

void Editor::ClosePhoto()
{
    undo_.clear();
    redo_.clear();
    Track((kChangeAll & ~kChangeMeasurements) | kChangeHistory, [&](Document& d) {
        kvx::Init(d);
        d.ImageFileName.clear();
        d.ImageCheckSum = 0;
    });
}

SaveSettingResult Editor::SaveSetting(const std::filesystem::path& folder, WorkFileUi& ui)
{
    EndOpenChain();
    SaveSettingResult r;
    Track(kChangeSaved | kChangeFields | kChangePlanes, [&](Document& d) { r = SaveCurrentSetting(d, folder, ui); });
    return r;
}

void Editor::KeepPhotoFiles(const std::filesystem::path& folder, WorkFileUi& ui)
{
    SaveSet(doc_, folder, ui);
}

SwitchResult Editor::SwitchSetting(int setting, const std::filesystem::path& folder, WorkFileUi& ui)
{
    EndOpenChain();
    SwitchResult r;
    Track(kChangeAll & ~kChangeMeasurements, [&](Document& d) { r = kvx::SwitchSetting(d, setting, folder, ui); });
    return r;
}

bool Editor::LoadSetting(int setting, const std::filesystem::path& folder)
{
    EndOpenChain();
    bool loaded = false;
    Track(kChangeAll & ~kChangeMeasurements, [&](Document& d) { loaded = kvx::LoadSetting(d, setting, folder); });
    return loaded;
}

void Editor::WithParkedPlane(const std::function<void(const Document&)>& draw)
{
    // The parked plane shown as the current one is a document of its own.
    doc_.Revision.Forget();
    {
        const ParkedPlaneScope scope(doc_);
        doc_.Revision.Advance();
        draw(doc_);
        doc_.Revision.Forget();
    }
    doc_.Revision.Advance();
}

} // namespace kvx
