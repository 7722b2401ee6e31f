#include "measure/ideal_view.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/lens_fit.h"
#include "measure/workfiles.h"

namespace kvx {

namespace {

// The image processing's quarter turn as an orientation.
int TurnOf(const ImageEffects& e)
{
    return e.Rotate == 1 ? 8 : e.Rotate == 2 ? 6 : 1;
}

const LensModel kNoLens{};

} // namespace

const LensModel& LensInForce(const Document& doc)
{
    const LensModel& lens = doc.Lens ? doc.Lens->model : doc.AutoLens;
    return lens.kind != LensKind::None && IsSane(lens) ? lens : kNoLens;
}

bool CorrectsLens(const Document& doc)
{
    return LensInForce(doc).kind != LensKind::None;
}

TDPoint ShownToSensor(const Document& doc, TDPoint p)
{
    const PixelSize stored = doc.Sensor.stored;
    if (stored.width <= 0 || stored.height <= 0)
        return p;
    const int o = doc.Sensor.orientation;
    const int turn = TurnOf(doc.Effects);
    const PixelSize upright = UprightSize(o, stored);
    const PixelSize shown = UprightSize(turn, upright);
    const TDPoint onUpright = UprightPoint(InverseOrientation(turn), shown, p);
    return UprightPoint(InverseOrientation(o), upright, onUpright);
}

TDPoint SensorToShown(const Document& doc, TDPoint p)
{
    const PixelSize stored = doc.Sensor.stored;
    if (stored.width <= 0 || stored.height <= 0)
        return p;
    const int o = doc.Sensor.orientation;
    const PixelSize upright = UprightSize(o, stored);
    return UprightPoint(TurnOf(doc.Effects), upright, UprightPoint(o, stored, p));
}

std::optional<TDPoint> ShownToIdeal(const Document& doc, TDPoint p)
{
    return ShownToIdealWith(doc, LensInForce(doc), p);
}

namespace {

// Shown point p taken to the sensor, through map there, and back.
template <class Map>
std::optional<TDPoint> OnSensor(const Document& doc, TDPoint p, Map map)
{
    const std::optional<TDPoint> q = map(ShownToSensor(doc, p));
    if (!q)
        return std::nullopt;
    return SensorToShown(doc, *q);
}

} // namespace

std::optional<TDPoint> ShownToIdealWith(const Document& doc, const LensModel& lens, TDPoint p)
{
    if (lens.kind == LensKind::None)
        return p;
    return OnSensor(doc, p, [&](TDPoint s) { return ToIdeal(lens, s); });
}

std::optional<TDPoint> IdealToShown(const Document& doc, TDPoint q)
{
    const LensModel& lens = LensInForce(doc);
    if (lens.kind == LensKind::None)
        return q;
    return OnSensor(doc, q, [&](TDPoint s) { return ToPhoto(lens, s); });
}

Document IdealView(const Document& doc)
{
    Document view = doc;
    if (!CorrectsLens(doc) || doc.IdealCamera)
        return view;
    view.IdealCamera = true;
    MapImagePoints(view, [&](TDPoint p) { return ShownToIdeal(doc, p).value_or(p); });
    // The memo holds plane coordinates of the photo's points.
    view.Deltas.Clear();
    // What was derived from the points on the photo is derived again on the
    // ideal camera, where the construction's straight lines are straight.
    auto rebuild = [](Document& d) {
        TPlaneState& plane = d.Plane;
        if (plane.base.BaseSet != 1)
            return;
        CalcuBasePoint(d);
        if (plane.base.BaseLineWSet == 1 && plane.base.BaseLineHSet == 1)
            CalcuBaseUnitFromLines(plane);
        else
            CalcuUnitPoint(plane);
    };
    rebuild(view);
    if (view.CurrentBase == 1 || view.CurrentBase == 2) {
        Document parked = ParkedPlaneView(view);
        rebuild(parked);
        view.ParkedPlane = parked.Plane;
        RebuildTwoPlaneGeometry(view);
    }
    RecomputeCorrections(view);
    // The edges are fitted again for how well they fix the lens: the file
    // keeps the model only.
    if (doc.Lens && doc.Lens->kind == LensChoiceKind::Edges) {
        const PixelSize stored = doc.Sensor.stored;
        const EdgeFit fit =
            FitDivisionFromEdges(doc.Lens->edges, {static_cast<double>(stored.width), static_cast<double>(stored.height)});
        if (fit && fit.lens == LensInForce(doc))
            view.LensKUncertainty = fit.kUncertainty;
    } else if (doc.Lens && doc.Lens->kind == LensChoiceKind::Profile) {
        view.LensKUncertainty = doc.Lens->kUncertainty;
    } else if (!doc.Lens) {
        view.LensKUncertainty = doc.AutoLensKUncertainty;
    }
    return view;
}

Measured::Measured(const Document& doc) : doc_(&doc)
{
    if (!CorrectsLens(doc) || doc.IdealCamera)
        return;
    view_ = doc.Revision.IdealView();
    if (!view_) {
        auto made = std::make_shared<Document>(IdealView(doc));
        // The plane coordinates the last view worked out are keyed by its
        // calibration bit for bit, so they serve this one wherever the edit
        // left the calibration alone.  Taken only when nobody measures on
        // that view any more.
        if (const std::shared_ptr<const Document> last = doc.Revision.LastIdealView(); last && last.use_count() == 2)
            made->Deltas = std::move(last->Deltas);
        view_ = std::move(made);
        doc.Revision.KeepIdealView(view_);
    }
    doc_ = view_.get();
}

} // namespace kvx
