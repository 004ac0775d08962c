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
#include "support/rendered_project.h"

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
  CProjectDoc doc;
  test::FillRenderedProject(doc, static_cast<int>(state.range(1)), 1);
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
