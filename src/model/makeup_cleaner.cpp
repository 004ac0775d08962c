#include "model/makeup_cleaner.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "matching/marker_dots.h"
#include "model/texture_filters.h"

namespace q3d {
namespace {

// A dot is at most this many times the typical dot's radius: a nostril or an iris is
// larger than the make-up painted around it.
constexpr double kLargestDotShare = 2.0;
// A dark spot smaller than this share of a typical dot's area is the skin's own grain.
constexpr double kSmallestSpotShare = 0.25;
// A spot the detector passed over is this many grey levels darker than its surroundings.
constexpr int kSpotContrast = 40;
// The ring around a dot: from 1.5 radii + 2 to 1.5 radii + 5 pixels out.
constexpr double kRingRadii = 1.5;
constexpr double kRingInner = 2.0;
constexpr double kRingOuter = 5.0;
// Skin around a dot is a smooth slope of light: its brightest tenth lies within this many
// grey levels of the plane that fits the ring. The white of an eye on both sides of a
// pupil, with the lids above and below, fits no plane.
constexpr double kRingAbovePlane = 20.0;
// Skin has colour: at most this share of a dot's ring may be white (a colour with less
// than kWhiteSaturation saturation, as bright as the ring's middle or brighter). The
// white of the eye makes up much of a pupil's ring.
constexpr double kWhiteRingShare = 0.25;
constexpr double kWhiteSaturation = 0.15;
// A photograph this grey overall (median saturation) has no colour to tell skin by.
constexpr double kColourlessSaturation = 0.08;

double Saturation(const cv::Vec3b& bgr) {
  const int most = std::max({bgr[0], bgr[1], bgr[2]});
  const int least = std::min({bgr[0], bgr[1], bgr[2]});
  return most > 0 ? static_cast<double>(most - least) / most : 0.0;
}

bool IsColour8u(const cv::Mat& m) { return !m.empty() && m.type() == CV_8UC3; }

// A dark round region is a make-up dot when the ring around it is skin: a slope of light
// with nothing much brighter on it (a neighbouring dot only darkens the ring) and, in a
// colour photograph, little white.
bool OnSkin(const cv::Mat& gray, const cv::Mat& colour, bool judgeColour, const cv::Point2d& centre,
            double radius) {
  const double inner = kRingRadii * radius + kRingInner;
  const double outer = kRingRadii * radius + kRingOuter;
  const int x0 = std::max(0, static_cast<int>(std::floor(centre.x - outer)));
  const int x1 = std::min(gray.cols - 1, static_cast<int>(std::ceil(centre.x + outer)));
  const int y0 = std::max(0, static_cast<int>(std::floor(centre.y - outer)));
  const int y1 = std::min(gray.rows - 1, static_cast<int>(std::ceil(centre.y + outer)));
  std::vector<cv::Vec3d> ring;  // dx, dy, level
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double d = std::hypot(x - centre.x, y - centre.y);
      if (d >= inner && d <= outer)
        ring.emplace_back(x - centre.x, y - centre.y, gray.at<uint8_t>(y, x));
    }
  if (ring.size() < 8) return false;
  std::vector<double> levels;
  for (const cv::Vec3d& p : ring) levels.push_back(p[2]);
  const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
  std::nth_element(levels.begin(), middle, levels.end());
  const double median = *middle;
  if (judgeColour) {
    size_t white = 0;
    for (const cv::Vec3d& p : ring) {
      const cv::Vec3b bgr = colour.at<cv::Vec3b>(static_cast<int>(std::lround(centre.y + p[1])),
                                                 static_cast<int>(std::lround(centre.x + p[0])));
      white += p[2] >= median && Saturation(bgr) < kWhiteSaturation;
    }
    if (white > kWhiteRingShare * static_cast<double>(ring.size())) return false;
  }
  // The plane of the skin, fitted without the neighbouring dots that reach into the ring.
  std::vector<cv::Vec3d> skin;
  for (const cv::Vec3d& p : ring)
    if (p[2] >= median - kRingAbovePlane) skin.push_back(p);
  if (skin.size() < 8) return false;
  cv::Mat design(static_cast<int>(skin.size()), 3, CV_64F),
      values(static_cast<int>(skin.size()), 1, CV_64F);
  for (int i = 0; i < design.rows; ++i) {
    const cv::Vec3d& p = skin[static_cast<size_t>(i)];
    design.at<double>(i, 0) = 1.0;
    design.at<double>(i, 1) = p[0];
    design.at<double>(i, 2) = p[1];
    values.at<double>(i) = p[2];
  }
  cv::Mat plane;
  if (!cv::solve(design, values, plane, cv::DECOMP_SVD)) return false;
  const cv::Mat above = values - design * plane;
  std::vector<double> residuals(above.begin<double>(), above.end<double>());
  const auto tenth = residuals.begin() +
                     static_cast<std::ptrdiff_t>(0.9 * static_cast<double>(residuals.size() - 1));
  std::nth_element(residuals.begin(), tenth, residuals.end());
  return *tenth <= kRingAbovePlane;
}

}  // namespace

bool MakeupCleaner::Prepare(cv::Mat target) {
  Reset();
  if (!IsColour8u(target)) return false;
  if (!GuardedImageStep([&] { cv::cvtColor(target, gray_, cv::COLOR_BGR2GRAY); })) return false;
  target_ = target;
  return FindDots();
}

bool MakeupCleaner::FindDots() {
  DotOptions options;
  options.maxCount = gray_.rows * gray_.cols;
  options.centring = DotCentring::kPlain;  // the dot's disc is all that is needed
  FeatureList found;
  if (DetectMarkerDots(gray_, cv::Rect(0, 0, gray_.cols, gray_.rows), options, found) != 1)
    return false;
  if (found.empty()) return true;
  typicalRadius_ = MedianDotRadius(found);
  largestRadius_ = kLargestDotShare * typicalRadius_;
  // How much darker each pixel is than its surroundings a dot's width away (the grey
  // closed with a disc of two typical dots' diameter).
  const int disc = 2 * static_cast<int>(std::ceil(2.0 * typicalRadius_)) + 1;
  const bool contrasted = GuardedImageStep([&] {
    cv::Mat closed;
    cv::morphologyEx(gray_, closed, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(disc, disc)),
                     cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    spotContrast_ = closed - gray_;
  });
  if (!contrasted) return false;
  std::vector<double> saturations;
  for (auto it = target_.begin<cv::Vec3b>(); it != target_.end<cv::Vec3b>(); ++it)
    saturations.push_back(Saturation(*it));
  const auto half = saturations.begin() + static_cast<std::ptrdiff_t>(saturations.size() / 2);
  std::nth_element(saturations.begin(), half, saturations.end());
  judgeColour_ = *half >= kColourlessSaturation;
  for (const Feature& f : found) {
    const cv::Point2d centre(f.x, f.y);
    if (f.radius <= largestRadius_ && OnSkin(gray_, target_, judgeColour_, centre, f.radius))
      dots_.push_back({centre, f.radius});
  }
  return true;
}

bool MakeupCleaner::Apply(int threshold, int maximum, int median) {
  if (target_.empty()) return false;
  threshold = std::clamp(threshold, 0, 255);
  if (!UpdateSkinLevel(OddMaskSize(median))) return false;
  const double grow = std::max(1, std::clamp(maximum, 1, kMaxMaskSize) / 2);
  return GuardedImageStep([&] {
    // The threshold holds for skin of the region's typical brightness and follows the
    // skin around each pixel: in a shadow, dots are darker than the shadowed skin only.
    cv::Mat limit, grey, dark;
    skin_.convertTo(limit, CV_32F, threshold / typicalSkin_);
    gray_.convertTo(grey, CV_32F);
    cv::compare(grey, limit, dark, cv::CMP_LT);
    mask_ = cv::Mat::zeros(gray_.size(), CV_8U);
    const auto mark = [&](const Dot& dot) {
      const cv::Point at(
          std::clamp(static_cast<int>(std::lround(dot.centre.x)), 0, gray_.cols - 1),
          std::clamp(static_cast<int>(std::lround(dot.centre.y)), 0, gray_.rows - 1));
      // The soft edge of a dot reaches about half a radius beyond its dark core.
      const double reach = std::min(2.0 * dot.radius, 1.5 * dot.radius + grow);
      cv::circle(mask_, at, static_cast<int>(reach), cv::Scalar(255), cv::FILLED);
    };
    for (const Dot& dot : dots_) {
      const cv::Point at(
          std::clamp(static_cast<int>(std::lround(dot.centre.x)), 0, gray_.cols - 1),
          std::clamp(static_cast<int>(std::lround(dot.centre.y)), 0, gray_.rows - 1));
      if (dark.at<uint8_t>(at)) mark(dot);
    }
    for (const Dot& dot : DarkSpotsLeft(dark)) mark(dot);
    if (cv::countNonZero(mask_) > 0) FillMarked(median);
  });
}

std::vector<MakeupCleaner::Dot> MakeupCleaner::DarkSpotsLeft(const cv::Mat& dark) const {
  // Dots the detector passed over (crowded, or beside the lips): spots darker than the
  // surroundings a dot's width away, of a dot's size and shape, on skin, away from the
  // dots already marked. A shadow or the lips are wider than that and stay.
  if (spotContrast_.empty()) return {};
  cv::Mat labels, stats, centroids;
  const cv::Mat spots = dark & (spotContrast_ > kSpotContrast) & (mask_ == 0);
  const int count = cv::connectedComponentsWithStats(spots, labels, stats, centroids, 8);
  std::vector<Dot> found;
  for (int i = 1; i < count; ++i) {
    const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
    const int area = stats.at<int>(i, cv::CC_STAT_AREA);
    // Two touching dots make one spot: it reaches no farther than two typical dots' radii.
    const double radius = std::min(std::sqrt(area / CV_PI), typicalRadius_);
    const bool dotLike = area >= kSmallestSpotShare * CV_PI * typicalRadius_ * typicalRadius_ &&
                         area <= CV_PI * largestRadius_ * largestRadius_ &&
                         std::max(w, h) <= 2 * std::min(w, h) && 2 * area >= w * h;
    const cv::Point2d centre(centroids.at<double>(i, 0), centroids.at<double>(i, 1));
    if (dotLike && OnSkin(gray_, target_, judgeColour_, centre, radius))
      found.push_back({centre, radius});
  }
  return found;
}

void MakeupCleaner::FillMarked(int median) {
  // Each marked pixel takes the median of the unmarked pixels in its median x median
  // window: the skin around a dot, never the dot itself, so a dot larger than half the
  // window leaves no dark core and no ring. Pixels whose window holds no skin wait for
  // the next pass, which doubles the window.
  const cv::Mat source = target_.clone();
  cv::Mat pending = mask_.clone();
  std::vector<uint8_t> values[3];
  for (int half = OddMaskSize(median) / 2; cv::countNonZero(pending) > 0; half *= 2) {
    cv::Mat filled = pending.clone();
    for (int y = 0; y < source.rows; ++y) {
      for (int x = 0; x < source.cols; ++x) {
        if (!pending.at<uint8_t>(y, x)) continue;
        for (auto& v : values) v.clear();
        for (int v = std::max(0, y - half); v <= std::min(source.rows - 1, y + half); ++v)
          for (int u = std::max(0, x - half); u <= std::min(source.cols - 1, x + half); ++u)
            if (!mask_.at<uint8_t>(v, u))
              for (int c = 0; c < 3; ++c) values[c].push_back(source.at<cv::Vec3b>(v, u)[c]);
        if (values[0].empty()) continue;
        for (int c = 0; c < 3; ++c) {
          auto middle = values[c].begin() + static_cast<std::ptrdiff_t>(values[c].size() / 2);
          std::nth_element(values[c].begin(), middle, values[c].end());
          target_.at<cv::Vec3b>(y, x)[c] = *middle;
        }
        filled.at<uint8_t>(y, x) = 0;
      }
    }
    // A region marked all over has no skin to take: it keeps its colours.
    if (cv::countNonZero(filled) == cv::countNonZero(pending) &&
        half > std::max(source.rows, source.cols))
      break;
    pending = filled;
  }
}

bool MakeupCleaner::UpdateSkinLevel(int window) {
  if (window == skinWindow_ && !skin_.empty()) return true;
  skinWindow_ = window;
  return GuardedImageStep([&] {
    // Closing fills the dots with the skin around them and keeps the edges of larger
    // areas such as a shadow. Its window is two medians wide: the median must cover most
    // of a dot to replace it, so twice that covers a whole dot.
    const int wide = 2 * window + 1;
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(wide, wide));
    cv::morphologyEx(gray_, skin_, cv::MORPH_CLOSE, disc, cv::Point(-1, -1), 1,
                     cv::BORDER_REPLICATE);
    std::vector<uint8_t> levels(skin_.begin<uint8_t>(), skin_.end<uint8_t>());
    const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end());
    typicalSkin_ = std::max<int>(*middle, 1);
  });
}

void MakeupCleaner::Reset() {
  target_ = cv::Mat();
  gray_.release();
  mask_.release();
  skin_.release();
  spotContrast_.release();
  dots_.clear();
  skinWindow_ = 0;
}

}  // namespace q3d
