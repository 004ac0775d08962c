#include "matching/corner_features.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "matching/smoothing.h"

namespace q3d {
namespace {

constexpr float kHarrisK = 0.04f;

struct Candidate {
  int x = 0;
  int y = 0;
  float response = 0.0f;
};

// Offset of the vertex of the parabola through (-1, a), (0, b), (1, c), within +/- 0.5.
double ParabolaPeak(double a, double b, double c) {
  const double curvature = a - 2.0 * b + c;
  if (!(curvature < 0.0)) return 0.0;
  return std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
}

bool NearDot(double x, double y, const FeatureList& dots) {
  for (const Feature& dot : dots) {
    const double reach = 1.5 * dot.radius + 3.0;
    const double dx = x - dot.x;
    const double dy = y - dot.y;
    if (dx * dx + dy * dy < reach * reach) return true;
  }
  return false;
}

// Local maxima of the response (3 x 3) above the limit, inside the bounds.
std::vector<Candidate> LocalMaxima(const cv::Mat& response, const cv::Rect& bounds, float limit) {
  cv::Mat dilated;
  cv::dilate(response, dilated, cv::Mat());
  std::vector<Candidate> candidates;
  for (int y = bounds.y; y < bounds.y + bounds.height; ++y) {
    const float* r = response.ptr<float>(y);
    const float* d = dilated.ptr<float>(y);
    for (int x = bounds.x; x < bounds.x + bounds.width; ++x)
      if (r[x] > limit && r[x] >= d[x]) candidates.push_back({x, y, r[x]});
  }
  return candidates;
}

}  // namespace

cv::Mat HarrisResponse(const cv::Mat& grey, int gaussianSize, double gaussianDev) {
  const cv::Mat kernel = GaussianKernel(gaussianSize, gaussianDev);
  const cv::Mat smoothed = Smooth(grey, kernel);
  const cv::Mat difference = (cv::Mat_<float>(1, 3) << -0.5f, 0.0f, 0.5f);
  const cv::Mat one = cv::Mat::ones(1, 1, CV_32F);
  cv::Mat ix, iy;
  cv::sepFilter2D(smoothed, ix, CV_32F, difference, one, cv::Point(-1, -1), 0.0, cv::BORDER_REFLECT);
  cv::sepFilter2D(smoothed, iy, CV_32F, one, difference, cv::Point(-1, -1), 0.0, cv::BORDER_REFLECT);
  const cv::Mat ixx = Smooth(ix.mul(ix), kernel);
  const cv::Mat iyy = Smooth(iy.mul(iy), kernel);
  const cv::Mat ixy = Smooth(ix.mul(iy), kernel);
  cv::Mat trace = ixx + iyy;
  cv::Mat response = ixx.mul(iyy) - ixy.mul(ixy) - kHarrisK * trace.mul(trace);
  return response;
}

FeatureList DetectCorners(const cv::Mat& grey, const cv::Rect& area, const CornerOptions& options,
                          const FeatureList& avoid) {
  FeatureList corners;
  const cv::Rect image(0, 0, grey.cols, grey.rows);
  const int border = std::max(options.border, 1);  // the sub-pixel fit reads both neighbours
  const cv::Rect inner = cv::Rect(border, border, grey.cols - 2 * border, grey.rows - 2 * border);
  const cv::Rect bounds = area & image & inner;
  if (options.maxCount <= 0 || bounds.area() <= 0) return corners;

  // The response near the area's edge needs the smoothing's support around it.
  const int margin = 2 * std::max(options.gaussianSize, 1) + 2;
  const cv::Rect work = cv::Rect(bounds.x - margin, bounds.y - margin, bounds.width + 2 * margin,
                                 bounds.height + 2 * margin) & image;
  const cv::Mat response = HarrisResponse(grey(work), options.gaussianSize, options.gaussianDev);
  const cv::Rect local(bounds.x - work.x, bounds.y - work.y, bounds.width, bounds.height);

  double strongest = 0.0;
  cv::minMaxLoc(response(local), nullptr, &strongest);
  if (!(strongest > 0.0) || !std::isfinite(strongest)) return corners;
  const float limit = static_cast<float>(std::max(options.relativeMinimum, 0.0) * strongest);
  std::vector<Candidate> candidates = LocalMaxima(response, local, std::max(limit, 0.0f));

  const auto stronger = [](const Candidate& a, const Candidate& b) {
    return a.response > b.response;
  };
  // Only the strongest few can be chosen; sorting all maxima of a large image is wasted.
  const size_t keep = static_cast<size_t>(options.maxCount) * 20 + 1000;
  if (candidates.size() > keep) {
    std::nth_element(candidates.begin(), candidates.begin() + keep, candidates.end(), stronger);
    candidates.resize(keep);
  }
  std::sort(candidates.begin(), candidates.end(), stronger);

  const double cellsWanted = std::max(1.0, options.maxCount / 2.0);
  const int cellsX = std::max(1, static_cast<int>(std::lround(
                                     std::sqrt(cellsWanted * bounds.width / bounds.height))));
  const int cellsY = std::max(1, static_cast<int>(std::lround(cellsWanted / cellsX)));
  const int share = (options.maxCount + cellsX * cellsY - 1) / (cellsX * cellsY);
  std::vector<int> taken(static_cast<size_t>(cellsX) * cellsY, 0);
  std::vector<char> used(candidates.size(), 0);

  const auto accept = [&](size_t i) {
    const Candidate& c = candidates[i];
    const auto at = [&](int dx, int dy) { return response.at<float>(c.y + dy, c.x + dx); };
    Feature corner;
    corner.x = work.x + c.x + ParabolaPeak(at(-1, 0), at(0, 0), at(1, 0));
    corner.y = work.y + c.y + ParabolaPeak(at(0, -1), at(0, 0), at(0, 1));
    corner.strength = c.response;
    corner.kind = FeatureKind::kCorner;
    corners.push_back(corner);
    used[i] = 1;
  };

  for (size_t i = 0; i < candidates.size() && static_cast<int>(corners.size()) < options.maxCount;
       ++i) {
    const Candidate& c = candidates[i];
    if (NearDot(work.x + c.x, work.y + c.y, avoid)) {
      used[i] = 1;
      continue;
    }
    const int cx = std::min(cellsX - 1, (c.x - local.x) * cellsX / local.width);
    const int cy = std::min(cellsY - 1, (c.y - local.y) * cellsY / local.height);
    int& count = taken[static_cast<size_t>(cy) * cellsX + cx];
    if (count >= share) continue;
    ++count;
    accept(i);
  }
  for (size_t i = 0; i < candidates.size() && static_cast<int>(corners.size()) < options.maxCount;
       ++i)
    if (!used[i]) accept(i);
  return corners;
}

}  // namespace q3d
