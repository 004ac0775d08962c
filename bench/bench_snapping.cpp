// Placing points on make-up dots, as a Shift-click does: the time per point of the plain
// detector and of the detector followed by the precise centre step, and of that step alone,
// over the 60 dots of a rendered 1024 x 768 face image.
#include <benchmark/benchmark.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "stereo/camera.h"
#include "stereo/dot_centre.h"
#include "stereo/marker_detector.h"
#include "support/synthetic_face.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

struct DotImage {
  CCamera camera;
  cv::Mat grey;
  std::vector<cv::Point> clicks;  // the pixel nearest each dot's centre
};

const DotImage& FaceImage() {
  static const DotImage* image = [] {
    test::FaceSceneOptions options;
    options.noiseSigma = 2.0;
    const test::FaceStereoPair pair = test::RenderFaceStereoPair(options);
    auto* loaded = new DotImage;
    CCamera unused;
    test::LoadFaceImages(pair, loaded->camera, unused);
    cv::cvtColor(pair.image1, loaded->grey, cv::COLOR_BGR2GRAY);
    for (const Eigen::Vector2d& dot : pair.dots1)
      loaded->clicks.emplace_back(static_cast<int>(std::lround(dot.x())),
                                  static_cast<int>(std::lround(dot.y())));
    return loaded;
  }();
  return *image;
}

void SetTimePerPoint(benchmark::State& state, size_t points) {
  state.counters["time_per_point"] = benchmark::Counter(
      static_cast<double>(points),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SnapPoint(benchmark::State& state) {
  const DotImage& image = FaceImage();
  const DotCentring centring = state.range(0) ? DotCentring::kPrecise : DotCentring::kPlain;
  std::optional<cv::Point2d> centre;
  for (auto _ : state) {
    for (const cv::Point& click : image.clicks) {
      if (!image.camera.FindDotCentre(click.x, click.y, centring, centre))
        state.SkipWithError("placing a point failed");
      benchmark::DoNotOptimize(centre);
    }
  }
  SetTimePerPoint(state, image.clicks.size());
}
BENCHMARK(BM_SnapPoint)->ArgName("precise")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The precise step on detectors that have already grown and fitted their dots.
void BM_PreciseCentreStep(benchmark::State& state) {
  const DotImage& image = FaceImage();
  constexpr int kHalf = 20;
  std::vector<cv::Mat> windows;
  std::vector<CMarkerDetector> detectors;
  for (const cv::Point& click : image.clicks) {
    const cv::Rect cut = cv::Rect(click.x - kHalf, click.y - kHalf, 2 * kHalf, 2 * kHalf) &
                         cv::Rect(0, 0, image.grey.cols, image.grey.rows);
    Image window = test::ToGrayImage(image.grey(cut).clone());
    CMarkerDetector detector;
    detector.Setup(cut.width, cut.height, 100, 30);
    detector.GrowRegion(window, click.x - cut.x, click.y - cut.y);
    if (detector.IsEmpty()) continue;
    detector.FitCentre();
    windows.push_back(image.grey(cut).clone());
    detectors.push_back(std::move(detector));
  }
  for (auto _ : state)
    for (size_t i = 0; i < windows.size(); ++i)
      benchmark::DoNotOptimize(PreciseDotCentre(windows[i], detectors[i]));
  SetTimePerPoint(state, windows.size());
}
BENCHMARK(BM_PreciseCentreStep)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace q3d
