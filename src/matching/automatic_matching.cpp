#include "matching/automatic_matching.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "base/progress.h"
#include "matching/corner_features.h"
#include "matching/correlation_matching.h"
#include "matching/disparity_check.h"
#include "matching/grey_source.h"
#include "matching/marker_dots.h"
#include "matching/subpixel_refinement.h"

namespace q3d {
namespace {

// Too few dots give no trustworthy scale between the images.
constexpr size_t kDotsForScale = 5;
// Around a dot the window reaches this many dot radii past the correlation window, and the
// dot's own disc (all dots look alike) is left out up to this many radii.
constexpr double kDotContextRadii = 3.0;
constexpr double kDotHoleRadii = 1.5;
constexpr double kDotSamplesPerRadius = 5.0;
// Make-up dots are a few millimetres wide: about 1 % of a photograph of a face; regions
// wider than 3 % of the image are other dark things.
constexpr double kMaxDotShareOfImage = 0.03;

struct ImageFeatures {
  cv::Mat grey;  // CV_32F
  FeatureList dots;
  FeatureList corners;
};

Status ExtractFeatures(const CCamera& camera, const AutoMatchParams& params, ImageFeatures& out) {
  const cv::Mat grey8 = CameraGrey(camera);
  const cv::Rect area = FeatureArea(camera);
  DotOptions dotOptions;
  dotOptions.maxCount = params.points;
  dotOptions.gaussianSize = params.gaussianSize;
  dotOptions.gaussianDev = params.gaussianDev;
  dotOptions.centring = params.dotCentring;
  dotOptions.maxDiameter = std::max(
      20, static_cast<int>(kMaxDotShareOfImage * std::max(camera.Width(), camera.Height())));
  if (!DetectMarkerDots(grey8, area, dotOptions, out.dots)) return OutOfMemory();
  grey8.convertTo(out.grey, CV_32F);
  CornerOptions cornerOptions;
  cornerOptions.maxCount = params.points - static_cast<int>(out.dots.size());
  cornerOptions.gaussianSize = params.gaussianSize;
  cornerOptions.gaussianDev = params.gaussianDev;
  cornerOptions.relativeMinimum = params.relativeMinimum;
  cornerOptions.border = std::max(params.windowWidth, params.windowHeight) / 2 + 1;
  out.corners = DetectCorners(out.grey, area, cornerOptions, out.dots);
  return Status::Ok();
}

struct WindowPair {
  WindowSamples first;
  WindowSamples second;
};

// Samples both images' windows; image 2 is sampled with the scale step so that a feature
// covers the same part of the face in both windows.
WindowPair Sample(const ImageFeatures& image1, const FeatureList& features1,
                  const ImageFeatures& image2, const FeatureList& features2,
                  CorrelationWindow window, double scale) {
  WindowPair samples;
  samples.first = SampleWindows(image1.grey, features1, window);
  window.step *= scale;
  window.holeRadius *= scale;
  samples.second = SampleWindows(image2.grey, features2, window);
  return samples;
}

void Append(std::vector<PointPair>& pairs, const FeatureList& f1, const FeatureList& f2,
            const std::vector<FeatureMatch>& matches) {
  for (const FeatureMatch& m : matches) {
    const Feature& a = f1[static_cast<size_t>(m.index1)];
    const Feature& b = f2[static_cast<size_t>(m.index2)];
    pairs.push_back({a.x, a.y, b.x, b.y});
  }
}

std::string TooFewMessage(int candidates) {
  return "Automatic matching found only " + std::to_string(candidates) +
         " candidate matches; at least 9 are needed to check them against the epipolar "
         "geometry. Try more points, a lower threshold or a larger width factor.";
}

Status Match(const CCamera& camera1, const CCamera& camera2, const AutoMatchParams& params,
             std::vector<PointPair>& matches, AutoMatchReport& r, Progress& progress) {
  progress.SetStep("Finding feature points...");
  progress.SetPos(0);
  ImageFeatures image1, image2;
  if (Status found = ExtractFeatures(camera1, params, image1); !found) return found;
  progress.SetPos(25);
  if (Status found = ExtractFeatures(camera2, params, image2); !found) return found;
  r.dots1 = static_cast<int>(image1.dots.size());
  r.dots2 = static_cast<int>(image2.dots.size());
  r.corners1 = static_cast<int>(image1.corners.size());
  r.corners2 = static_cast<int>(image2.corners.size());
  progress.SetStep("Matching feature points...");
  progress.SetPos(50);

  // The dots give the scale between the two images (different focal lengths or distances).
  double scale = 1.0;
  double dotRadius = 0.0;
  if (image1.dots.size() >= kDotsForScale && image2.dots.size() >= kDotsForScale) {
    dotRadius = MedianDotRadius(image1.dots);
    scale = std::clamp(MedianDotRadius(image2.dots) / dotRadius, 0.5, 2.0);
  } else if (!image1.dots.empty()) {
    dotRadius = MedianDotRadius(image1.dots);
  }
  const CorrelationWindow cornerWindow{std::max(params.windowWidth, 1),
                                       std::max(params.windowHeight, 1), 1.0, 0.0};
  // Large dots (large images) are sampled more sparsely: their windows keep a fixed size.
  const double dotStep = std::max(1.0, dotRadius / kDotSamplesPerRadius);
  const int context = 2 * static_cast<int>(std::ceil(kDotContextRadii * dotRadius / dotStep));
  const CorrelationWindow dotWindow{cornerWindow.width + context, cornerWindow.height + context,
                                    dotStep, kDotHoleRadii * dotRadius};
  const WindowPair cornerSamples =
      Sample(image1, image1.corners, image2, image2.corners, cornerWindow, scale);
  const WindowPair dotSamples = Sample(image1, image1.dots, image2, image2.dots, dotWindow, scale);

  SearchRules rules;
  rules.maxDx = params.widthFactor * 0.1 * camera1.Width();
  rules.maxDy = params.widthFactor * 0.1 * camera1.Height();
  rules.threshold = params.threshold;
  std::vector<PointPair> candidates;
  Append(candidates, image1.dots, image2.dots,
         CrossCheckedMatches(image1.dots, dotSamples.first, image2.dots, dotSamples.second, rules));
  Append(candidates, image1.corners, image2.corners,
         CrossCheckedMatches(image1.corners, cornerSamples.first, image2.corners,
                             cornerSamples.second, rules));
  r.candidates = static_cast<int>(candidates.size());

  progress.SetStep("Checking the epipolar geometry...");
  progress.SetPos(75);
  const EpipolarCheck check = CheckEpipolar(candidates);
  if (!check.found) return Status::Fail(TooFewMessage(r.candidates));

  // Second pass: with the geometry known, features pair up along their epipolar lines,
  // which recovers matches the first pass lost to a better-looking wrong candidate.
  rules.F = &check.F;
  rules.maxEpipolar = check.threshold;
  const std::vector<FeatureMatch> dotMatches =
      CrossCheckedMatches(image1.dots, dotSamples.first, image2.dots, dotSamples.second, rules);
  std::vector<PointPair> guided;
  Append(guided, image1.dots, image2.dots, dotMatches);
  Append(guided, image1.corners, image2.corners,
         CrossCheckedMatches(image1.corners, cornerSamples.first, image2.corners,
                             cornerSamples.second, rules));
  for (size_t i = dotMatches.size(); i < guided.size(); ++i)
    guided[i] = RefineByCorrelation(image1.grey, image2.grey, guided[i], cornerWindow, scale);

  // The geometry refitted on the final matches removes those far from their lines, and the
  // neighbourhood check those at the wrong place along them.
  const EpipolarCheck refit = CheckEpipolar(guided);
  const EpipolarCheck& used = refit.found ? refit : check;
  std::vector<PointPair> onLines;
  std::vector<char> isDot;
  for (size_t i = 0; i < guided.size(); ++i) {
    if (refit.found && !refit.inlier[i]) continue;
    onLines.push_back(guided[i]);
    isDot.push_back(i < dotMatches.size());
  }
  const std::vector<char> agree = AgreeWithNeighbours(onLines);
  for (size_t i = 0; i < onLines.size(); ++i) {
    if (!agree[i]) continue;
    matches.push_back(onLines[i]);
    if (isDot[i]) ++r.dotMatches;
  }
  r.matches = static_cast<int>(matches.size());
  r.epipolarLimit = used.threshold;
  progress.SetPos(100);
  if (matches.empty())
    return Status::Fail(
        "Automatic matching found no matches that agree with the epipolar geometry.");
  return Status::Ok();
}

}  // namespace

Status FindAutomaticMatches(const CCamera& camera1, const CCamera& camera2,
                            const AutoMatchParams& params, std::vector<PointPair>& matches,
                            AutoMatchReport* report, Progress* external) {
  matches.clear();
  AutoMatchReport local;
  AutoMatchReport& r = report ? *report : local;
  r = {};
  if (!camera1.HasImage() || !camera2.HasImage())
    return Status::Fail("Automatic matching needs both images.");
  ScopedProgress progress(external);
  Status matched = Status::Ok();
  try {
    matched = Match(camera1, camera2, params, matches, r, *progress);
  } catch (const cv::Exception&) {
    matched =
        Status::Fail("Error: Automatic matching failed in an image operation.", kImageLibraryCode);
  } catch (const std::bad_alloc&) {
    matched = OutOfMemory();
  }
  if (!matched) matches.clear();
  return matched;
}

Status AutomaticMatching(CStereoPair& pair, const AutoMatchParams& params, Progress* progress,
                         AutoMatchReport* report) {
  if (!pair.m_camera1 || !pair.m_camera2)
    return Status::Fail("Automatic matching needs both images.");
  std::vector<PointPair> found;
  if (Status matched =
          FindAutomaticMatches(*pair.m_camera1, *pair.m_camera2, params, found, report, progress);
      !matched)
    return matched;

  CSpPointSet& points1 = pair.m_camera1->m_points;
  CSpPointSet& points2 = pair.m_camera2->m_points;
  pair.ResetAll();
  points1.RemoveAll();
  points2.RemoveAll();
  for (const PointPair& p : found) {
    auto point1 = std::make_unique<CSpPoint>(p.x1, p.y1);
    auto point2 = std::make_unique<CSpPoint>(p.x2, p.y2);
    CSpPoint* a = point1.get();
    CSpPoint* b = point2.get();
    if (!points1.Add(std::move(point1))) return OutOfMemory();
    if (!points2.Add(std::move(point2))) {
      points1.m_list.pop_back();
      return OutOfMemory();
    }
    if (!pair.m_matches.Add(std::make_unique<CMatch>(a, b))) {
      points1.m_list.pop_back();
      points2.m_list.pop_back();
      return OutOfMemory();
    }
  }
  return Status::Ok();
}

}  // namespace q3d
