// Saving and loading a project with two 4000 x 3000 photographs, in memory and on disk.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/archive.h"
#include "project/project_doc.h"

namespace q3d {
namespace {

// False when memory runs short: the benchmark then reports an error instead of a time.
bool FillProject(CProjectDoc& doc) {
  for (int i = 0; i < 2; ++i) {
    CCamera& camera = doc.Camera(i);
    if (!CreateColorImage(camera.m_image, 4000, 3000)) return false;
    cv::randu(camera.m_image.Mat(), 0, 255);
    if (!camera.MakeGray()) return false;
  }
  for (int i = 0; i < 200; ++i)
    if (!doc.AddMatch(i * 10.5, i * 7.25, i * 9.0, i * 6.5)) return false;
  return true;
}

// The project as its file holds it.
std::vector<uint8_t> StoredBytes(CProjectDoc& doc) {
  Archive ar = Archive::ForStoring();
  doc.Serialize(ar);
  return ar.TakeBuffer();
}

// Times loading the bytes into a fresh document, once per iteration.
void LoadRepeatedly(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  CProjectDoc back;
  for (auto _ : state) {
    if (!back.LoadProjectBytes(bytes)) {
      state.SkipWithError("the project could not be loaded");
      break;
    }
  }
}

void BM_SaveToMemory(benchmark::State& state) {
  CProjectDoc doc;
  if (!FillProject(doc)) {
    state.SkipWithError("out of memory");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    Archive ar = Archive::ForStoring();
    doc.Serialize(ar);
    bytes = ar.Buffer().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_SaveToMemory)->Unit(benchmark::kMillisecond);

void BM_SaveAndLoadFile(benchmark::State& state) {
  CProjectDoc doc;
  if (!FillProject(doc)) {
    state.SkipWithError("out of memory");
    return;
  }
  const std::string path =
      (std::filesystem::temp_directory_path() / "q3d_bench_project.qvp").string();
  CProjectDoc back;
  for (auto _ : state) {
    if (!doc.SaveProject(path) || !back.LoadProject(path)) {
      state.SkipWithError("the project could not be saved and loaded");
      break;
    }
  }
  const auto size = static_cast<int64_t>(std::filesystem::file_size(path));
  state.SetBytesProcessed(2 * size * state.iterations());
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveAndLoadFile)->Unit(benchmark::kMillisecond);

void BM_LoadFromMemory(benchmark::State& state) {
  CProjectDoc doc;
  if (!FillProject(doc)) {
    state.SkipWithError("out of memory");
    return;
  }
  const std::vector<uint8_t> bytes = StoredBytes(doc);
  LoadRepeatedly(state, bytes);
  state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}
BENCHMARK(BM_LoadFromMemory)->Unit(benchmark::kMillisecond);

// Loading links each match to its points: 100,000 matches must load in well under a second
// (the info command's budget), which only an identifier map allows.
void BM_LoadManyMatches(benchmark::State& state) {
  CProjectDoc doc;
  for (int i = 0; i < 2; ++i)
    if (!CreateColorImage(doc.Camera(i).m_image, 640, 480)) {
      state.SkipWithError("out of memory");
      return;
    }
  const int count = static_cast<int>(state.range(0));
  for (int i = 0; i < count; ++i)
    if (!doc.AddMatch(i % 640, i / 640 % 480, (i * 7) % 640, i / 640 % 480)) {
      state.SkipWithError("out of memory");
      return;
    }
  const std::vector<uint8_t> bytes = StoredBytes(doc);
  LoadRepeatedly(state, bytes);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadManyMatches)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace q3d
