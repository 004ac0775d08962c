// Paint time of a camera pane over a 4000 x 3000 photograph (target: under 15 ms per
// paint on one core): the visible part resampled into the off-screen surface, 300
// matched points with numbers and vectors drawn over it, and the copy to the screen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <memory>
#include <new>
#include <opencv2/core.hpp>
#include <random>

#include "project/project_doc.h"
#include "views/camera_view.h"
#include "views/command_ids.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_image_view";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

struct Scene {
  Scene() {
    App();
    for (int i = 0; i < 2; ++i) {
      q3d::CCamera& camera = doc.Camera(i);
      q3d::CreateColorImage(camera.m_image, 4000, 3000);
      cv::setRNGSeed(3);
      cv::randu(camera.m_image.Mat(), cv::Scalar(0, 0, 0), cv::Scalar(255, 255, 255));
      q3d::CreateColorImage(camera.m_gray, 4000, 3000);
      camera.m_roi = q3d::MakeRoi(0, 0, 0, 4000, 3000);
    }
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> x(0, 4000), y(0, 3000), d(-40, 40);
    for (int i = 0; i < 300; ++i) {
      const double px = x(rng), py = y(rng);
      // Adding a match fails only when memory runs short.
      if (!doc.AddMatch(px, py, std::clamp(px + d(rng), 0.0, 3999.0),
                        std::clamp(py + d(rng), 0.0, 2999.0)))
        throw std::bad_alloc();
    }
    view = std::make_unique<q3d::CCameraView>(0);
    view->resize(1280, 800);
    view->AttachDocument(&doc);
    view->OnCommand(q3d::cmd::kShowVectors);
  }
  q3d::CProjectDoc doc;
  std::unique_ptr<q3d::CCameraView> view;
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// range(0): zoom in hundredths.
void BM_PaintCameraPane(benchmark::State& state) {
  Scene& scene = TheScene();
  q3d::CCameraView& view = *scene.view;
  const double zoom = state.range(0) / 100.0;
  scene.doc.UpdateAllViews(nullptr, q3d::kHintImage1Replaced);  // back to zoom 1
  while (view.Zoom() > zoom) view.ZoomOut();
  while (view.Zoom() < zoom) view.ZoomIn();
  view.CentreOn(2000, 1500);
  QImage screen(view.size(), QImage::Format_RGB32);
  int frame = 0;
  for (auto _ : state) {
    view.CentreOn(2000 + (frame++ % 50), 1500);  // a slow pan: every paint redraws
    const QImage& surface = view.RenderFrame();
    QPainter painter(&screen);
    painter.drawImage(0, 0, surface);
  }
  state.SetLabel("zoom " + std::to_string(view.Zoom()));
}
BENCHMARK(BM_PaintCameraPane)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Arg(800)
    ->Unit(benchmark::kMillisecond);

}  // namespace
