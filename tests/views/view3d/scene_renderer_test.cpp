#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cmath>

#include "gl_harness.h"
#include "test_meshes.h"
#include "views/gl_scene.h"

namespace q3d {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

RenderQuality Unlit() {
  RenderQuality q;
  q.lighting = false;
  return q;
}

int CountNonBackground(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) ++count;
  return count;
}

class SceneRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!harness_.Ok()) GTEST_SKIP() << "no OpenGL 3.3 core context";
  }
  test::GlHarness harness_{kWidth, kHeight};
  Scene3D scene_;
};

TEST_F(SceneRendererTest, UnlitSquareShowsTheTextureColourOnABlackBackground) {
  harness_.SetMesh(test::FacingSquare(2.0f));
  const Image texture = test::SolidTexture(512, 30, 120, 200);
  harness_.SetTexture(&texture);
  const QImage image = harness_.Render(scene_, Unlit());
  EXPECT_EQ(QColor(image.pixel(kWidth / 2, kHeight / 2)), QColor(200, 120, 30));
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u);
  // The square spans 4 of the 15 visible units of height at its distance.
  const int expected = static_cast<int>(std::pow(kHeight * 4.0 / 15.0, 2));
  EXPECT_NEAR(CountNonBackground(image), expected, expected / 10);
}

TEST_F(SceneRendererTest, DirectionalAndAmbientLightFollowTheSurfaceAngle) {
  const Image white = test::SolidTexture(8, 255, 255, 255);
  harness_.SetTexture(&white);
  harness_.SetMesh(test::FacingSquare(2.0f));
  RenderQuality lit;
  lit.lighting = true;
  // Facing the light: ambient 0.1 + directional 0.9.
  EXPECT_EQ(qRed(harness_.Render(scene_, lit).pixel(kWidth / 2, kHeight / 2)), 255);
  // Turned by 60 degrees: 0.1 + 0.9 · cos 60° = 0.55.
  scene_.model.SetRotation(&scene_.root, QVector3D(0, 1, 0), 1.0f);
  scene_.model.Move(static_cast<float>(M_PI / 3));
  for (ShadeMode shade : {ShadeMode::Gouraud, ShadeMode::Flat}) {
    lit.shade = shade;
    EXPECT_NEAR(qRed(harness_.Render(scene_, lit).pixel(kWidth / 2, kHeight / 2)), 0.55 * 255, 2.0);
  }
  // The back of the square, turned to the camera, is lit as its front.
  scene_.model.Move(static_cast<float>(2 * M_PI / 3));
  lit.shade = ShadeMode::Gouraud;
  EXPECT_EQ(qRed(harness_.Render(scene_, lit).pixel(kWidth / 2, kHeight / 2)), 255);
  // Light grazing the surface: ambient only.
  scene_.lightFrame.SetOrientation(&scene_.root, QVector3D(1, 0, 0), QVector3D(0, 1, 0));
  for (ShadeMode shade : {ShadeMode::Gouraud, ShadeMode::Flat}) {
    lit.shade = shade;
    EXPECT_NEAR(qRed(harness_.Render(scene_, lit).pixel(kWidth / 2, kHeight / 2)), 0.1 * 255, 2.0);
  }
}

TEST_F(SceneRendererTest, TextureRepeatsOutsideTheUnitSquare) {
  const uint8_t red[3] = {0, 0, 255};
  const uint8_t blue[3] = {255, 0, 0};
  const Image split = test::SplitTexture(64, red, blue);
  harness_.SetTexture(&split);
  harness_.SetMesh(test::FacingSquare(2.0f));
  const QImage inside = harness_.Render(scene_, Unlit());
  harness_.SetMesh(test::FacingSquare(2.0f, -1.0f, -3.0f));
  const QImage shifted = harness_.Render(scene_, Unlit());
  EXPECT_EQ(QColor(inside.pixel(kWidth / 2 - 10, kHeight / 2)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(inside.pixel(kWidth / 2 + 10, kHeight / 2)), QColor(0, 0, 255));
  EXPECT_EQ(inside, shifted);
}

TEST_F(SceneRendererTest, BilinearFilteringBlendsTexelsAndPointFilteringDoesNot) {
  const Image checker = test::CheckerTexture(4, 1);
  harness_.SetTexture(&checker);
  harness_.SetMesh(test::FacingSquare(2.0f));
  auto countGreys = [](const QImage& image) {
    int greys = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const int v = qRed(image.pixel(x, y));
        if (v > 40 && v < 215) ++greys;
      }
    return greys;
  };
  RenderQuality quality = Unlit();
  quality.linearFilter = false;
  EXPECT_EQ(countGreys(harness_.Render(scene_, quality)), 0);
  quality.linearFilter = true;
  EXPECT_GT(countGreys(harness_.Render(scene_, quality)), 500);
}

TEST_F(SceneRendererTest, FlatShadingIsUniformPerTriangleAndGouraudBlendsAcrossIt) {
  const Image white = test::SolidTexture(8, 255, 255, 255);
  harness_.SetTexture(&white);
  harness_.SetMesh(test::Tent(2.0f, 60.0f));
  RenderQuality quality;
  quality.lighting = true;
  // Two points on the left plane: near the ridge and near the outer edge.
  const QPoint nearRidge(kWidth / 2 - 3, kHeight / 2);
  const QPoint nearEdge(kWidth / 2 - 15, kHeight / 2);
  quality.shade = ShadeMode::Flat;
  const QImage flat = harness_.Render(scene_, quality);
  EXPECT_NEAR(qRed(flat.pixel(nearRidge)), 0.55 * 255, 2.0);
  EXPECT_NEAR(qRed(flat.pixel(nearEdge)), 0.55 * 255, 2.0);
  quality.shade = ShadeMode::Gouraud;
  const QImage smooth = harness_.Render(scene_, quality);
  EXPECT_GT(qRed(smooth.pixel(nearRidge)), qRed(smooth.pixel(nearEdge)) + 20);
}

}  // namespace
}  // namespace q3d
