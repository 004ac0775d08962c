#pragma once
// The dense surface of a rendered pair: a regular grid of image-1 pixels, each matched
// densely in image 2 and triangulated with the render's cameras, so its points lie in the
// same frame as the matches' own 3D points.
#include <array>
#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

#include "matching/dense_matching.h"
#include "numeric/matrix.h"

namespace q3d {

class CStereoPair;
class Progress;

struct DenseSurface {
  Matrix vertices;                             // v x 3, the render's frame
  std::vector<cv::Point2f> pixels1;            // image-1 pixel (0-based) of each vertex
  std::vector<std::array<uint32_t, 3>> faces;  // zero-based vertex indices
  cv::Rect textureRegion;                      // region of image 1 the texture covers
  int step = 1;                                // grid spacing in image-1 pixels
  double coverage = 0;                         // share of the region densely matched
};

// Grid spacing for an image: one vertex per pixel up to about a megapixel, then sparser so
// that a face keeps a few hundred thousand vertices at most.
int DenseGridStep(int width, int height);

// Fills `out`, or says why no surface can be made (Cancelled() when the progress's cancel
// was requested). Reads the pair only, so it may run off the thread that owns the pair
// while nothing changes it.
Status BuildDenseSurface(const CStereoPair& pair, const DenseMatchParams& params,
                         Progress* progress, DenseSurface& out);

}  // namespace q3d
