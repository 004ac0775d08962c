// A newcomer's whole session on the bundled sample, through the keys, menus and dialogs a
// user would use, with a screenshot of the window at each step (for review).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <opencv2/imgproc.hpp>

#include "app/auto_match_dialog.h"
#include "app/set_images_dialog.h"
#include "base/error_stack.h"
#include "gui_helpers.h"
#include "matching/marker_dots.h"
#include "support/exif_jpeg.h"
#include "support/synthetic_face.h"
#include "views/command_ids.h"
#include "views/export_dialog.h"
#include "views/texture_dialogs.h"
#include "views/vrml_view.h"

namespace q3d::test {
namespace {

using namespace cmd;
using Kinds = std::array<ViewKind, 3>;

// Share of the smaller side of the image that the drawn (non-black) part spans at most.
double DrawnShare(const QImage& image) {
  QRect drawn;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) drawn |= QRect(x, y, 1, 1);
  return static_cast<double>(std::max(drawn.width(), drawn.height())) /
         std::min(image.width(), image.height());
}

// Share of the image's pixels drawn in colour: neither black background nor grey shading.
double ColouredShare(const QImage& image) {
  int coloured = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      coloured +=
          std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 12;
    }
  return static_cast<double>(coloured) / (image.width() * image.height());
}

// Make-up dots the automatic matching would find on the model's texture.
FeatureList TextureDotList(const CProjectDoc& doc) {
  cv::Mat grey;
  cv::cvtColor(doc.m_model.m_texture.Mat(), grey, cv::COLOR_BGR2GRAY);
  DotOptions options;
  options.maxCount = 10000;
  FeatureList dots;
  EXPECT_EQ(DetectMarkerDots(grey, cv::Rect(0, 0, grey.cols, grey.rows), options, dots), 1);
  return dots;
}
int TextureDots(const CProjectDoc& doc) { return static_cast<int>(TextureDotList(doc).size()); }

// The sample's painted dots (its ground truth in image 1) where the texture shows them,
// each as wide as the detected dot at its place (or the typical dot where none was found).
FeatureList TrueTextureDots(const CProjectDoc& doc, const FeatureList& detected) {
  std::ifstream file(Q3D_SAMPLES_DIR "/face/truth.json");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<double> radii;
  for (const Feature& f : detected) radii.push_back(f.radius);
  std::nth_element(radii.begin(), radii.begin() + static_cast<std::ptrdiff_t>(radii.size() / 2),
                   radii.end());
  const double typical = radii.empty() ? 3.0 : radii[radii.size() / 2];
  const IplROI& roi = doc.m_model.m_sourceRoi;
  FeatureList dots;
  size_t at = text.find("\"dots_img1\"");
  double x = 0, y = 0;
  int used = 0;
  for (at = text.find("[[", at);
       at != std::string::npos &&
       std::sscanf(text.c_str() + at, "%*[[, ]%lf, %lf]%n", &x, &y, &used) == 2;
       at += static_cast<size_t>(used)) {
    Feature dot;
    dot.x = (x - roi.xOffset + 0.5) * C3DModel::kTextureSize / roi.width - 0.5;
    dot.y = (y - roi.yOffset + 0.5) * C3DModel::kTextureSize / roi.height - 0.5;
    dot.radius = typical;
    for (const Feature& f : detected)
      if (std::hypot(f.x - dot.x, f.y - dot.y) < typical) dot.radius = f.radius;
    dots.push_back(dot);
    if (text[at + static_cast<size_t>(used)] == ']') break;
  }
  return dots;
}

// Pixels that differ between the textures farther than two radii (and two pixels for the
// drawing of the disc and a dot's soft edge) from every dot.
int ChangedAwayFromDots(const cv::Mat& before, const cv::Mat& after, const FeatureList& dots) {
  cv::Mat near = cv::Mat::zeros(before.size(), CV_8U);
  for (const Feature& dot : dots)
    cv::circle(
        near, cv::Point(static_cast<int>(std::lround(dot.x)), static_cast<int>(std::lround(dot.y))),
        static_cast<int>(2 * dot.radius + 2), cv::Scalar(255), cv::FILLED);
  cv::Mat difference, changed;
  cv::absdiff(before, after, difference);
  cv::cvtColor(difference, changed, cv::COLOR_BGR2GRAY);
  return cv::countNonZero((changed > 0) & (near == 0));
}

class Walkthrough : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = StartApp();
    ASSERT_NE(app_, nullptr);
    frame_ = app_->Frame();
    doc_ = &app_->Document();
    frame_->activateWindow();
  }
  void TearDown() override {
    SetExportPathProvider(nullptr);
    if (doc_) doc_->SetModifiedFlag(false);
  }
  void Shot(const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(
        frame_->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/walkthrough_%1.png").arg(name)));
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target =
        QApplication::focusWidget() ? QApplication::focusWidget() : frame_->ActiveView()->Widget();
    QTest::keyClick(target, key, modifiers);
  }
  QOpenGLWidget* ModelView() {
    return qobject_cast<QOpenGLWidget*>(frame_->PaneAt(CMainFrame::kRight)->View()->Widget());
  }
  double ModelShare() {
    return DrawnShare(ModelView()->grabFramebuffer().convertToFormat(QImage::Format_RGB32));
  }
  void Drag(QWidget* w, QPoint from, QPoint to) {
    for (const auto& [at, buttons] :
         {std::pair{from, Qt::NoButton}, std::pair{to, Qt::LeftButton}}) {
      QMouseEvent move(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton,
                       Qt::MouseButtons(buttons), Qt::NoModifier);
      QApplication::sendEvent(w, &move);
    }
  }

  QTemporaryDir dir_;
  std::unique_ptr<QuorvanApp> app_;
  CMainFrame* frame_ = nullptr;
  CProjectDoc* doc_ = nullptr;
};

TEST_F(Walkthrough, TheSampleFromOpeningToExport) {
  const Kinds initial = {ViewKind::Image1, ViewKind::Image2, ViewKind::Image1};
  EXPECT_TRUE(SoundLayout(*frame_, initial));
  Shot("01_start");

  ModalAnswers answers;
  answers.Then(ModalAnswers::ChooseFile(QStringLiteral(Q3D_SAMPLES_DIR "/face/sample.qvp")));
  Press(Qt::Key_O, Qt::ControlModifier);
  ASSERT_TRUE(answers.AllAnswered());
  ASSERT_TRUE(doc_->ImagesLoaded());
  EXPECT_GE(doc_->m_stereoPair.m_matches.Count(), 10);
  EXPECT_EQ(ShownTitle(*frame_), QStringLiteral("sample.qvp - Quorvan 3D"));
  EXPECT_TRUE(SoundLayout(*frame_, initial));
  Shot("02_sample_opened");

  Press(Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(doc_->IsRendered());
  Kinds kinds = {ViewKind::Image1, ViewKind::Image2, ViewKind::Model3D};
  EXPECT_TRUE(SoundLayout(*frame_, kinds));
  const double fitted = ModelShare();
  EXPECT_GT(fitted, 0.5);
  EXPECT_LT(fitted, 0.9);
  Shot("03_rendered");

  // Every pane view key with the focus in every pane.
  const std::pair<Qt::Key, ViewKind> keys[] = {{Qt::Key_F3, ViewKind::Texture},
                                               {Qt::Key_F4, ViewKind::Model3D},
                                               {Qt::Key_F2, ViewKind::Image2},
                                               {Qt::Key_F1, ViewKind::Image1}};
  for (int pane = 0; pane < CMainFrame::kPaneCount; ++pane) {
    for (const auto& [key, kind] : keys) {
      FocusPane(*frame_, pane);
      Press(key);
      kinds[pane] = kind;
      EXPECT_TRUE(SoundLayout(*frame_, kinds)) << "pane " << pane << " key " << key;
    }
  }
  FocusPane(*frame_, CMainFrame::kTopLeft);
  Press(Qt::Key_F3);
  FocusPane(*frame_, CMainFrame::kRight);
  Press(Qt::Key_F4);
  kinds = {ViewKind::Texture, ViewKind::Image1, ViewKind::Model3D};
  EXPECT_TRUE(SoundLayout(*frame_, kinds));
  Shot("04_texture_and_model");

  // Turn and zoom the model, then Reset View.
  QOpenGLWidget* view = ModelView();
  Drag(view, QPoint(200, 200), QPoint(290, 230));
  QWheelEvent wheel(QPointF(200, 200), view->mapToGlobal(QPointF(200, 200)), {}, QPoint(0, 240),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  EXPECT_GT(ModelShare(), fitted);
  Shot("05_turned_and_zoomed");
  Press(Qt::Key_0, Qt::ControlModifier);
  EXPECT_NEAR(ModelShare(), fitted, 0.01);
  Shot("06_reset_view");

  // Make-up Cleaning with its defaults over the whole texture.
  const FeatureList dotList = TextureDotList(*doc_);
  const int dotsBefore = static_cast<int>(dotList.size());
  const cv::Mat textureBefore = doc_->m_model.m_texture.Mat().clone();
  FocusPane(*frame_, CMainFrame::kTopLeft);
  answers.Then<CMakeupCleaningDialog>([](CMakeupCleaningDialog* dialog) {
    dialog->accept();
    return true;
  });
  Press(Qt::Key_T, Qt::ControlModifier);
  ASSERT_TRUE(answers.AllAnswered());
  const int dotsAfter = TextureDots(*doc_);
  std::printf("texture dots before cleaning %d, after %d\n", dotsBefore, dotsAfter);
  EXPECT_GE(dotsBefore, 30);
  EXPECT_LE(dotsAfter, dotsBefore / 20) << "at least 95 % of the dots go";
  const FeatureList painted = TrueTextureDots(*doc_, dotList);
  EXPECT_GE(painted.size(), 200u);
  // Two touching dots the detector takes for one spot leave a few pixels of the gap
  // between them retouched too; nothing else away from the dots changes.
  const int away = ChangedAwayFromDots(textureBefore, doc_->m_model.m_texture.Mat(), painted);
  std::printf("pixels retouched away from the painted dots: %d\n", away);
  EXPECT_LE(away, 16) << "skin away from the painted dots was retouched";
  Shot("07_cleaned");

  // Save As, New, then the project back from the recent files.
  const QString saved = dir_.filePath("my face.qvp");
  answers.Then(ModalAnswers::ChooseFile(saved));
  frame_->Action(kSaveAs)->trigger();
  ASSERT_TRUE(QFileInfo::exists(saved));
  Press(Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(doc_->HasNoImages());
  EXPECT_TRUE(SoundLayout(*frame_, initial));
  frame_->Action(kRecentFile1)->trigger();
  EXPECT_TRUE(doc_->IsRendered());
  EXPECT_EQ(TextureDots(*doc_), dotsAfter) << "the cleaned texture was saved";
  EXPECT_TRUE(SoundLayout(*frame_, initial));
  Shot("08_reopened");

  // Export in each format from the 3D pane.
  FocusPane(*frame_, CMainFrame::kRight);
  Press(Qt::Key_F4);
  for (const char* suffix : {"q3d", "wrl", "obj", "ply", "glb"}) {
    const QString path = dir_.filePath(QStringLiteral("face.%1").arg(QLatin1String(suffix)));
    SetExportPathProvider([path](QWidget*) { return path; });
    frame_->Action(kExportModel)->trigger();
    EXPECT_GT(QFileInfo(path).size(), 1000) << suffix;
  }
  EXPECT_EQ(ErrorCount(), 0);
  Shot("09_exported");
}

// Phone photographs: a portrait JPEG pair with the focal length in its EXIF, set through
// the browse buttons, matched automatically, rendered, shown dense and exported.
TEST_F(Walkthrough, APortraitJpegPairFromSetImagesToTheDenseExport) {
  FaceSceneOptions scene;
  scene.width = 480;
  scene.height = 640;
  scene.dots = 70;
  const FaceStereoPair pair = RenderFaceStereoPair(scene);
  QString photos[2];
  for (int i = 0; i < 2; ++i) {
    ExifTags tags;
    tags.plane_resolution = 2000;  // 5 µm pixels
    tags.focal_mm = (i == 0 ? pair.f1 : pair.f2) / 200.0;
    photos[i] = dir_.filePath(QStringLiteral("phone%1.jpg").arg(i + 1));
    ASSERT_TRUE(
        WriteJpegWithExif(photos[i].toStdString(), i == 0 ? pair.image1 : pair.image2, tags));
  }

  ModalAnswers answers;
  answers.Then(
      {QStringLiteral("Set Images dialog"), [&](QWidget* w) {
         auto* dialog = dynamic_cast<SetImagesDialog*>(w);
         if (!dialog) return false;
         for (int i = 0; i < 2; ++i) {
           answers.Then(ModalAnswers::ChooseFile(photos[i]));
           dialog->findChild<QPushButton*>(QStringLiteral("browse%1").arg(i + 1))->click();
         }
         EXPECT_EQ(dialog->Preview(0)->pixmap().size(), QSize(106, 142)) << "portrait, 3:4";
         dialog->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/walkthrough_jpeg_set_images.png"));
         dialog->accept();
         return true;
       }});
  Press(Qt::Key_W, Qt::ControlModifier);
  ASSERT_TRUE(doc_->ImagesLoaded());
  EXPECT_EQ(doc_->m_camera1.Height(), 640);
  EXPECT_GT(doc_->m_camera1.m_focal.exif_px, 0) << "the EXIF focal length was read";

  answers.Then<AutoMatchDialog>([](AutoMatchDialog* dialog) {
    dialog->accept();
    return true;
  });
  Press(Qt::Key_M, Qt::ControlModifier);
  EXPECT_GE(doc_->m_stereoPair.m_matches.Count(), 30);
  Press(Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(doc_->IsRendered());
  const QString rendered = frame_->statusBar()->currentMessage();
  EXPECT_TRUE(rendered.contains(QStringLiteral("(EXIF)")) &&
              rendered.contains(QStringLiteral("reprojection")))
      << rendered.toStdString();
  EXPECT_EQ(ShownTitle(*frame_), QStringLiteral("Untitled* - Quorvan 3D"))
      << "unsaved changes show";
  Shot("jpeg_rendered");

  // Dense from the 3D pane's menu: the view draws the dense mesh, textured, at once.
  FocusPane(*frame_, CMainFrame::kRight);
  frame_->Action(kDenseMesh)->trigger();
  ASSERT_TRUE(frame_->QueryCommand(kDenseMesh).checked);
  auto* view = dynamic_cast<CVRMLView*>(frame_->PaneAt(CMainFrame::kRight)->View());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(static_cast<int32_t>(view->Mesh().FaceCount()), doc_->m_model.PolygonCount());
  EXPECT_GT(doc_->m_model.PolygonCount(), 2000);
  EXPECT_GT(ColouredShare(ModelView()->grabFramebuffer()), 0.05)
      << "the dense mesh is drawn with its texture";
  Shot("jpeg_dense");

  // The choice stays with the project across pane switches.
  Press(Qt::Key_F3);
  Press(Qt::Key_F4);
  EXPECT_TRUE(frame_->QueryCommand(kDenseMesh).checked);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Model3D);

  const QString path = dir_.filePath(QStringLiteral("phone face.obj"));
  SetExportPathProvider([path](QWidget*) { return path; });
  frame_->Action(kExportModel)->trigger();
  EXPECT_GT(QFileInfo(path).size(), 10000);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), QStringLiteral("Exported phone face.obj."));

  // Saved and opened again, the project shows its dense surface.
  const int32_t densePolygons = doc_->m_model.PolygonCount();
  answers.Then(ModalAnswers::ChooseFile(dir_.filePath(QStringLiteral("phone face.qvp"))));
  frame_->Action(kSaveAs)->trigger();
  ASSERT_TRUE(answers.AllAnswered());
  Press(Qt::Key_N, Qt::ControlModifier);
  ASSERT_TRUE(doc_->HasNoImages());
  frame_->Action(kRecentFile1)->trigger();
  FocusPane(*frame_, CMainFrame::kRight);
  Press(Qt::Key_F4);
  EXPECT_TRUE(frame_->QueryCommand(kDenseMesh).checked);
  view = dynamic_cast<CVRMLView*>(frame_->PaneAt(CMainFrame::kRight)->View());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(static_cast<int32_t>(view->Mesh().FaceCount()), densePolygons);
  EXPECT_FALSE(doc_->IsModified());
  EXPECT_EQ(ErrorCount(), 0);
}

}  // namespace
}  // namespace q3d::test
