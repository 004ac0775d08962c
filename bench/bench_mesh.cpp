// Mesh generation speed: triangulation, cubic grid interpolation, one refinement step, and
// the model's three builds (points, subdivision, cubic grid) on rendered synthetic scenes.
#include <benchmark/benchmark.h>

#include <random>

#include "model/c3d_model.h"
#include "model/delaunay.h"
#include "model/griddata.h"
#include "model/mesh_builder.h"
#include "model/mesh_refiner.h"
#include "project/project_doc.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

Matrix Uniform(unsigned seed, int rows, int cols, double lo, double hi) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(lo, hi);
  Matrix m(rows, cols);
  for (Eigen::Index k = 0; k < m.size(); ++k) m(k) = d(rng);
  return m;
}

void BM_Delaunay(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Matrix p = Uniform(1, n, 2, 0, 1000);
  for (auto _ : state) benchmark::DoNotOptimize(delaunay(p.col(0), p.col(1)));
}
BENCHMARK(BM_Delaunay)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_GriddataGrid(benchmark::State& state, const char* method) {
  const int n = static_cast<int>(state.range(0));
  const Matrix p = Uniform(2, n, 2, 0, 1);
  Matrix z(n, 1);
  for (int k = 0; k < n; ++k) z(k) = std::sin(3 * p(k, 0)) * std::cos(2 * p(k, 1));
  const int g = 50;
  Matrix XI(g, g), YI(g, g);
  for (int r = 0; r < g; ++r)
    for (int c = 0; c < g; ++c) {
      XI(r, c) = double(c) / (g - 1);
      YI(r, c) = double(r) / (g - 1);
    }
  for (auto _ : state) benchmark::DoNotOptimize(griddata(p.col(0), p.col(1), z, XI, YI, method));
}
BENCHMARK_CAPTURE(BM_GriddataGrid, cubic, "cubic")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GriddataGrid, linear, "linear")->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_RefineOnce(benchmark::State& state) {
  // About 2 n triangles for n points.
  const int n = static_cast<int>(state.range(0)) / 2;
  const Matrix q = Uniform(3, n, 2, 0, 1000);
  Matrix v(n, 3);
  v << q, Uniform(4, n, 1, 0, 10);
  const Matrix f = delaunay(q.col(0), q.col(1));
  MeshRefiner refiner;
  for (auto _ : state) {
    refiner.Assign(v, q, f);
    refiner.RefineOnce();
    benchmark::DoNotOptimize(refiner.Faces().data());
  }
  state.counters["triangles"] = static_cast<double>(f.rows());
}
BENCHMARK(BM_RefineOnce)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// mode 0: points; 1: one subdivision step; 2: the 50 x 50 cubic grid.
void BM_BuildMesh(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  test::SceneOptions options;
  options.num_points = static_cast<int>(state.range(1));
  const test::SyntheticScene scene = test::MakeSyntheticScene(options);
  CProjectDoc doc;
  CreateColorImage(doc.m_camera1.m_image, options.width1, options.height1);
  CreateColorImage(doc.m_camera2.m_image, options.width2, options.height2);
  const Matrix M = scene.PixelMatches();
  for (int k = 0; k < M.rows(); ++k) doc.AddMatch(M(k, 0) - 1, M(k, 1) - 1, M(k, 2) - 1, M(k, 3) - 1);
  CStereoPair& pair = doc.m_stereoPair;
  pair.m_F = scene.TrueF();
  pair.m_A1 = scene.A1;
  pair.m_A2 = scene.A2;
  pair.m_Rcam = scene.R;
  pair.m_t = scene.t;
  pair.m_rendered = 1;
  for (auto _ : state) {
    MeshBuilder mesh;
    if (doc.m_model.BuildMesh(mesh, mode == 2, 50, mode > 0) < 0) {
      state.SkipWithError("build failed");
      break;
    }
    benchmark::DoNotOptimize(mesh.Positions().data());
  }
  state.counters["polygons"] = doc.m_model.m_polygonCount;
}
BENCHMARK(BM_BuildMesh)
    ->ArgNames({"mode", "matches"})
    ->ArgsProduct({{0, 1, 2}, {100, 1000, 10000}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace q3d
