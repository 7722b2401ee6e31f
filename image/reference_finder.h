#pragma once

// The reference rectangle found in a photo without clicking: a printed marker
// of known side, or a paper sheet or ID-1 card of known size, with the size
// its sides have on the wall.  Photo coordinates: pixel (i, j) covers
// [i, i + 1] x [j, j + 1].

#include "measure/geometry.h"

#include <QImage>

#include <array>
#include <string>
#include <vector>

namespace kvx {

enum class FoundKind { ArucoMarker, AprilTag, A4, A3, Letter, Card };

struct FoundReference {
    FoundKind kind = FoundKind::ArucoMarker;
    int id = 0;  // a marker's id
    // Top-left, top-right, bottom-right, bottom-left on screen, as a reference takes them.
    std::array<TDPoint, 4> corners{};
    // The wall size, mm, of the sides corners[0]-corners[1] (W) and
    // corners[1]-corners[2] (H).
    double w = 0, h = 0;
    // The standard uncertainty of the true W and H, mm, as the makers of
    // sheets and cards cut them; 0 for a marker, whose printed size the user gives.
    double dw = 0, dh = 0;
    double score = 1;  // sheets: how clearly the proportion fits, 0..1
};

// What to look for.
enum class FindWhat { Marker, Sheet, Card, Any };

// The candidates in the photo of what is asked for, best first.  Any: the
// markers, and when there is none the sheets and cards.  A marker's W and H
// are markerSide; a sheet's sizes go to its sides as their lengths on the
// wall run, the longer size to the longer side.
std::vector<FoundReference> FindReferences(const QImage& photo, FindWhat what, double markerSide);

// A4 and A3: the same proportions, told apart only by the user.
bool IsASeries(FoundKind kind);

// Whether the first candidate stands clearly above the next of its kind: a
// sheet whose proportion fits about as well as another's could be either.
bool ClearWinner(const std::vector<FoundReference>& found);

// The cells of ArUco 4x4 marker id, its black border included (6 x 6), true
// for black, row by row from the top.  Empty for an id the dictionary lacks.
std::vector<std::vector<bool>> ArucoCells(int id);

// The ratio of the wall lengths of side corners[0]-corners[1] to side
// corners[1]-corners[2], for a camera of focal length focal (pixels) whose
// axis goes through the photo's centre.
double WallSideRatio(const std::array<TDPoint, 4>& corners, int width, int height, double focal);

} // namespace kvx
