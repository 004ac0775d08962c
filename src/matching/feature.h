#pragma once
// A feature point found by automatic matching: a corner of the image texture or the centre
// of a dark make-up dot.
#include <vector>

namespace q3d {

enum class FeatureKind { kCorner, kDot };

struct Feature {
  double x = 0.0;  // column, 0-based pixels
  double y = 0.0;  // row, 0-based pixels
  double strength = 0.0;  // corner response, or the dot's darkness below its surroundings
  double radius = 0.0;    // dots: radius of a disc of the dot's area; corners: 0
  FeatureKind kind = FeatureKind::kCorner;
};

using FeatureList = std::vector<Feature>;

}  // namespace q3d
