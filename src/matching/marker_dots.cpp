#include "matching/marker_dots.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "matching/smoothing.h"
#include "stereo/dot_centre.h"
#include "stereo/marker_detector.h"

namespace q3d {
namespace {

constexpr int kMinArea = 4;
// A dot on skin turned away from the camera is an ellipse: up to three times as long as
// wide (70 degrees from facing it). Its pixels fill most of the ellipse of the same second
// moments; a crescent, a ring or a bent streak does not.
constexpr double kMaxElongation = 3.0;
constexpr double kMinFill = 0.6;
constexpr int kGrowthTries = 3;
// The growth limit alone bounds a region: a limit on the distance from the region's mean
// (which hand placement uses) would cut the blurred rim off a dot seen edge-on, two
// pixels wide, and leave too few pixels to judge its shape.
constexpr uint8_t kNoMeanMargin = 255;

// The median filter's window is at most this wide (an odd number of pixels).
constexpr int kMaxBackgroundWindow = 255;

struct Seed {
  int x = 0;
  int y = 0;
  float value = 0.0f;
  uint8_t growthLimit = 0;  // the region takes pixels darker than this
};

// Dark local minima (3 x 3) of the smoothed area, darkest first, that are dark against their
// background (the shaded and the lit side of a face differ several times in brightness). A
// region grows over the pixels darker than half-way from its seed to the background.
std::vector<Seed> DarkMinima(const cv::Mat& grey, const cv::Rect& area, const DotOptions& options) {
  cv::Mat area32;
  grey(area).convertTo(area32, CV_32F);
  const cv::Mat smoothed =
      Smooth(area32, GaussianKernel(options.gaussianSize, options.gaussianDev));
  cv::Mat eroded;
  cv::erode(smoothed, eroded, cv::Mat());
  // The background: the median over a window wider than any dot.
  const int window = std::min(2 * std::max(options.maxDiameter, 1) + 1, kMaxBackgroundWindow);
  cv::Mat background;
  cv::medianBlur(grey(area), background, window);
  std::vector<Seed> seeds;
  for (int y = 0; y < smoothed.rows; ++y) {
    const float* s = smoothed.ptr<float>(y);
    const float* e = eroded.ptr<float>(y);
    const uint8_t* b = background.ptr<uint8_t>(y);
    const uint8_t* g = grey.ptr<uint8_t>(area.y + y) + area.x;
    for (int x = 0; x < smoothed.cols; ++x) {
      // The darkness is judged on the pixel itself: smoothing would wash out a dot seen
      // edge-on, two pixels wide.
      if (s[x] <= e[x] && g[x] <= options.maxDarkShare * b[x] && g[x] <= b[x] - options.minContrast)
        seeds.push_back(
            {area.x + x, area.y + y, s[x], static_cast<uint8_t>(std::lround(0.5 * (s[x] + b[x])))});
    }
  }
  std::sort(seeds.begin(), seeds.end(),
            [](const Seed& a, const Seed& b) { return a.value < b.value; });
  return seeds;
}

struct RegionShape {
  int area = 0;
  cv::Rect box;           // window coordinates
  double longAxis = 0.0;  // of the ellipse with the region's second moments
  double shortAxis = 0.0;
};

RegionShape ShapeOf(const CMarkerDetector& detector, int width, int height) {
  RegionShape shape;
  int left = width, top = height, right = -1, bottom = -1;
  double sx = 0.0, sy = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (detector.IsMarked(x, y)) {
        ++shape.area;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        sx += x;
        sy += y;
        sxx += double(x) * x;
        syy += double(y) * y;
        sxy += double(x) * y;
      }
  if (shape.area == 0) return shape;
  shape.box = cv::Rect(left, top, right - left + 1, bottom - top + 1);
  // Each pixel is a unit square: its own spread (1/12) adds to the centres' variance.
  const double n = shape.area;
  const double vx = sxx / n - (sx / n) * (sx / n) + 1.0 / 12.0;
  const double vy = syy / n - (sy / n) * (sy / n) + 1.0 / 12.0;
  const double cxy = sxy / n - (sx / n) * (sy / n);
  const double mean = 0.5 * (vx + vy);
  const double spread = std::sqrt(0.25 * (vx - vy) * (vx - vy) + cxy * cxy);
  // A solid ellipse with semi-axes a and b has variances a²/4 and b²/4 along them.
  shape.longAxis = 2.0 * std::sqrt(mean + spread);
  shape.shortAxis = 2.0 * std::sqrt(std::max(mean - spread, 0.0));
  return shape;
}

bool IsCompact(const RegionShape& shape, int width, int height, int maxDiameter) {
  const cv::Rect& b = shape.box;
  if (shape.area < kMinArea || b.width > maxDiameter || b.height > maxDiameter) return false;
  if (b.x == 0 || b.y == 0 || b.x + b.width == width || b.y + b.height == height) return false;
  return shape.longAxis <= kMaxElongation * shape.shortAxis &&
         shape.area >= kMinFill * CV_PI * shape.longAxis * shape.shortAxis;
}

// Mean grey of the unmarked pixels in a frame around the region's box.
double SurroundingMean(const CMarkerDetector& detector, const cv::Mat& window, const cv::Rect& box,
                       int frame) {
  const cv::Rect around =
      cv::Rect(box.x - frame, box.y - frame, box.width + 2 * frame, box.height + 2 * frame) &
      cv::Rect(0, 0, window.cols, window.rows);
  double sum = 0.0;
  int count = 0;
  for (int y = around.y; y < around.y + around.height; ++y)
    for (int x = around.x; x < around.x + around.width; ++x)
      if (!detector.IsMarked(x, y)) {
        sum += window.at<uint8_t>(y, x);
        ++count;
      }
  return count > 0 ? sum / count : 0.0;
}

}  // namespace

int DetectMarkerDots(const cv::Mat& grey, const cv::Rect& area, const DotOptions& options,
                     FeatureList& dots) {
  dots.clear();
  const cv::Rect image(0, 0, grey.cols, grey.rows);
  const cv::Rect searched = area & image;
  if (options.maxCount <= 0 || searched.area() <= 0) return 1;

  Image window;
  CMarkerDetector detector;
  // The window has room for the largest dot wherever the seed lies in it.
  const int half = std::max(options.maxDiameter, 2);
  // Regions reach at most two windows' halves past the searched area.
  const cv::Rect reach = cv::Rect(searched.x - 2 * half, searched.y - 2 * half,
                                  searched.width + 4 * half, searched.height + 4 * half) &
                         image;
  cv::Mat visited = cv::Mat::zeros(reach.size(), CV_8U);
  for (const Seed& seed : DarkMinima(grey, searched, options)) {
    if (visited.at<uint8_t>(seed.y - reach.y, seed.x - reach.x)) continue;
    // The first window is centred on the seed, which may lie near the dot's edge; a region
    // reaching that window's edge is grown again in a window centred on it.
    // Next to darker skin (an eyebrow, a shadow) the region runs out over it: it is grown
    // again with the limit half-way nearer the seed's grey.
    cv::Rect cut;
    RegionShape shape;
    bool compact = false;
    for (int limit = seed.growthLimit, tries = 0; tries < kGrowthTries && !compact;
         ++tries, limit = (limit + static_cast<int>(seed.value) + 1) / 2) {
      // The first window is centred on the seed, which may lie near the dot's edge; a
      // region reaching that window's edge is grown again in a window centred on it.
      cv::Point centre(seed.x, seed.y);
      for (int attempt = 0; attempt < 2 && !compact; ++attempt) {
        detector.Release();
        cut = cv::Rect(centre.x - half, centre.y - half, 2 * half + 1, 2 * half + 1) & image;
        if (!cut.contains(cv::Point(seed.x, seed.y))) break;
        if (!CreateGrayImage(window, cut.width, cut.height)) return 0;
        cv::Mat windowMat = window.Mat();
        grey(cut).copyTo(windowMat);
        if (!detector.Setup(cut.width, cut.height, static_cast<uint8_t>(limit), kNoMeanMargin))
          return 0;
        if (!detector.GrowRegion(window, seed.x - cut.x, seed.y - cut.y)) return 0;
        if (detector.IsEmpty()) break;
        shape = ShapeOf(detector, cut.width, cut.height);
        compact = IsCompact(shape, cut.width, cut.height, options.maxDiameter);
        centre = cv::Point(cut.x + shape.box.x + shape.box.width / 2,
                           cut.y + shape.box.y + shape.box.height / 2);
      }
    }
    if (shape.area == 0) continue;
    for (int y = 0; y < cut.height; ++y)
      for (int x = 0; x < cut.width; ++x)
        if (detector.IsMarked(x, y))
          visited.at<uint8_t>(cut.y + y - reach.y, cut.x + x - reach.x) = 1;
    if (compact) {
      if (!detector.FitCentre()) return 0;
      const double radius = std::sqrt(shape.area / CV_PI);
      cv::Point2d centre(detector.CentreX(), detector.CentreY());
      if (options.centring == DotCentring::kPrecise) {
        if (const auto precise = PreciseDotCentre(window.Mat(), detector)) centre = *precise;
      }
      const double cx = cut.x + centre.x;
      const double cy = cut.y + centre.y;
      const int frame = std::max(3, static_cast<int>(std::ceil(radius)));
      const double contrast =
          SurroundingMean(detector, window.Mat(), shape.box, frame) - detector.RegionMean();
      if (std::isfinite(cx) && std::isfinite(cy) && searched.contains(cv::Point(cx, cy)) &&
          contrast >= options.minContrast)
        dots.push_back({cx, cy, contrast, radius, FeatureKind::kDot});
    }
    detector.Release();
  }
  std::stable_sort(dots.begin(), dots.end(),
                   [](const Feature& a, const Feature& b) { return a.strength > b.strength; });
  if (static_cast<int>(dots.size()) > options.maxCount) dots.resize(options.maxCount);
  return 1;
}

double MedianDotRadius(const FeatureList& dots) {
  std::vector<double> radii;
  for (const Feature& dot : dots) radii.push_back(dot.radius);
  const auto middle = radii.begin() + static_cast<std::ptrdiff_t>(radii.size() / 2);
  std::nth_element(radii.begin(), middle, radii.end());
  return *middle;
}

}  // namespace q3d
