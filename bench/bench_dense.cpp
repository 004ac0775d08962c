// Dense export of a rendered synthetic face (matching, surface, texture and OBJ file) at
// 768 x 1024 and 3000 x 4000, with the peak resident memory of the export itself.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "model/model_file.h"
#include "project/project_doc.h"
#include "support/synthetic_face.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

// Peak resident set size of the process in MiB since the last reset.
double PeakMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// Makes the next PeakMiB() count from the current resident size.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_DenseExport(benchmark::State& state) {
  CProjectDoc doc;
  {
    test::FaceSceneOptions options;
    options.width = static_cast<int>(state.range(0));
    options.height = static_cast<int>(state.range(1));
    const test::FaceStereoPair face = test::RenderFaceStereoPair(options);
    test::LoadFaceImages(face, doc.m_camera1, doc.m_camera2);
    for (size_t i = 0; i < face.dots1.size(); ++i)
      if (!doc.AddMatch(face.dots1[i].x(), face.dots1[i].y(), face.dots2[i].x(), face.dots2[i].y()))
        throw std::bad_alloc();  // adding fails only when memory runs short
  }
  RenderOptions render;
  render.seed = 7;
  if (!doc.Render(render)) {
    state.SkipWithError("the synthetic face did not render");
    return;
  }
  test::TempDir dir;
  const std::string path = dir.File("dense.obj").string();
  ModelExportOptions options;
  options.dense = true;
  ExportedMesh written;
  ResetPeak();
  const double before = PeakMiB();
  for (auto _ : state) {
    const q3d::Status exported =
        ExportModel3D(path, doc.m_stereoPair, doc.m_model, options, &written);
    if (!exported) state.SkipWithError(exported.Reason().c_str());
  }
  state.counters["vertices"] = written.vertices;
  state.counters["triangles"] = written.triangles;
  state.counters["peak_MiB"] = PeakMiB();
  state.counters["peak_above_project_MiB"] = PeakMiB() - before;
  state.counters["obj_MiB"] = std::filesystem::file_size(path) / 1048576.0;
}
BENCHMARK(BM_DenseExport)
    ->Args({768, 1024})
    ->Args({3000, 4000})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
}  // namespace q3d
