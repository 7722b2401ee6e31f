#pragma once

// What the user is told about the lens: which correction the numbers go
// through, and why straight edges tell none (in the interface's language).

#include "measure/lens_fit.h"
#include "measure/model.h"

#include <string>

namespace kvx {

// "レンズ補正: 直線 2 本" and the like; empty when there is nothing to say
// (no correction chosen and no profile for the camera).
std::string LensStateText(const Document& doc);

// Why a fit was refused, as the straight-edge tool's prompt says it; empty
// for a fit that holds.
std::string EdgeFitRefusal(const EdgeFit& fit);

// "直線のずれ 4.2 px → 0.3 px" for a fit that holds.
std::string EdgeFitSummary(const EdgeFit& fit);

} // namespace kvx
