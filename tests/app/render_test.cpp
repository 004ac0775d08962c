#include <QAbstractButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include "gui_helpers.h"
#include "support/synthetic_scene.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

TEST(RenderCommand, RenderShowsTheModelInTheRightPaneAndSavesAScreenshot) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 40);
  frame->ActivatePane(CMainFrame::kTopLeft);
  ASSERT_TRUE(frame->QueryCommand(cmd::kRender).enabled);

  QTest::keyClick(frame->ActiveView()->Widget(), Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(doc.IsRendered());
  EXPECT_EQ(frame->ActivePaneIndex(), CMainFrame::kRight);
  EXPECT_EQ(KindAt(*frame, CMainFrame::kRight), ViewKind::Model3D);
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(frame->isEnabled()) << "the progress window gives the window back";
  EXPECT_FALSE(frame->QueryCommand(cmd::kRender).enabled);

  const QString shot = QStringLiteral(Q3D_SCREENSHOT_DIR "/main_window.png");
  EXPECT_TRUE(frame->grab().save(shot));
  doc.SetModifiedFlag(false);
}

TEST(RenderCommand, RefineFocalLengthsIsAPersistentToggle) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  frame->SetRefineRender(false);
  EXPECT_FALSE(frame->QueryCommand(cmd::kRefineRender).checked);
  EXPECT_TRUE(frame->QueryCommand(cmd::kRefineRender).enabled);

  frame->Dispatch(cmd::kRefineRender);
  EXPECT_TRUE(frame->QueryCommand(cmd::kRefineRender).checked);
  {
    auto again = StartApp();  // a later session reads the setting back
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->Frame()->RefineRender());
  }
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 40);
  frame->Dispatch(cmd::kRender);
  EXPECT_TRUE(doc.IsRendered());
  const double f1 = -doc.m_stereoPair.m_A1(0, 0);
  EXPECT_GT(f1, 100);

  frame->Dispatch(cmd::kRefineRender);
  EXPECT_FALSE(frame->RefineRender());
  doc.SetModifiedFlag(false);
}

TEST(RenderCommand, AFailedRenderShowsItsErrorAndLeavesThePanes) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CProjectDoc& doc = app->Document();
  QTemporaryDir dir;
  ASSERT_TRUE(doc.SetImages(WriteBitmap(dir, "a.bmp", 160, 120).toStdString(),
                            WriteBitmap(dir, "b.bmp", 160, 120).toStdString()));
  // Ten matches on one line: no epipolar geometry can come out of them.
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(doc.AddMatch(10 + 10 * i, 50, 12 + 10 * i, 50));
  ModalAnswers answers;
  answers.Then([&answers](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    answers.messages.append(box->text());
    // The box offers its help page.
    for (QAbstractButton* button : box->buttons())
      if (box->buttonRole(button) == QMessageBox::HelpRole) button->click();
    return true;
  });
  app->Frame()->Dispatch(cmd::kRender);
  ASSERT_FALSE(doc.IsRendered()) << "the render accepted degenerate matches";
  EXPECT_TRUE(answers.AllAnswered());
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(answers.messages[0].startsWith(QStringLiteral("Error")));
  EXPECT_TRUE(answers.messages[0].contains(QStringLiteral("enough matches")));
  ASSERT_NE(app->Frame()->Help(), nullptr);
  EXPECT_TRUE(app->Frame()->Help()->isVisible());
  EXPECT_EQ(app->Frame()->Help()->Browser()->documentTitle(), QStringLiteral("Rendering the model"));
  EXPECT_EQ(KindAt(*app->Frame(), CMainFrame::kRight), ViewKind::Image1);
  doc.SetModifiedFlag(false);
}

TEST(RenderCommand, ARefusedRenderOfAimedPhotographsSaysWhy) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CProjectDoc& doc = app->Document();
  // Both optical axes through one point: the matches cannot fix the focal lengths.
  SceneOptions options;
  options.camera2_target = Eigen::Vector3d(0, 0, 20);
  options.pixel_noise_sigma = 0.3;
  const SyntheticScene scene = MakeSyntheticScene(options);
  ASSERT_TRUE(CreateColorImage(doc.m_camera1.m_image, options.width1, options.height1));
  ASSERT_TRUE(CreateColorImage(doc.m_camera2.m_image, options.width2, options.height2));
  const Matrix pixels = scene.PixelMatches();
  for (Eigen::Index i = 0; i < pixels.rows(); ++i)
    ASSERT_TRUE(
        doc.AddMatch(pixels(i, 0) - 1, pixels(i, 1) - 1, pixels(i, 2) - 1, pixels(i, 3) - 1));
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Ok));
  app->Frame()->Dispatch(cmd::kRender);
  ASSERT_FALSE(doc.IsRendered());
  ASSERT_EQ(answers.messages.size(), 1);
  const QString& message = answers.messages[0];
  EXPECT_TRUE(message.startsWith(QStringLiteral("Error: Focals estimation.")))
      << message.toStdString();
  EXPECT_TRUE(message.contains(QStringLiteral("aimed at the same point"))) << message.toStdString();
  doc.SetModifiedFlag(false);
}

}  // namespace
}  // namespace q3d::test
