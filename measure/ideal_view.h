#pragma once

// Where the lens enters the measuring.  Every point the user places stays in
// the shown photo's pixels, in the document and in its files; the numbers are
// worked out on the document as an ideal camera would have seen it, so the
// plane construction and everything built on it (distances, areas, slopes,
// corrections, the uncertainty, every output) stay exact for a real lens
// without knowing of one.  With no correction in force the view is the
// document itself: not a copy, not a number changed.

#include "measure/model.h"

#include <memory>
#include <optional>

namespace kvx {

// The lens the numbers go through: the user's choice for the photo, else the
// profile found for its camera.  LensKind::None when there is neither, or the
// choice's numbers describe no lens.
const LensModel& LensInForce(const Document& doc);
bool CorrectsLens(const Document& doc);

// The shown photo's point p on the camera's sensor (the photo as stored), and
// back: the EXIF orientation and the image processing's quarter turn undone.
TDPoint ShownToSensor(const Document& doc, TDPoint p);
TDPoint SensorToShown(const Document& doc, TDPoint p);

// Shown point p as the ideal camera would have shown it (in the shown frame),
// and the inverse, for drawing what is straight on the plane over the photo.
// Nothing where the lens cannot map the point (see ToIdeal); the point itself
// when no correction is in force.
std::optional<TDPoint> ShownToIdeal(const Document& doc, TDPoint p);
std::optional<TDPoint> IdealToShown(const Document& doc, TDPoint q);
// ShownToIdeal through another lens in the same frame (the uncertainty moves k).
std::optional<TDPoint> ShownToIdealWith(const Document& doc, const LensModel& lens, TDPoint p);

// doc with every placed point taken to the ideal camera and what is derived
// from them (vanishing points, the measurement base from its lines,
// corrected points) worked out again there.  A point the lens cannot map
// keeps its place.  A view of a view is the view.
Document IdealView(const Document& doc);

// The document to measure on: doc itself without a correction, else its
// ideal view.  The view is made once for each revision of a document the
// Editor tracks (a mouse move or a repaint of an unchanged document copies
// and fits nothing), else once for the holder's life.
class Measured {
public:
    explicit Measured(const Document& doc);
    Measured(const Measured&) = delete;
    Measured& operator=(const Measured&) = delete;
    const Document& operator*() const { return *doc_; }
    const Document* operator->() const { return doc_; }

private:
    std::shared_ptr<const Document> view_;
    const Document* doc_;
};

} // namespace kvx
