#include "support/rendered_project.h"

#include <gtest/gtest.h>

#include "support/status_assertions.h"
#include "support/synthetic_scene.h"

namespace q3d::test {
namespace {

// Blue follows x, green follows y, red falls along the diagonal.
void PaintRamp(Image& image, int width, int height) {
  ASSERT_TRUE(CreateColorImage(image, width, height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.Row(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
      p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
      p[2] = static_cast<uint8_t>(255 - (x + y) * 255 / (width + height - 2));
    }
}

}  // namespace

void FillRenderedProject(CProjectDoc& doc, int points, uint64_t seed) {
  SceneOptions options;
  options.num_points = points;
  options.seed = seed;
  const SyntheticScene scene = MakeSyntheticScene(options);
  PaintRamp(doc.m_camera1.m_image, options.width1, options.height1);
  PaintRamp(doc.m_camera2.m_image, options.width2, options.height2);
  const Matrix M = scene.PixelMatches();
  for (int k = 0; k < M.rows(); ++k)
    ASSERT_TRUE(test::Succeeded(doc.AddMatch(M(k, 0) - 1, M(k, 1) - 1, M(k, 2) - 1, M(k, 3) - 1)));
  CStereoPair& pair = doc.m_stereoPair;
  pair.m_F = scene.TrueF();
  pair.m_A1 = scene.A1;
  pair.m_A2 = scene.A2;
  pair.m_Rcam = scene.R;
  pair.m_t = scene.t;
  pair.m_rendered = 1;
}

}  // namespace q3d::test
