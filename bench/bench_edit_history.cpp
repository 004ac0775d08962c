// The undo history's step of one clone-brush stroke on the 512 x 512 texture: its memory
// must stay under twice the pixels of the stroke's bounding box (counter bytes_per_box),
// and the step is taken between two mouse events (time).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <opencv2/core.hpp>

#include "model/texture_filters.h"
#include "project/edit_history.h"
#include "project/project_doc.h"

namespace {

void BM_BrushStrokeStep(benchmark::State& state) {
  q3d::CProjectDoc doc;
  if (!q3d::CreateColorImage(doc.m_model.m_texture, 512, 512)) {
    state.SkipWithError("no texture");
    return;
  }
  cv::Mat texture = doc.m_model.m_texture.Mat();
  cv::setRNGSeed(3);
  cv::randu(texture, cv::Scalar(120, 140, 180), cv::Scalar(170, 190, 230));
  const cv::Mat pristine = texture.clone();
  const cv::Mat alpha = q3d::MakeBrushAlpha();
  const q3d::Rect source = q3d::BrushRectAt(60, 60);
  const int length = static_cast<int>(state.range(0));  // pixels along the diagonal

  size_t stepBytes = 0;
  size_t boxBytes = 0;
  for (auto _ : state) {
    // Every stroke paints on the untouched texture: painted again, pixels would not change.
    state.PauseTiming();
    pristine.copyTo(texture);
    doc.m_history.Clear(true);
    state.ResumeTiming();
    q3d::Rect box{512, 512, 0, 0};
    {
      q3d::EditScope stroke(doc, "Eraser Stroke");
      for (int d = 0; d <= length; d += 2) {
        const int x = 120 + d, y = 100 + d / 2;
        q3d::StampCloneBrush(texture, source, x, y, alpha);
        const q3d::Rect r = q3d::BrushRectAt(x, y);
        box = {std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
               std::max(box.bottom, r.bottom)};
      }
    }
    stepBytes = doc.m_history.Bytes();
    boxBytes =
        3 * static_cast<size_t>(box.right - box.left) * static_cast<size_t>(box.bottom - box.top);
  }
  const double ratio = static_cast<double>(stepBytes) / static_cast<double>(boxBytes);
  state.counters["step_bytes"] = static_cast<double>(stepBytes);
  state.counters["box_bytes"] = static_cast<double>(boxBytes);
  state.counters["bytes_per_box"] = ratio;
  if (ratio >= 2.0) state.SkipWithError("the step holds twice the stroke's box or more");
}
BENCHMARK(BM_BrushStrokeStep)->Arg(0)->Arg(40)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
