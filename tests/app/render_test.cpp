#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>

#include "app/focal_length_dialog.h"
#include "gui_helpers.h"
#include "stereo/camera_focal.h"
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
  const SettingsGuard keep;
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
  answers.Then<QMessageBox>([&answers](QMessageBox* box) {
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
  EXPECT_EQ(app->Frame()->Help()->Browser()->documentTitle(),
            QStringLiteral("Rendering the model"));
  EXPECT_EQ(KindAt(*app->Frame(), CMainFrame::kRight), ViewKind::Image1);
  doc.SetModifiedFlag(false);
}

TEST(RenderCommand, AimedPhotographsRenderWithAnAssumedFocalLength) {
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
  // The render says it assumed the focal lengths and offers the dialog with them filled in;
  // the user enters the real ones (as 35 mm equivalents) and the face is rendered again.
  ModalAnswers answers;
  double assumed = 0;
  answers.Then<QMessageBox>([&](QMessageBox* box) {
    answers.messages.append(box->text());
    assumed = doc.RenderedFocal(0);
    EXPECT_TRUE(box->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/assumed_focal.png")));
    for (QAbstractButton* button : box->buttons())
      if (box->buttonRole(button) == QMessageBox::AcceptRole) button->click();
    return true;
  });
  answers.Then<FocalLengthDialog>([&](FocalLengthDialog* dialog) {
    auto* focal1 = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("focal1"));
    auto* focal2 = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("focal2"));
    auto* unit = dialog->findChild<QComboBox*>(QStringLiteral("focalUnit"));
    EXPECT_NEAR(focal1->value(), assumed, 0.5);
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("focalSource1"))
                    ->text()
                    .contains(QStringLiteral("assumed")));
    unit->setCurrentIndex(1);
    EXPECT_NEAR(focal1->value(), Focal35mmFromPx(assumed, options.width1, options.height1), 0.05);
    EXPECT_FALSE(dialog->Entered(0)) << "a change of unit is no entry";
    focal1->setValue(Focal35mmFromPx(options.f1_px, options.width1, options.height1));
    focal2->setValue(Focal35mmFromPx(options.f2_px, options.width2, options.height2));
    dialog->findChild<QDoubleSpinBox*>(QStringLiteral("focalPrecision"))->setValue(1.0);
    auto* sharing = dialog->findChild<QComboBox*>(QStringLiteral("cameraSharing"));
    sharing->setCurrentIndex(sharing->findData(static_cast<int>(CameraSharing::kSeparate)));
    EXPECT_TRUE(dialog->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/focal_lengths.png")));
    dialog->accept();
    return true;
  });
  app->Frame()->Dispatch(cmd::kRender);
  ASSERT_TRUE(doc.IsRendered());
  EXPECT_TRUE(answers.AllAnswered());
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(
      answers.messages[0].contains(QStringLiteral("rendered with that of a typical phone")));
  EXPECT_EQ(doc.m_stereoPair.m_focalSource[0], FocalSource::kEntered);
  EXPECT_EQ(doc.m_stereoPair.m_focalSource[1], FocalSource::kEntered);
  EXPECT_NEAR(doc.RenderedFocal(0), options.f1_px, 0.02 * options.f1_px);
  EXPECT_NEAR(doc.RenderedFocal(1), options.f2_px, 0.02 * options.f2_px);
  EXPECT_EQ(doc.Camera(1).m_focal.entered_sigma, 0.01);
  EXPECT_EQ(doc.m_stereoPair.m_cameraSharing, CameraSharing::kSeparate);
  doc.SetModifiedFlag(false);
}

}  // namespace
}  // namespace q3d::test
