// Automatic matching speed on rendered face pairs (60 dots, default parameters): the whole
// procedure from the cameras' images to the verified matches, at 1024 x 768 and 4000 x 3000.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "matching/automatic_matching.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

struct LoadedPair {
  CCamera camera1, camera2;
};

// Rendering a large pair takes seconds: each size is rendered once.
const LoadedPair& PairOfWidth(int width, int height) {
  static std::map<int, std::unique_ptr<LoadedPair>> pairs;
  auto& slot = pairs[width];
  if (!slot) {
    test::FaceSceneOptions options;
    options.width = width;
    options.height = height;
    options.noiseSigma = 3.0;
    options.brightness2 = 0.9;
    const test::FaceStereoPair rendered = test::RenderFaceStereoPair(options);
    slot = std::make_unique<LoadedPair>();
    test::LoadFaceImages(rendered, slot->camera1, slot->camera2);
  }
  return *slot;
}

void BM_AutomaticMatching(benchmark::State& state) {
  const LoadedPair& pair =
      PairOfWidth(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<PointPair> matches;
  AutoMatchReport report;
  for (auto _ : state) {
    if (!FindAutomaticMatches(pair.camera1, pair.camera2, AutoMatchParams{}, matches, &report))
      state.SkipWithError("automatic matching failed");
    benchmark::DoNotOptimize(matches.data());
  }
  state.counters["matches"] = report.matches;
  state.counters["dot_matches"] = report.dotMatches;
}
BENCHMARK(BM_AutomaticMatching)
    ->Args({1024, 768})
    ->Args({4000, 3000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace q3d
