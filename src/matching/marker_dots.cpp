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
constexpr double kMaxElongation = 2.0;
constexpr double kMinFill = 0.5;

struct Seed {
  int x = 0;
  int y = 0;
  float value = 0.0f;
};

// Dark local minima (3 x 3) of the smoothed area, darkest first.
std::vector<Seed> DarkMinima(const cv::Mat& grey, const cv::Rect& area, const DotOptions& options) {
  cv::Mat area32;
  grey(area).convertTo(area32, CV_32F);
  const cv::Mat smoothed =
      Smooth(area32, GaussianKernel(options.gaussianSize, options.gaussianDev));
  cv::Mat eroded;
  cv::erode(smoothed, eroded, cv::Mat());
  std::vector<Seed> seeds;
  for (int y = 0; y < smoothed.rows; ++y) {
    const float* s = smoothed.ptr<float>(y);
    const float* e = eroded.ptr<float>(y);
    for (int x = 0; x < smoothed.cols; ++x)
      if (s[x] < options.darkLimit && s[x] <= e[x]) seeds.push_back({area.x + x, area.y + y, s[x]});
  }
  std::sort(seeds.begin(), seeds.end(),
            [](const Seed& a, const Seed& b) { return a.value < b.value; });
  return seeds;
}

struct RegionShape {
  int area = 0;
  cv::Rect box;  // window coordinates
};

RegionShape ShapeOf(const CMarkerDetector& detector, int width, int height) {
  RegionShape shape;
  int left = width, top = height, right = -1, bottom = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (detector.IsMarked(x, y)) {
        ++shape.area;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (shape.area > 0) shape.box = cv::Rect(left, top, right - left + 1, bottom - top + 1);
  return shape;
}

bool IsCompact(const RegionShape& shape, int width, int height, int maxDiameter) {
  const cv::Rect& b = shape.box;
  if (shape.area < kMinArea || b.width > maxDiameter || b.height > maxDiameter) return false;
  if (b.x == 0 || b.y == 0 || b.x + b.width == width || b.y + b.height == height) return false;
  const double longSide = std::max(b.width, b.height);
  const double shortSide = std::min(b.width, b.height);
  return longSide <= kMaxElongation * shortSide && shape.area >= kMinFill * b.area();
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

  cv::Mat visited = cv::Mat::zeros(grey.size(), CV_8U);
  Image window;
  CMarkerDetector detector;
  // The window has room for the largest dot wherever the seed lies in it.
  const int half = std::max(options.maxDiameter, 2);
  for (const Seed& seed : DarkMinima(grey, searched, options)) {
    if (visited.at<uint8_t>(seed.y, seed.x)) continue;
    // The first window is centred on the seed, which may lie near the dot's edge; a region
    // reaching that window's edge is grown again in a window centred on it.
    cv::Point centre(seed.x, seed.y);
    cv::Rect cut;
    RegionShape shape;
    bool compact = false;
    for (int attempt = 0; attempt < 2 && !compact; ++attempt) {
      detector.Release();
      cut = cv::Rect(centre.x - half, centre.y - half, 2 * half + 1, 2 * half + 1) & image;
      if (!cut.contains(cv::Point(seed.x, seed.y))) break;
      if (!CreateGrayImage(window, cut.width, cut.height)) return 0;
      cv::Mat windowMat = window.Mat();
      grey(cut).copyTo(windowMat);
      if (!detector.Setup(cut.width, cut.height, options.darkLimit, options.meanMargin)) return 0;
      if (!detector.GrowRegion(window, seed.x - cut.x, seed.y - cut.y)) return 0;
      if (detector.IsEmpty()) break;
      shape = ShapeOf(detector, cut.width, cut.height);
      compact = IsCompact(shape, cut.width, cut.height, options.maxDiameter);
      centre = cv::Point(cut.x + shape.box.x + shape.box.width / 2,
                         cut.y + shape.box.y + shape.box.height / 2);
    }
    if (shape.area == 0) continue;
    for (int y = 0; y < cut.height; ++y)
      for (int x = 0; x < cut.width; ++x)
        if (detector.IsMarked(x, y)) visited.at<uint8_t>(cut.y + y, cut.x + x) = 1;
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
