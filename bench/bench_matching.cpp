// Automatic matching speed and memory on rendered face pairs (60 dots, default parameters):
// the whole procedure from the cameras' images to the verified matches, at 768 x 1024 and at
// phone resolutions, 3000 x 4000 (12 MP) and 6000 x 4000 (24 MP). peak_rss_mb is the
// process's peak resident memory after the runs (the rendered pairs included).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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
  static std::map<std::pair<int, int>, std::unique_ptr<LoadedPair>> pairs;
  auto& slot = pairs[{width, height}];
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
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_AutomaticMatching)
    ->Args({768, 1024})
    ->Args({3000, 4000})
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace q3d
