#pragma once
// Matches that cannot fix any geometry, whatever the photographs: coordinates that are not
// numbers, a match repeated, all points of an image on one line. Told apart from a failed
// focal search, which asks for other photographs.
#include "base/result.h"
#include "stereo/match.h"

namespace q3d {

// Points of an image closer than this to one line (root mean square) count as collinear.
inline constexpr double kCollinearSpreadPixels = 0.5;

Status CheckMatchesUsable(const CMatchSet& matches);

}  // namespace q3d
