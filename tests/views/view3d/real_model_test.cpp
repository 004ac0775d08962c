// The 3D view on a real photograph pair with its known calibration (third-party evaluation
// data kept outside the repository; skipped when absent).
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/real_data.h"
#include "views/vrml_view.h"

namespace q3d {
namespace {

Matrix JsonMatrix(const QJsonValue& value, int rows, int cols) {
  Matrix m(rows, cols);
  const QJsonArray array = value.toArray();
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      m(r, c) = cols == 1 ? array.at(r).toDouble() : array.at(r).toArray().at(c).toDouble();
  return m;
}

// Loads the pair, its matches and its true calibration and pose as the render results.
bool LoadCalibratedPair(const std::filesystem::path& dir, CProjectDoc& doc) {
  if (!doc.SetImages((dir / "image1.bmp").string(), (dir / "image2.bmp").string())) return false;
  std::ifstream csv(dir / "matches.csv");
  std::string line;
  std::getline(csv, line);  // header
  while (std::getline(csv, line)) {
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream fields(line);
    double x1, y1, x2, y2;
    if (!(fields >> x1 >> y1 >> x2 >> y2) || !doc.AddMatch(x1, y1, x2, y2)) return false;
  }
  QFile file(QString::fromStdString((dir / "truth.json").string()));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QJsonObject truth = QJsonDocument::fromJson(file.readAll()).object();
  CStereoPair& pair = doc.m_stereoPair;
  pair.m_F = JsonMatrix(truth["F_px1based"], 3, 3);
  pair.m_A1 = JsonMatrix(truth["A1"], 3, 3);
  pair.m_A2 = JsonMatrix(truth["A2"], 3, 3);
  pair.m_Rcam = JsonMatrix(truth["R"], 3, 3);
  pair.m_t = JsonMatrix(truth["t"], 3, 1);
  pair.m_rendered = 1;
  return true;
}

TEST(RealModel, TempleShowsAsATexturedModel) {
  const std::filesystem::path dir = std::filesystem::path(Q3D_REALDATA_DIR) / "temple_sr_07_08";
  Q3D_REQUIRE_REAL_DATA(dir / "truth.json");
  CProjectDoc doc;
  ASSERT_TRUE(LoadCalibratedPair(dir, doc));
  CVRMLView view;
  view.resize(640, 480);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.AttachDocument(&doc);
  EXPECT_GT(doc.m_model.PolygonCount(), 300);
  EXPECT_EQ(view.Mesh().VertexCount(), static_cast<int>(doc.m_stereoPair.m_matches.Count()));
  auto drawnPixels = [](const QImage& image) {
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) drawn += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return drawn;
  };
  const QImage far = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
  EXPECT_GT(drawnPixels(far), far.width() * far.height() / 200);
  EXPECT_EQ(far.pixel(0, 0) & 0xFFFFFF, 0u);
  // Ctrl and 30 pixels down: the model comes nearer, to exp(-0.4) of its distance, and
  // looks 1.5 times as large (more than twice the area, less the part beyond the edges).
  view.HandleMouseMove(300, 200, false, false, true);
  view.HandleMouseMove(300, 230, true, false, true);
  const QImage near = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
  near.save(QString::fromUtf8(Q3D_VIEW3D_SHOT_DIR) + "/view3d_temple.png");
  EXPECT_GT(drawnPixels(near), 3 * drawnPixels(far) / 2);
}

}  // namespace
}  // namespace q3d
