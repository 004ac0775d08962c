// A newcomer's whole session on the bundled sample, through the keys, menus and dialogs a
// user would use, with a screenshot of the window at each step (for review).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QTest>
#include <QWheelEvent>
#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"
#include "gui_helpers.h"
#include "matching/marker_dots.h"
#include "views/command_ids.h"
#include "views/export_dialog.h"
#include "views/texture_dialogs.h"

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

// Make-up dots the automatic matching would find on the model's texture.
int TextureDots(const CProjectDoc& doc) {
  cv::Mat grey;
  cv::cvtColor(doc.m_model.m_texture.Mat(), grey, cv::COLOR_BGR2GRAY);
  DotOptions options;
  options.maxCount = 10000;
  FeatureList dots;
  EXPECT_EQ(DetectMarkerDots(grey, cv::Rect(0, 0, grey.cols, grey.rows), options, dots), 1);
  return static_cast<int>(dots.size());
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
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("sample.qvp - Quorvan 3D"));
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
  const int dotsBefore = TextureDots(*doc_);
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

}  // namespace
}  // namespace q3d::test
