#pragma once

// A pinhole camera looking at planes in space: an independent model to check the
// perspective construction against.  World millimetres: X right, Y up, Z away
// from the camera; the front wall is Z = 0.  Image pixels: x right, y down.

#include "measure/calibration.h"
#include "measure/geometry.h"
#include "measure/model.h"

#include <array>
#include <cmath>
#include <numbers>

namespace kvx::test {

struct Camera {
    double yawDeg = 0;     // turn about the vertical axis
    double pitchDeg = 0;   // tilt about the horizontal axis
    double distance = 6000;
    double focal = 3000;   // pixels
    double cx = 2000, cy = 1500;

    // Image point of world point (X, Y, Z), kept to 4 decimals like every point
    // the program takes from the pointer.
    TDPoint Project(double X, double Y, double Z = 0) const
    {
        const double yaw = yawDeg * std::numbers::pi / 180;
        const double pitch = pitchDeg * std::numbers::pi / 180;
        // The scene turns in front of the camera about the world origin.
        const double x1 = X * std::cos(yaw) + Z * std::sin(yaw);
        const double z1 = -X * std::sin(yaw) + Z * std::cos(yaw);
        const double y1 = Y * std::cos(pitch) - z1 * std::sin(pitch);
        const double z2 = Y * std::sin(pitch) + z1 * std::cos(pitch) + distance;
        return DPoint(cx + focal * x1 / z2, cy - focal * y1 / z2);
    }

    // Corners of a W x H rectangle on the front wall centred at (X, Y), in cyclic order.
    std::array<TDPoint, 4> Rect(double X, double Y, double W, double H) const
    {
        return {Project(X - W / 2, Y + H / 2), Project(X + W / 2, Y + H / 2), Project(X + W / 2, Y - H / 2),
                Project(X - W / 2, Y - H / 2)};
    }
};

// Two walls meeting at a vertical edge at X = edge: the front wall (Z = 0)
// carries this setting's 1000 x 1000 rectangle, the side wall (toward the
// camera) the other setting's, and the cross line stands on the edge, so
// that perspective corrections are in force.
inline Document TwoWalls(const Camera& cam, double edge)
{
    Document doc;
    std::array<TDPoint, 4> side{cam.Project(edge, 500, -2000), cam.Project(edge, 500, -1000),
                                cam.Project(edge, -500, -1000), cam.Project(edge, -500, -2000)};
    if (!NormaliseCorners(side))
        return doc;  // no second rectangle: the test's checks of it fail
    for (std::size_t i = 0; i < 4; ++i)
        doc.OtherBaseRect[i + 1] = side[i];
    doc.OtherBaseRect[5] = side[0];
    doc.OtherBaseSet = 1;
    SetReferenceRect(doc, cam.Rect(0, 0, 1000, 1000), false);
    doc.CrossLineSet = 1;
    doc.CrossLinePoint = cam.Project(edge, 0, 0);
    return doc;
}

} // namespace kvx::test
