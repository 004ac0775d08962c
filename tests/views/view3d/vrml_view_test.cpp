#include "views/vrml_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/error_stack.h"
#include "model/model_file.h"
#include "support/rendered_project.h"
#include "support/status_assertions.h"
#include "support/synthetic_images.h"
#include "views/command_ids.h"
#include "views/export_dialog.h"

namespace q3d {
namespace {

constexpr int kMatches = 60;

void SendMouseMove(QWidget* widget, QPoint at, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent event(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                    buttons, modifiers);
  QApplication::sendEvent(widget, &event);
}

void SendKey(QWidget* widget, QEvent::Type type, int key,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(type, key, modifiers);
  QApplication::sendEvent(widget, &event);
}

int CountNonBackground(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) ++count;
  return count;
}

int PositiveModulo(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

// The texture colour the mesh shows where the camera's axis meets it, nearest texel and
// repeated coordinates, for a model frame still at its initial placement (the axis is the
// model frame's z axis).
std::optional<QColor> TexelOnAxis(const MeshBuilder& mesh, const Image& texture) {
  const auto& p = mesh.Positions();
  const auto& uv = mesh.TextureCoordinates();
  const auto& index = mesh.Indices();
  std::optional<QColor> nearest;
  double nearestZ = INFINITY;
  for (size_t f = 0; f + 2 < index.size(); f += 3) {
    const uint32_t a = index[f], b = index[f + 1], c = index[f + 2];
    const double ax = p[3 * a], ay = p[3 * a + 1], bx = p[3 * b], by = p[3 * b + 1];
    const double cx = p[3 * c], cy = p[3 * c + 1];
    const double det = (by - cy) * (ax - cx) + (cx - bx) * (ay - cy);
    if (std::abs(det) < 1e-12) continue;
    const double wa = ((by - cy) * (0 - cx) + (cx - bx) * (0 - cy)) / det;
    const double wb = ((cy - ay) * (0 - cx) + (ax - cx) * (0 - cy)) / det;
    const double wc = 1 - wa - wb;
    if (wa < 0 || wb < 0 || wc < 0) continue;
    const double z = wa * p[3 * a + 2] + wb * p[3 * b + 2] + wc * p[3 * c + 2];
    if (z >= nearestZ) continue;
    nearestZ = z;
    const double u = wa * uv[2 * a] + wb * uv[2 * b] + wc * uv[2 * c];
    const double v = wa * uv[2 * a + 1] + wb * uv[2 * b + 1] + wc * uv[2 * c + 1];
    const int tx =
        PositiveModulo(static_cast<int>(std::floor(u * texture.Width())), texture.Width());
    const int ty =
        PositiveModulo(static_cast<int>(std::floor(v * texture.Height())), texture.Height());
    const uint8_t* bgr = texture.Row(ty) + 3 * tx;
    nearest = QColor(bgr[2], bgr[1], bgr[0]);
  }
  return nearest;
}

void ExpectColourNear(const QColor& actual, const QColor& expected, int tolerance) {
  EXPECT_NEAR(actual.red(), expected.red(), tolerance);
  EXPECT_NEAR(actual.green(), expected.green(), tolerance);
  EXPECT_NEAR(actual.blue(), expected.blue(), tolerance);
}

// Compares two orientations by the directions they give the three axes.
void ExpectSameOrientation(const QQuaternion& actual, const QQuaternion& expected) {
  for (const QVector3D& axis : {QVector3D(1, 0, 0), QVector3D(0, 1, 0), QVector3D(0, 0, 1)}) {
    const QVector3D a = actual.rotatedVector(axis);
    const QVector3D e = expected.rotatedVector(axis);
    EXPECT_NEAR((a - e).length(), 0.0f, 1e-5f);
  }
}

class VrmlViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetErrorPresenter(
        [this](const ErrorRecord& record) { shownErrors_.push_back(record.Message()); });
    test::FillRenderedProject(doc_, kMatches);
    view_ = std::make_unique<CVRMLView>();
    view_->resize(640, 480);
    view_->onStateChanged = [this] { ++stateChanges_; };
    view_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    view_->AttachDocument(&doc_);
  }
  void TearDown() override {
    view_.reset();
    SetExportPathProvider(nullptr);
    SetErrorPresenter(nullptr);
  }

  CommandState StateOf(int id) {
    CommandState state;
    EXPECT_TRUE(view_->OnUpdateCommand(id, state)) << id;
    return state;
  }
  QImage Grab() { return view_->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }
  QColor Centre(const QImage& image) {
    return QColor(image.pixel(image.width() / 2, image.height() / 2));
  }
  void SaveShot(const QImage& image, const char* name) {
    image.save(QString::fromUtf8(Q3D_VIEW3D_SHOT_DIR) + "/" + name);
  }

  CProjectDoc doc_;
  std::unique_ptr<CVRMLView> view_;
  std::vector<std::string> shownErrors_;
  int stateChanges_ = 0;
};

TEST_F(VrmlViewTest, ShowsTheBuiltModelWithItsPolygonCount) {
  const int polygons = doc_.m_model.PolygonCount();
  ASSERT_GT(polygons, kMatches);
  EXPECT_EQ(view_->Mesh().FaceCount(), polygons);
  EXPECT_EQ(view_->Mesh().VertexCount(), kMatches);
  EXPECT_EQ(view_->Caption(), QString("3D Model - %1 Polygons").arg(polygons));
  const QImage image = Grab();
  // The face covers a good part of the view and leaves a black border.
  EXPECT_GT(CountNonBackground(image), image.width() * image.height() / 10);
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u);
  EXPECT_TRUE(shownErrors_.empty());
}

TEST_F(VrmlViewTest, CentrePixelShowsTheTextureColourWithLightingOff) {
  const std::optional<QColor> texel = TexelOnAxis(view_->Mesh(), doc_.m_model.m_texture);
  ASSERT_TRUE(texel.has_value());
  const QImage lit = Grab();
  ASSERT_TRUE(view_->OnCommand(cmd::kLightingOn));
  const QImage unlit = Grab();
  ExpectColourNear(Centre(unlit), *texel, 4);
  // Lit, the surface facing the light is at most as bright as the bare texture.
  EXPECT_LE(Centre(lit).red(), texel->red() + 4);
  EXPECT_LE(Centre(lit).green(), texel->green() + 4);
  // Without texture the unlit mesh is white.
  ASSERT_TRUE(view_->OnCommand(cmd::kTextureOn));
  EXPECT_EQ(Centre(Grab()), QColor(255, 255, 255));
}

TEST_F(VrmlViewTest, ScreenshotsOfTheDrawingModes) {
  // Turn the face a little so that its relief shows.
  SendMouseMove(view_.get(), QPoint(300, 240), Qt::NoButton);
  SendMouseMove(view_.get(), QPoint(340, 220), Qt::LeftButton);
  const QImage textured = Grab();
  SaveShot(textured, "view3d_textured.png");
  ASSERT_TRUE(view_->OnCommand(cmd::kTextureOn));
  const QImage solid = Grab();
  SaveShot(solid, "view3d_solid.png");
  ASSERT_TRUE(view_->OnCommand(cmd::kFillWireframe));
  const QImage wireframe = Grab();
  SaveShot(wireframe, "view3d_wireframe.png");
  ASSERT_TRUE(view_->OnCommand(cmd::kFillPoint));
  const QImage points = Grab();
  const int solidCount = CountNonBackground(solid);
  EXPECT_GT(solidCount, 2 * CountNonBackground(wireframe));
  EXPECT_GT(CountNonBackground(wireframe), 2 * CountNonBackground(points));
  EXPECT_GT(CountNonBackground(points), kMatches / 2);
  EXPECT_NE(textured, solid);
}

TEST_F(VrmlViewTest, MeshMenuRulesAndRebuilds) {
  const int pointMeshVertices = view_->Mesh().VertexCount();
  CommandState subdivisions = StateOf(cmd::kSubdivisions);
  CommandState cubic = StateOf(cmd::kCubicInterpolation);
  EXPECT_FALSE(StateOf(cmd::kSmoothOn).checked);
  EXPECT_FALSE(subdivisions.enabled);
  EXPECT_TRUE(subdivisions.radio && subdivisions.checked);
  EXPECT_FALSE(cubic.enabled);
  EXPECT_FALSE(cubic.checked);

  // Smoothing on: subdivision adds face and edge points.
  ASSERT_TRUE(view_->OnCommand(cmd::kSmoothOn));
  EXPECT_TRUE(StateOf(cmd::kSmoothOn).checked);
  EXPECT_TRUE(StateOf(cmd::kSubdivisions).enabled);
  EXPECT_GT(view_->Mesh().VertexCount(), 2 * pointMeshVertices);

  // Cubic interpolation: the 50 x 50 grid within the points' hull.
  ASSERT_TRUE(view_->OnCommand(cmd::kCubicInterpolation));
  EXPECT_TRUE(StateOf(cmd::kCubicInterpolation).checked);
  EXPECT_FALSE(StateOf(cmd::kSubdivisions).checked);
  const int gridVertices = view_->Mesh().VertexCount();
  EXPECT_LE(gridVertices, 2500);
  EXPECT_GT(gridVertices, 1000);
  EXPECT_EQ(view_->Caption(), QString("3D Model - %1 Polygons").arg(doc_.m_model.PolygonCount()));

  // Smoothing off: both disabled, the radio mark stays on the chosen method.
  ASSERT_TRUE(view_->OnCommand(cmd::kSmoothOn));
  EXPECT_EQ(view_->Mesh().VertexCount(), pointMeshVertices);
  cubic = StateOf(cmd::kCubicInterpolation);
  EXPECT_FALSE(cubic.enabled);
  EXPECT_TRUE(cubic.radio && cubic.checked);
  EXPECT_FALSE(StateOf(cmd::kSubdivisions).checked);
  // On again: rebuilt with the marked method.
  ASSERT_TRUE(view_->OnCommand(cmd::kSmoothOn));
  EXPECT_EQ(view_->Mesh().VertexCount(), gridVertices);
}

TEST_F(VrmlViewTest, DisplayMenuRules) {
  EXPECT_TRUE(StateOf(cmd::kTextureOn).checked);
  EXPECT_TRUE(StateOf(cmd::kPointFiltering).enabled);
  EXPECT_TRUE(StateOf(cmd::kPointFiltering).checked);
  ASSERT_TRUE(view_->OnCommand(cmd::kBilinearFiltering));
  EXPECT_TRUE(StateOf(cmd::kBilinearFiltering).checked);
  EXPECT_TRUE(view_->Quality().linearFilter);
  // Texture off: both filterings disabled, the mark kept.
  ASSERT_TRUE(view_->OnCommand(cmd::kTextureOn));
  EXPECT_FALSE(StateOf(cmd::kTextureOn).checked);
  EXPECT_FALSE(StateOf(cmd::kBilinearFiltering).enabled);
  EXPECT_FALSE(StateOf(cmd::kPointFiltering).enabled);
  EXPECT_TRUE(StateOf(cmd::kBilinearFiltering).checked);

  EXPECT_TRUE(StateOf(cmd::kLightingOn).checked);
  ASSERT_TRUE(view_->OnCommand(cmd::kLightingOn));
  EXPECT_FALSE(StateOf(cmd::kLightingOn).checked);
  EXPECT_FALSE(view_->Quality().lighting);

  EXPECT_TRUE(StateOf(cmd::kGouraudShading).checked);
  ASSERT_TRUE(view_->OnCommand(cmd::kFlatShading));
  EXPECT_TRUE(StateOf(cmd::kFlatShading).checked);
  EXPECT_FALSE(StateOf(cmd::kGouraudShading).checked);
  EXPECT_EQ(view_->Quality().shade, ShadeMode::Flat);

  EXPECT_TRUE(StateOf(cmd::kFillSolid).checked);
  ASSERT_TRUE(view_->OnCommand(cmd::kFillWireframe));
  EXPECT_TRUE(StateOf(cmd::kFillWireframe).checked && StateOf(cmd::kFillWireframe).radio);
  EXPECT_FALSE(StateOf(cmd::kFillSolid).checked);
  EXPECT_EQ(view_->Quality().fill, FillMode::Wireframe);

  // Commands of the image and camera views are disabled here; Export is enabled.
  for (int id : {cmd::kToolRoi, cmd::kFitToWindow, cmd::kZoomIn, cmd::kZoomOut, cmd::kFullColor,
                 cmd::kGrayscale, cmd::kShowPoints, cmd::kShowPointIds, cmd::kShowVectors,
                 cmd::kDelete, cmd::kSelectAll, cmd::kInvertSelection, cmd::kManualMatching}) {
    EXPECT_FALSE(StateOf(id).enabled) << id;
  }
  EXPECT_TRUE(StateOf(cmd::kExportModel).enabled);
  CommandState unknown;
  EXPECT_FALSE(view_->OnUpdateCommand(cmd::kBlur, unknown));
  EXPECT_FALSE(view_->OnCommand(cmd::kBlur));
}

TEST_F(VrmlViewTest, DragRotatesTheModelFrameByTheFormulasAngle) {
  const QImage before = Grab();
  const QQuaternion start = view_->Scene().model.Orientation();
  SendMouseMove(view_.get(), QPoint(100, 100), Qt::NoButton);
  ExpectSameOrientation(view_->Scene().model.Orientation(), start);
  // dx = 100 - 130, dy = 100 - 140: d = 50, e = sqrt(50² + 2500); turn 0.5·d/e about
  // (-dy/d, -dx/d, 0) with rate -d/e, that is by -0.5·d/e radians.
  SendMouseMove(view_.get(), QPoint(130, 140), Qt::LeftButton);
  const float d = 50.0f;
  const float angle = -0.5f * d / std::sqrt(d * d + 2500.0f);
  const QQuaternion expected =
      QQuaternion::fromAxisAndAngle(QVector3D(0.8f, 0.6f, 0.0f), qRadiansToDegrees(angle)) * start;
  ExpectSameOrientation(view_->Scene().model.Orientation(), expected);
  EXPECT_EQ(view_->Scene().model.Position(), QVector3D(0, 0, 15));
  EXPECT_NE(Grab(), before);
  // Dragging right turns the side facing the camera to the right.
  const QQuaternion turned = view_->Scene().model.Orientation();
  SendMouseMove(view_.get(), QPoint(131, 140), Qt::NoButton);
  SendMouseMove(view_.get(), QPoint(141, 140), Qt::LeftButton);
  const QVector3D front =
      (view_->Scene().model.Orientation() * turned.inverted()).rotatedVector(QVector3D(0, 0, -1));
  EXPECT_GT(front.x(), 0.0f);
  // No move, no turn; a move with the button up changes nothing.
  const QQuaternion settled = view_->Scene().model.Orientation();
  SendMouseMove(view_.get(), QPoint(141, 140), Qt::LeftButton);
  SendMouseMove(view_.get(), QPoint(300, 10), Qt::NoButton);
  ExpectSameOrientation(view_->Scene().model.Orientation(), settled);
}

TEST_F(VrmlViewTest, SpacePansAndCtrlZooms) {
  SendKey(view_.get(), QEvent::KeyPress, Qt::Key_Space);
  EXPECT_EQ(view_->ToolMode(), CVRMLView::kToolPan);
  EXPECT_EQ(view_->cursor().shape(), view_->ToolCursor(CVRMLView::kToolPan).shape());
  SendMouseMove(view_.get(), QPoint(200, 200), Qt::NoButton);
  SendMouseMove(view_.get(), QPoint(210, 190), Qt::LeftButton);
  // dx = -10, dy = 10: velocity (10, 10, 0) for 0.04.
  EXPECT_NEAR((view_->Scene().model.Position() - QVector3D(0.4f, 0.4f, 15)).length(), 0, 1e-5);
  SendKey(view_.get(), QEvent::KeyRelease, Qt::Key_Space);
  // Ctrl held: ten pixels up move the model away by 0.2 units a pixel at its first distance,
  // compounded (proportional zoom).
  SendMouseMove(view_.get(), QPoint(210, 190), Qt::NoButton, Qt::ControlModifier);
  EXPECT_EQ(view_->ToolMode(), CVRMLView::kToolZoom);
  SendMouseMove(view_.get(), QPoint(210, 180), Qt::LeftButton, Qt::ControlModifier);
  const float away = 15.0f * std::exp(10 * 0.2f / 15.0f);
  EXPECT_NEAR((view_->Scene().model.Position() - QVector3D(0.4f, 0.4f, away)).length(), 0, 1e-4);
  // Keys released: back to rotation at the next move.
  SendMouseMove(view_.get(), QPoint(210, 180), Qt::NoButton);
  EXPECT_EQ(view_->ToolMode(), CVRMLView::kToolRotate);
  EXPECT_EQ(view_->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(VrmlViewTest, ToolbarToolsLockTheMode) {
  ASSERT_TRUE(view_->OnCommand(cmd::kToolZoom));
  EXPECT_TRUE(StateOf(cmd::kToolZoom).checked);
  EXPECT_FALSE(StateOf(cmd::kToolArrow).checked);
  SendMouseMove(view_.get(), QPoint(50, 50), Qt::NoButton);
  EXPECT_EQ(view_->ToolMode(), CVRMLView::kToolZoom);
  SendMouseMove(view_.get(), QPoint(50, 60), Qt::LeftButton);
  EXPECT_NEAR(view_->Scene().model.Position().z(), 15.0f * std::exp(-10 * 0.2f / 15.0f), 1e-4);
  ASSERT_TRUE(view_->OnCommand(cmd::kToolArrow));
  EXPECT_TRUE(StateOf(cmd::kToolArrow).checked);
  SendMouseMove(view_.get(), QPoint(50, 60), Qt::NoButton, Qt::ControlModifier);
  EXPECT_EQ(view_->ToolMode(), CVRMLView::kToolZoom);
}

// Share of the smaller side of the image that the drawn model's larger extent spans.
double DrawnShare(const QImage& image) {
  QRect drawn;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) drawn |= QRect(x, y, 1, 1);
  return static_cast<double>(std::max(drawn.width(), drawn.height())) / std::min(image.width(), image.height());
}

TEST_F(VrmlViewTest, TheModelIsFittedZoomsInProportionAndResetViewBringsItBack) {
  const double fitted = DrawnShare(Grab());
  EXPECT_GT(fitted, 0.5);
  EXPECT_LT(fitted, 0.9);

  // A wheel notch forward brings the model nearer, one back takes it away again.
  const float first = view_->Scene().model.Position().z();
  QWheelEvent forward(QPointF(320, 240), view_->mapToGlobal(QPointF(320, 240)), {}, QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.get(), &forward);
  EXPECT_LT(view_->Scene().model.Position().z(), first);
  EXPECT_GT(DrawnShare(Grab()), fitted);

  // However far the zoom tool drags, the model stays in front of the camera, and drawn.
  ASSERT_TRUE(view_->OnCommand(cmd::kToolZoom));
  SendMouseMove(view_.get(), QPoint(300, 0), Qt::NoButton);
  SendMouseMove(view_.get(), QPoint(300, 3000), Qt::LeftButton);
  EXPECT_GT(view_->Scene().model.Position().z(), view_->Scene().perspective.front);
  EXPECT_GT(CountNonBackground(Grab()), 0);
  SendMouseMove(view_.get(), QPoint(300, -20000), Qt::LeftButton);
  EXPECT_LT(view_->Scene().model.Position().z(), view_->Scene().perspective.back);
  ASSERT_TRUE(view_->OnCommand(cmd::kToolArrow));
  SendMouseMove(view_.get(), QPoint(300, 300), Qt::NoButton);
  SendMouseMove(view_.get(), QPoint(380, 340), Qt::LeftButton);

  ASSERT_TRUE(StateOf(cmd::kResetView).enabled);
  ASSERT_TRUE(view_->OnCommand(cmd::kResetView));
  EXPECT_NEAR(view_->Scene().model.Position().z(), first, 1e-5);
  ExpectSameOrientation(view_->Scene().model.Orientation(), QQuaternion());
  EXPECT_NEAR(DrawnShare(Grab()), fitted, 0.01);
}

TEST_F(VrmlViewTest, AxisKeysStretchTheMeshUntilItIsRebuilt) {
  const std::vector<float> original = view_->Mesh().Positions();
  SendKey(view_.get(), QEvent::KeyPress, Qt::Key_X);
  SendKey(view_.get(), QEvent::KeyPress, Qt::Key_Y, Qt::ShiftModifier);
  const std::vector<float>& scaled = view_->Mesh().Positions();
  ASSERT_EQ(scaled.size(), original.size());
  for (size_t i = 0; i < original.size(); i += 3) {
    EXPECT_NEAR(scaled[i], original[i] * 10.0f / 9.0f, 1e-4f);
    EXPECT_NEAR(scaled[i + 1], original[i + 1] * 0.9f, 1e-4f);
    EXPECT_NEAR(scaled[i + 2], original[i + 2], 1e-4f);
  }
  doc_.UpdateAllViews(nullptr, kHintRebuildModel);
  EXPECT_EQ(view_->Mesh().Positions(), original);
}

TEST_F(VrmlViewTest, CaptionFollowsEveryUpdate) {
  const std::vector<float> mesh = view_->Mesh().Positions();
  const int before = stateChanges_;
  doc_.m_model.m_polygonCount = 7;
  doc_.UpdateAllViews(nullptr, kHintPointsChanged);
  EXPECT_EQ(view_->Caption(), "3D Model - 7 Polygons");
  EXPECT_GT(stateChanges_, before);
  EXPECT_EQ(view_->Mesh().Positions(), mesh);  // not rebuilt by other hints
}

TEST_F(VrmlViewTest, RebuildTakesTheRetouchedTexture) {
  ASSERT_TRUE(view_->OnCommand(cmd::kLightingOn));
  const QColor original = Centre(Grab());
  Image& texture = doc_.m_model.m_texture;
  for (int y = 0; y < texture.Height(); ++y)
    for (int x = 0; x < texture.Width(); ++x) {
      uint8_t* p = texture.Row(y) + 3 * x;
      p[0] = 10;
      p[1] = 200;
      p[2] = 90;
    }
  // Drawing again alone keeps the uploaded texture; the rebuild hint takes the new one.
  EXPECT_EQ(Centre(Grab()), original);
  doc_.UpdateAllViews(nullptr, kHintRebuildModel);
  EXPECT_EQ(Centre(Grab()), QColor(90, 200, 10));
}

TEST_F(VrmlViewTest, KeepsDrawingAfterResizeAndAfterMovingToAnotherWindow) {
  view_->resize(300, 200);
  QImage image = Grab();
  EXPECT_EQ(image.size(), QSize(300, 200));
  EXPECT_NE(Centre(image).rgb() & 0xFFFFFF, 0u);
  // A pane switch puts the view into another window: a new context, everything uploaded again.
  QWidget window;
  window.resize(400, 300);
  view_->setParent(&window);
  view_->setGeometry(0, 0, 400, 300);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  image = Grab();
  EXPECT_NE(Centre(image).rgb() & 0xFFFFFF, 0u);
  EXPECT_GT(CountNonBackground(image), image.width() * image.height() / 10);
  view_->setParent(nullptr);
}

TEST_F(VrmlViewTest, ExportWritesTheFormatOfTheChosenExtension) {
  test::TempDir dir;
  auto exportTo = [&](const std::string& name) {
    const QString path = QString::fromStdString(dir.File(name).string());
    SetExportPathProvider([path](QWidget*) { return path; });
    EXPECT_TRUE(view_->OnCommand(cmd::kExportModel));
    return dir.File(name);
  };
  auto head = [](const std::filesystem::path& file, size_t n) {
    const std::vector<uint8_t> bytes = test::ReadBytes(file);
    return std::string(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
  };
  // The model file, whatever the extension's case.
  const auto q3d = exportTo("face.Q3D");
  EXPECT_EQ(std::filesystem::file_size(q3d),
            static_cast<uintmax_t>(kModelFileBaseSize + 32 * kMatches));
  EXPECT_EQ(head(q3d, 4), "QV3D");
  EXPECT_EQ(head(exportTo("face.wrl"), 15), "#VRML V2.0 utf8");
  EXPECT_EQ(head(exportTo("face.glb"), 4), "glTF");
  EXPECT_EQ(head(exportTo("face.ply"), 3), "ply");
  EXPECT_TRUE(std::filesystem::exists(exportTo("face.obj")));
  // Any other extension writes VRML 2.0.
  EXPECT_EQ(head(exportTo("face.txt"), 15), "#VRML V2.0 utf8");
  EXPECT_TRUE(shownErrors_.empty());

  // Cancelled: nothing written.
  const auto countFiles = [&] {
    return std::distance(std::filesystem::directory_iterator(dir.File("")), {});
  };
  const auto files = countFiles();
  SetExportPathProvider([](QWidget*) { return QString(); });
  EXPECT_TRUE(view_->OnCommand(cmd::kExportModel));
  EXPECT_EQ(countFiles(), files);

  // A file that cannot be created is reported.
  exportTo("missing/face.q3d");
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing/face.q3d")));
  EXPECT_EQ(shownErrors_.size(), 1u);
}

TEST(ExportDialog, FilterAndFormats) {
  EXPECT_TRUE(
      ModelExportFilter().startsWith("Quorvan 3D Model Files (*.q3d);;VRML 2.0 Files (*.wrl);;"));
  EXPECT_EQ(ExportFormatForPath("/a/b.q3D"), ModelExportFormat::Q3d);
  EXPECT_EQ(ExportFormatForPath("b.OBJ"), ModelExportFormat::Obj);
  EXPECT_EQ(ExportFormatForPath("b.ply"), ModelExportFormat::Ply);
  EXPECT_EQ(ExportFormatForPath("b.glb"), ModelExportFormat::Glb);
  EXPECT_EQ(ExportFormatForPath("b.Stl"), ModelExportFormat::Stl);
  EXPECT_EQ(ExportFormatForPath("b.q3d.bak"), ModelExportFormat::Vrml);
  EXPECT_EQ(ExportFormatForPath("b"), ModelExportFormat::Vrml);
}

TEST(VrmlViewUnrendered, ShowsNothingAndCountsNoPolygons) {
  CProjectDoc doc;
  CVRMLView view;
  view.resize(200, 150);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.AttachDocument(&doc);
  EXPECT_EQ(view.Caption(), "3D Model - 0 Polygons");
  EXPECT_EQ(view.Mesh().FaceCount(), 0);
  EXPECT_EQ(CountNonBackground(view.grabFramebuffer().convertToFormat(QImage::Format_RGB32)), 0);
  // Nothing to export before a render: reported, no file.
  std::vector<std::string> shown;
  SetErrorPresenter([&shown](const ErrorRecord& record) { shown.push_back(record.Message()); });
  test::TempDir dir;
  for (const char* name : {"empty.q3d", "empty.obj"}) {
    const QString path = QString::fromStdString(dir.File(name).string());
    SetExportPathProvider([path](QWidget*) { return path; });
    EXPECT_TRUE(view.OnCommand(cmd::kExportModel));
    EXPECT_FALSE(std::filesystem::exists(dir.File(name)));
  }
  SetExportPathProvider(nullptr);
  SetErrorPresenter(nullptr);
  EXPECT_EQ(shown.size(), 2u);
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

// A project that claims a render but holds no calibration (a crafted or damaged file):
// the build fails, the view stays empty, and the message waits for the event loop instead
// of opening inside the document update that triggered the build.
TEST(VrmlViewBrokenRenderTest, ReportsAfterTheUpdateAndStaysEmpty) {
  std::vector<std::string> shown;
  SetErrorPresenter([&shown](const ErrorRecord& record) { shown.push_back(record.Message()); });
  CProjectDoc doc;
  ASSERT_TRUE(CreateColorImage(doc.m_camera1.m_image, 64, 48));
  ASSERT_TRUE(CreateColorImage(doc.m_camera2.m_image, 64, 48));
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(test::Succeeded(doc.AddMatch(5 + i * 5, 5 + i * 3, 6 + i * 5, 4 + i * 3)));
  doc.m_stereoPair.m_rendered = 1;  // results stay at their reset values
  CVRMLView view;
  view.resize(320, 240);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.AttachDocument(&doc);
  EXPECT_TRUE(shown.empty());  // not during the update
  EXPECT_TRUE(QTest::qWaitFor([&shown] { return !shown.empty(); }, 2000));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(view.Mesh().FaceCount(), 0);
  EXPECT_EQ(view.Caption(), QString("3D Model - 0 Polygons"));
  view.DetachDocument();
  SetErrorPresenter(nullptr);
}

}  // namespace
}  // namespace q3d
