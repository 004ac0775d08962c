// The 3D view showing the dense surface of a rendered synthetic face: chosen from the Mesh
// menu, drawn textured and untextured, and turned to the side (screenshots beside the test
// program).
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <filesystem>
#include <new>

#include "project/project_doc.h"
#include "support/synthetic_face.h"
#include "support/synthetic_images.h"
#include "views/command_ids.h"
#include "views/export_dialog.h"
#include "views/vrml_view.h"

namespace q3d {
namespace {

int DrawnPixels(const QImage& image) {
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) drawn += (image.pixel(x, y) & 0xFFFFFF) != 0;
  return drawn;
}

TEST(DenseView, ShowsTheDenseFaceTexturedAndPlainFromTheSide) {
  test::FaceSceneOptions options;
  options.width = 640;
  options.height = 480;
  const test::FaceStereoPair face = test::RenderFaceStereoPair(options);
  CProjectDoc doc;
  test::LoadFaceImages(face, doc.m_camera1, doc.m_camera2);
  for (size_t i = 0; i < face.dots1.size(); ++i)
    if (!doc.AddMatch(face.dots1[i].x(), face.dots1[i].y(), face.dots2[i].x(), face.dots2[i].y()))
      throw std::bad_alloc();  // adding fails only when memory runs short
  RenderOptions render;
  render.seed = 7;
  ASSERT_TRUE(doc.Render(render));

  CVRMLView view;
  view.resize(640, 480);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.AttachDocument(&doc);
  const int pointTriangles = view.Mesh().FaceCount();
  ASSERT_TRUE(view.OnCommand(cmd::kDenseMesh));
  EXPECT_GT(view.Mesh().FaceCount(), 50 * pointTriangles);
  EXPECT_TRUE(view.Caption().contains(QString::number(view.Mesh().FaceCount())));
  CommandState dense, smooth;
  view.OnUpdateCommand(cmd::kDenseMesh, dense);
  view.OnUpdateCommand(cmd::kSmoothOn, smooth);
  EXPECT_TRUE(dense.checked);
  EXPECT_FALSE(smooth.enabled);

  const QString dir = QString::fromUtf8(Q3D_VIEW3D_SHOT_DIR) + "/";
  auto grab = [&view] { return view.grabFramebuffer().convertToFormat(QImage::Format_RGB32); };
  const QImage front = grab();
  front.save(dir + "dense_front_textured.png");
  // Four drags of 50 pixels turn the model by about 80 degrees about the vertical axis.
  view.HandleMouseMove(320, 240, false, false, false);
  for (int k = 1; k <= 4; ++k) view.HandleMouseMove(320 - 50 * k, 240, true, false, false);
  const QImage side = grab();
  side.save(dir + "dense_side_textured.png");
  ASSERT_TRUE(view.OnCommand(cmd::kTextureOn));
  const QImage plain = grab();
  plain.save(dir + "dense_side_plain.png");

  // The face seen from the side covers less of the window than from the front, and without
  // its texture it is shaded grey.
  EXPECT_GT(DrawnPixels(front), front.width() * front.height() / 40);
  EXPECT_GT(DrawnPixels(side), 0);
  EXPECT_LT(DrawnPixels(side), DrawnPixels(front));
  const QColor centre(plain.pixel(plain.width() / 2, plain.height() / 2));
  EXPECT_LE(std::abs(centre.red() - centre.blue()), 8);

  // Retouching the texture shows on the dense surface: here, the whole texture painted
  // magenta, which no skin is.
  auto magenta = [](const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c(image.pixel(x, y));
        count += c.red() > 2 * c.green() + 20 && c.blue() > 2 * c.green() + 20;
      }
    return count;
  };
  ASSERT_TRUE(view.OnCommand(cmd::kTextureOn));
  EXPECT_EQ(magenta(grab()), 0);
  doc.m_model.UpdateTexture();
  doc.m_model.m_texture.Mat().setTo(cv::Scalar(255, 0, 255));
  doc.UpdateAllViews(nullptr, kHintTextureChanged);
  EXPECT_GT(magenta(grab()), DrawnPixels(side) / 2);

  // Exported from the view, the dense surface takes its full grid.
  test::TempDir dir2;
  const std::string path = dir2.File("dense.stl").string();
  SetExportPathProvider([&path](QWidget*) { return QString::fromStdString(path); });
  ASSERT_TRUE(view.OnCommand(cmd::kExportModel));
  SetExportPathProvider(nullptr);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_GT(std::filesystem::file_size(path), 84u + 50u * 3 * view.Mesh().FaceCount());
  EXPECT_TRUE(view.Caption().contains(QString::number(view.Mesh().FaceCount())));
}

}  // namespace
}  // namespace q3d
