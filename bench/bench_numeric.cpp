// Cost of a render (the whole 401-trial focal search with the epipolar geometry of all
// matches) against the number of matches, and of the parts of one trial.
#include <benchmark/benchmark.h>

#include "numeric/euclidean_reconstruction.h"
#include "numeric/focal_search.h"
#include "numeric/fundamental_matrix.h"
#include "numeric/motion_cost.h"
#include "numeric/render_pipeline.h"
#include "support/synthetic_scene.h"

namespace {
using q3d::Matrix;

q3d::test::SyntheticScene SceneOf(int matches) {
  q3d::test::SceneOptions options;
  options.num_points = matches;
  options.pixel_noise_sigma = 0.5;
  options.seed = 7;
  return q3d::test::MakeSyntheticScene(options);
}

void Render(benchmark::State& state, bool refine) {
  const auto scene = SceneOf(static_cast<int>(state.range(0)));
  const Matrix matches = scene.PixelMatches();
  const q3d::ImageSize size1{scene.options.width1, scene.options.height1};
  const q3d::ImageSize size2{scene.options.width2, scene.options.height2};
  q3d::RenderSettings settings;
  settings.refine = refine;
  q3d::RandomSource random(1);
  for (auto _ : state) {
    const q3d::Result<q3d::RenderOutcome> outcome =
        q3d::RenderMatches(matches, size1, size2, settings, random);
    if (!outcome) {
      state.SkipWithError("render failed");
      break;
    }
    benchmark::DoNotOptimize(outcome->XW.data());
  }
  state.SetComplexityN(state.range(0));
}

void BM_Render(benchmark::State& state) { Render(state, false); }
BENCHMARK(BM_Render)
    ->Arg(20)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The refinement runs its trials on threads of their own: wall-clock time is the measure.
void BM_RenderRefined(benchmark::State& state) { Render(state, true); }
BENCHMARK(BM_RenderRefined)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One trial's parts, on 100 matches.
void BM_NinePointFundamental(benchmark::State& state) {
  const auto scene = SceneOf(100);
  const Matrix m1 = scene.m1.topRows(9), m2 = scene.m2.topRows(9);
  for (auto _ : state) benchmark::DoNotOptimize(q3d::calc_focal_k(m1, m2, 1).f1);
}
BENCHMARK(BM_NinePointFundamental)->Unit(benchmark::kMicrosecond);

void BM_EuclideanReconstruction(benchmark::State& state) {
  const auto scene = SceneOf(static_cast<int>(state.range(0)));
  const Matrix F = scene.TrueF();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        q3d::ReconstruccionEuclidea(scene.m1, scene.m2, scene.Count(), F, scene.f1, scene.f2, 1, 1)
            .Xw.data());
  }
}
BENCHMARK(BM_EuclideanReconstruction)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ScoreTrial(benchmark::State& state) {
  const auto scene = SceneOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(q3d::MedianOf(q3d::ReprojectionDistances(
        scene.m1, scene.m2, scene.points, scene.A1, scene.A2, scene.R, scene.t)));
  }
}
BENCHMARK(BM_ScoreTrial)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_EpipolarGeometryOfAllMatches(benchmark::State& state) {
  const auto scene = SceneOf(static_cast<int>(state.range(0)));
  const Matrix matches = scene.PixelMatches();
  for (auto _ : state) benchmark::DoNotOptimize(q3d::EpipolarGeometryOfMatches(matches).F.data());
}
BENCHMARK(BM_EpipolarGeometryOfAllMatches)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
}  // namespace
