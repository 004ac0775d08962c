// The same job done by OpenCV's uncalibrated tools, as a yardstick for the render on the
// same 400 matches: a least-median fundamental matrix, focal lengths from it in closed form
// (the principal points at the image centres), the pose from the essential matrix and the
// triangulated points. Compare with BM_Render/400 and BM_RenderSearchOnly/400 of this run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <opencv2/calib3d.hpp>
#include <vector>

#include "numeric/render_pipeline.h"
#include "support/synthetic_scene.h"

namespace {

constexpr int kMatches = 400;

q3d::test::SyntheticScene Scene() {
  q3d::test::SceneOptions options;
  options.num_points = kMatches;
  options.pixel_noise_sigma = 0.5;
  options.seed = 7;
  return q3d::test::MakeSyntheticScene(options);
}

// Focal lengths of the two cameras from F (m2' F m1 = 0, centred pixels), square pixels and
// centred principal points: the closed form that needs no search.
std::pair<double, double> FocalsFromFundamental(const cv::Matx33d& F) {
  cv::Mat w, u, vt;
  cv::SVD::compute(cv::Mat(F), w, u, vt, cv::SVD::FULL_UV);
  const cv::Vec3d e1(vt.at<double>(2, 0), vt.at<double>(2, 1), vt.at<double>(2, 2));
  const cv::Vec3d e2(u.at<double>(0, 2), u.at<double>(1, 2), u.at<double>(2, 2));
  const cv::Matx33d I3(1, 0, 0, 0, 1, 0, 0, 0, 0);
  const cv::Vec3d p(0, 0, 1);
  const auto cross = [](const cv::Vec3d& e) {
    return cv::Matx33d(0, -e[2], e[1], e[2], 0, -e[0], -e[1], e[0], 0);
  };
  const auto focal = [&](const cv::Matx33d& G, const cv::Vec3d& e_other) {
    const cv::Vec3d Gp = G * p;
    const double num = -(p.t() * cross(e_other) * I3 * G * p)(0) * (Gp.t() * p)(0);
    const double den = (p.t() * cross(e_other) * I3 * G * I3 * G.t() * p)(0);
    return std::sqrt(std::abs(num / den));
  };
  return {focal(F, e2), focal(F.t(), e1)};
}

void BM_OpenCvUncalibratedPipeline(benchmark::State& state) {
  const auto scene = Scene();
  const q3d::Matrix matches = scene.PixelMatches();
  const double cx1 = std::floor(scene.options.width1 / 2.0);
  const double cy1 = std::floor(scene.options.height1 / 2.0);
  const double cx2 = std::floor(scene.options.width2 / 2.0);
  const double cy2 = std::floor(scene.options.height2 / 2.0);
  std::vector<cv::Point2d> p1, p2;
  for (Eigen::Index i = 0; i < matches.rows(); ++i) {
    p1.emplace_back(matches(i, 0) - cx1, matches(i, 1) - cy1);
    p2.emplace_back(matches(i, 2) - cx2, matches(i, 3) - cy2);
  }
  for (auto _ : state) {
    cv::Mat inliers;
    const cv::Mat F = cv::findFundamentalMat(p1, p2, cv::FM_LMEDS, 3, 0.99, inliers);
    if (F.rows != 3) {
      state.SkipWithError("no fundamental matrix");
      break;
    }
    const auto [f1, f2] = FocalsFromFundamental(cv::Matx33d(F));
    const cv::Matx33d K1(f1, 0, 0, 0, f1, 0, 0, 0, 1), K2(f2, 0, 0, 0, f2, 0, 0, 0, 1);
    const cv::Mat E = cv::Mat(K2.t()) * F * cv::Mat(K1);
    std::vector<cv::Point2d> n1, n2;
    cv::undistortPoints(p1, n1, cv::Mat(K1), cv::noArray());
    cv::undistortPoints(p2, n2, cv::Mat(K2), cv::noArray());
    cv::Mat R, t, mask = inliers.clone();
    cv::recoverPose(E, n1, n2, cv::Mat::eye(3, 3, CV_64F), R, t, mask);
    cv::Mat P1 = cv::Mat::eye(3, 4, CV_64F), P2(3, 4, CV_64F), X;
    R.copyTo(P2.colRange(0, 3));
    t.copyTo(P2.col(3));
    cv::triangulatePoints(P1, P2, n1, n2, X);
    benchmark::DoNotOptimize(X.data);
  }
}
BENCHMARK(BM_OpenCvUncalibratedPipeline)->Unit(benchmark::kMillisecond);

void Render(benchmark::State& state, bool refine) {
  const auto scene = Scene();
  const q3d::Matrix matches = scene.PixelMatches();
  q3d::RenderSettings settings;
  settings.refine = refine;
  q3d::RandomSource random(1);
  for (auto _ : state) {
    const auto outcome =
        q3d::RenderMatches(matches, {scene.options.width1, scene.options.height1},
                           {scene.options.width2, scene.options.height2}, settings, random);
    if (!outcome) {
      state.SkipWithError("render failed");
      break;
    }
    benchmark::DoNotOptimize(outcome->XW.data());
  }
}
void BM_RenderAt400(benchmark::State& state) { Render(state, true); }
void BM_RenderSearchOnlyAt400(benchmark::State& state) { Render(state, false); }
BENCHMARK(BM_RenderAt400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderSearchOnlyAt400)->Unit(benchmark::kMillisecond);

}  // namespace
