#pragma once

// Documents that the tool and overlay tests start from.

#include "measure/calibration.h"
#include "measure/model.h"

namespace kvx::test {

// Setting 4 with both planes built from a one-click figure at (500, 200) in a
// 1000 x 800 view; the left plane is current.
inline void TwoPlanes(Document& doc)
{
    doc.CurrentSetting = 4;
    doc.CurrentBase = 1;
    doc.SixPoint = SixPointFromClick({500, 200}, {0, 0}, {1000, 800});
    BuildTwoPlanes(doc);
}

// A second reference plane right of x = 500 and the cross line there, so that
// perspective corrections on the current plane are in force.
inline void OtherPlaneAndCrossLine(Document& doc)
{
    doc.OtherBaseSet = 1;
    doc.OtherBaseRect = {TDPoint{}, {500, 100}, {700, 50}, {700, 450}, {500, 400}, {500, 100}};
    CalcuBasePoint(doc);
    doc.CrossLineSet = 1;
    doc.CrossLinePoint = {500, 250};
}

} // namespace kvx::test
