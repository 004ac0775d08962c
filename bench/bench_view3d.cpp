// Frames per second of the 3D view turning a textured mesh of about 10,000 triangles, and
// the dense surface of a face, in a 1280 x 720 window. Needs an X display with OpenGL: run it under
// Xvfb (xvfb-run -a -s "-screen 0 1600x1000x24" bench_view3d) for Mesa's software renderer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <memory>
#include <new>

#include "project/project_doc.h"
#include "support/synthetic_face.h"
#include "support/synthetic_scene.h"
#include "views/command_ids.h"
#include "views/vrml_view.h"

namespace {

QApplication& Application() {
  static int argc = 1;
  static char name[] = "bench_view3d";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

// A rendered project whose point mesh has about 2·points triangles: the synthetic scene's
// matches with its true calibration and pose, and a colour ramp as image 1.
void FillProject(q3d::CProjectDoc& doc, int points) {
  q3d::test::SceneOptions options;
  options.num_points = points;
  options.width1 = options.width2 = 1280;
  options.height1 = options.height2 = 960;
  options.f1_px = 1600;
  options.f2_px = 2000;
  const q3d::test::SyntheticScene scene = q3d::test::MakeSyntheticScene(options);
  for (q3d::Image* image : {&doc.m_camera1.m_image, &doc.m_camera2.m_image}) {
    q3d::CreateColorImage(*image, options.width1, options.height1);
    for (int y = 0; y < options.height1; ++y)
      for (int x = 0; x < options.width1; ++x) {
        uint8_t* p = image->Row(y) + 3 * x;
        p[0] = static_cast<uint8_t>(x * 255 / options.width1);
        p[1] = static_cast<uint8_t>(y * 255 / options.height1);
        p[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
      }
  }
  const q3d::Matrix M = scene.PixelMatches();
  for (int k = 0; k < M.rows(); ++k)  // adding fails only when memory runs short
    if (!doc.AddMatch(M(k, 0) - 1, M(k, 1) - 1, M(k, 2) - 1, M(k, 3) - 1)) throw std::bad_alloc();
  q3d::CStereoPair& pair = doc.m_stereoPair;
  pair.m_F = scene.TrueF();
  pair.m_A1 = scene.A1;
  pair.m_A2 = scene.A2;
  pair.m_Rcam = scene.R;
  pair.m_t = scene.t;
  pair.m_rendered = 1;
}

// Turns the model of the document in a 1280 x 720 view frame by frame; `prepare` sets the
// view up after the document is attached.
template <typename Prepare>
void TurnModel(benchmark::State& state, q3d::CProjectDoc& doc, Prepare prepare) {
  auto view = std::make_unique<q3d::CVRMLView>();
  view->resize(1280, 720);
  view->show();
  if (!QTest::qWaitForWindowExposed(view.get())) {
    state.SkipWithError("no window");
    return;
  }
  view->AttachDocument(&doc);
  prepare(*view);
  view->HandleMouseMove(0, 0, false, false, false);
  int swapped = 0;
  QObject::connect(view.get(), &QOpenGLWidget::frameSwapped, [&swapped] { ++swapped; });
  QElapsedTimer waited;
  int x = 0;
  for (auto _ : state) {
    // One pixel of drag turns the model a little; the frame counts once it is on screen.
    const int target = swapped + 1;
    view->HandleMouseMove(++x, 0, true, false, false);
    waited.start();
    while (swapped < target && waited.elapsed() < 5000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (swapped < target) {
      state.SkipWithError("a frame was not shown within 5 s");
      break;
    }
  }
  state.counters["triangles"] = view->Mesh().FaceCount();
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(swapped), benchmark::Counter::kIsRate);
}

void BM_TurnTexturedModel(benchmark::State& state) {
  Application();
  q3d::CProjectDoc doc;
  FillProject(doc, static_cast<int>(state.range(0)));
  TurnModel(state, doc, [](q3d::CVRMLView&) {});
}
BENCHMARK(BM_TurnTexturedModel)->Arg(5050)->Unit(benchmark::kMillisecond)->UseRealTime();

// The dense surface of a rendered synthetic face photographed at 1024 x 768.
void BM_TurnDenseModel(benchmark::State& state) {
  Application();
  q3d::CProjectDoc doc;
  const q3d::test::FaceStereoPair face = q3d::test::RenderFaceStereoPair({});
  q3d::test::LoadFaceImages(face, doc.m_camera1, doc.m_camera2);
  for (size_t i = 0; i < face.dots1.size(); ++i)
    if (!doc.AddMatch(face.dots1[i].x(), face.dots1[i].y(), face.dots2[i].x(), face.dots2[i].y()))
      throw std::bad_alloc();  // adding fails only when memory runs short
  q3d::RenderOptions render;
  render.seed = 7;
  if (!doc.Render(render)) {
    state.SkipWithError("the synthetic face did not render");
    return;
  }
  TurnModel(state, doc, [](q3d::CVRMLView& view) { view.OnCommand(q3d::cmd::kDenseMesh); });
}
BENCHMARK(BM_TurnDenseModel)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
