// Automatic matching speed and memory on rendered face pairs (60 dots, default parameters):
// the whole procedure from the cameras' images to the verified matches, at 768 x 1024 and at
// phone resolutions, 3000 x 4000 (12 MP) and 6000 x 4000 (24 MP). peak_rss_mb is the
// process's peak resident memory after the runs: the pair's images and the procedure.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "matching/automatic_matching.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

struct LoadedPair {
  int width = 0, height = 0;
  CCamera camera1, camera2;
};

// The pair of the size as bitmap files, rendered once in a child process: rendering a large
// pair takes seconds and far more memory than the images, which the peak would count.
bool RenderedFiles(int width, int height, const std::filesystem::path& first,
                   const std::filesystem::path& second) {
  if (std::filesystem::exists(first) && std::filesystem::exists(second)) return true;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    test::FaceSceneOptions options;
    options.width = width;
    options.height = height;
    options.noiseSigma = 3.0;
    options.brightness2 = 0.9;
    const test::FaceStereoPair rendered = test::RenderFaceStereoPair(options);
    const bool written = cv::imwrite(first.string(), rendered.image1) &&
                         cv::imwrite(second.string(), rendered.image2);
    _exit(written ? 0 : 1);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Only the pair in use is kept, as a user has one project open.
const LoadedPair* PairOfSize(int width, int height) {
  static std::unique_ptr<LoadedPair> pair;
  if (pair && pair->width == width && pair->height == height) return pair.get();
  pair.reset();
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string stem = "q3d_bench_face_" + std::to_string(width) + "x" + std::to_string(height);
  const std::filesystem::path first = dir / (stem + "_1.bmp"), second = dir / (stem + "_2.bmp");
  if (!RenderedFiles(width, height, first, second)) return nullptr;
  auto loaded = std::make_unique<LoadedPair>();
  loaded->width = width;
  loaded->height = height;
  if (!loaded->camera1.Load(first.string()) || !loaded->camera2.Load(second.string()))
    return nullptr;
  pair = std::move(loaded);
  return pair.get();
}

void BM_AutomaticMatching(benchmark::State& state) {
  const LoadedPair* pair =
      PairOfSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!pair) {
    state.SkipWithError("the rendered pair could not be made or loaded");
    return;
  }
  std::vector<PointPair> matches;
  AutoMatchReport report;
  for (auto _ : state) {
    if (!FindAutomaticMatches(pair->camera1, pair->camera2, AutoMatchParams{}, matches, &report))
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
