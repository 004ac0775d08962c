#include <QAbstractButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include "gui_helpers.h"
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
  ASSERT_EQ(doc.SetImages(WriteBitmap(dir, "a.bmp", 160, 120).toStdString(),
                          WriteBitmap(dir, "b.bmp", 160, 120).toStdString()),
            1);
  // Ten matches on one line: no epipolar geometry can come out of them.
  for (int i = 0; i < 10; ++i) doc.AddMatch(10 + 10 * i, 50, 12 + 10 * i, 50);
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
  ASSERT_FALSE(doc.IsRendered()) << "the pipeline accepted degenerate matches";
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

}  // namespace
}  // namespace q3d::test
