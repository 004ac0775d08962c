#pragma once
// Checks of the records a project file hands us: a file may be damaged or crafted, so
// nothing it stores is trusted before these pass. Each check throws ArchiveError naming
// the record and the reason; the document turns it into the refusal of the file.
#include <cstdint>

#include "stereo/match.h"
#include "stereo/sp_point.h"

namespace q3d {

// A point may lie this far outside its image (a marker centred on the border).
inline constexpr double kPointMarginPixels = 2.0;
// Sides a point may reach when its camera has no image to bound it.
inline constexpr double kLargestImageSide = 65535.0;

// Coordinates finite and within width x height (plus the margin), identifiers unique,
// not negative and below the counter, the counter able to give one more identifier.
// width or height 0: the camera has no image and the largest side bounds the points.
void CheckLoadedPoints(const CSpPointSet& points, int width, int height, int imageNumber);

// Identifiers as for points; every match links to points that exist, found through an
// identifier map so that loading stays linear in the matches.
void LinkLoadedMatches(CMatchSet& matches, const CSpPointSet& points1, const CSpPointSet& points2);

}  // namespace q3d
