#pragma once
// The precise centre of a make-up dot. The marker detector's circle through the region's
// outline pixels moves in whole-pixel steps of the outline and lands a sixth of a pixel
// off the true centre on average. This step starts from that circle's centre and takes
// the centroid of the dot's darkness below its surroundings, which uses every pixel's
// grey level and so reaches a few hundredths of a pixel.
#include <optional>

#include <opencv2/core.hpp>

namespace q3d {

class CMarkerDetector;

// How a point placed on a dot is centred: the detector's circle alone, or refined by the
// darkness centroid (the default wherever a point is placed on a dot).
enum class DotCentring { kPlain, kPrecise };

// The darkness centroid of the dot the detector found in window (the 8-bit one-channel
// image it grew its region in), in window coordinates. Darkness: how far a pixel lies below
// a level 30 % of the way from the surroundings (a plane fitted to a ring around the dot)
// to the region's mean; an aperture centred on the estimate, 1.5 pixels wider than the
// region (0.35 of its radius on large dots), keeps other dark things out. The centroid is
// recomputed with the aperture on it until it moves less than a thousandth of a pixel.
// Empty, and the detector's centre stands, when the detector has no finite centre, the
// aperture does not fit in the window, the dot is too faint against its surroundings, the
// iteration does not settle (its last step is a hundredth of a pixel or more, and on large
// dots a five-hundredth of the radius), or the centroid ends farther from the detector's
// centre than the region's radius (it left the dot).
std::optional<cv::Point2d> PreciseDotCentre(const cv::Mat& window, const CMarkerDetector& detector);

}  // namespace q3d
