#pragma once
// The Automatic Matching procedure: feature points in both images (every make-up dot, and
// corners of the skin texture), correlation matching with a cross-check, a robust check
// against the epipolar geometry, every dot paired along its epipolar line by the
// arrangement of its matched neighbours, and texture matches where dots are too few.
#include <vector>

#include "base/result.h"
#include "matching/auto_match_params.h"
#include "matching/epipolar_check.h"
#include "stereo/camera.h"
#include "stereo/stereo_pair.h"

namespace q3d {

class Progress;

struct AutoMatchReport {
  int dots1 = 0;  // features found in each image
  int dots2 = 0;
  int corners1 = 0;
  int corners2 = 0;
  int candidates = 0;          // cross-checked pairs before the epipolar check
  int matches = 0;             // matches delivered
  int dotMatches = 0;          // of which dot to dot
  double epipolarLimit = 0.0;  // pixels
};

// The matches between the two cameras' images, in 0-based pixels, dots first. Fails when an
// image is missing, memory is short, too few candidates survive to check them against the
// epipolar geometry, or none is left; Cancelled() when the progress asks to stop. Reads
// the cameras only.
Status FindAutomaticMatches(const CCamera& camera1, const CCamera& camera2,
                            const AutoMatchParams& params, std::vector<PointPair>& matches,
                            AutoMatchReport* report = nullptr, Progress* progress = nullptr);

// Replaces the pair's work with the found matches, as AutomaticMatching does with its own.
Status ReplaceWithMatches(CStereoPair& pair, const std::vector<PointPair>& found);

// Runs the procedure on the pair's cameras and replaces the pair's work with the result:
// both point sets then hold only the matched points (numbered from 0), the match set the
// matches, and the render results are reset, since they described the replaced matches.
// Hand-placed points and matches are removed too: the command asks before calling this.
// A failure of the procedure leaves the points, matches and results untouched (memory
// running short while storing keeps what was stored).
Status AutomaticMatching(CStereoPair& pair, const AutoMatchParams& params,
                         Progress* progress = nullptr, AutoMatchReport* report = nullptr);

}  // namespace q3d
