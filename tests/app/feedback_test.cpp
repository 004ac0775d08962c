// What the window tells a user after each command, and the edits that must leave nothing
// stale behind: Delete of every point of a rendered dense project, a greyed Render, Save,
// the Help window's Escape, and the 3D view's lent zoom tool.
#include <gtest/gtest.h>

#include <QAction>
#include <QOpenGLWidget>
#include <QStatusBar>
#include <QTest>

#include "base/error_stack.h"
#include "gui_helpers.h"
#include "views/command_ids.h"
#include "views/vrml_view.h"

namespace q3d::test {
namespace {

using namespace cmd;

int DrawnPixels(QOpenGLWidget* view) {
  const QImage image = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) drawn += (image.pixel(x, y) & 0xFFFFFF) != 0;
  return drawn;
}

TEST(Feedback, SelectAllAndDeleteOnADenseModelLeavesAnEmptyViewAndSaysWhatWent) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 40);
  frame->Dispatch(kRender);
  ASSERT_TRUE(doc.IsRendered());
  frame->Dispatch(kDenseMesh);
  ASSERT_TRUE(frame->QueryCommand(kDenseMesh).checked);
  auto* view = dynamic_cast<CVRMLView*>(frame->PaneAt(CMainFrame::kRight)->View());
  ASSERT_NE(view, nullptr);
  ASSERT_GT(DrawnPixels(view), 1000);

  ModalAnswers answers;  // no box may open: a message would be answered and recorded
  answers.Then(answers.Press(QMessageBox::Ok));
  FocusPane(*frame, CMainFrame::kTopLeft);
  frame->Dispatch(kSelectAll);
  frame->Dispatch(kDelete);
  QTest::qWait(50);
  EXPECT_TRUE(answers.messages.isEmpty()) << answers.messages.join(" ").toStdString();
  EXPECT_EQ(ErrorCount(), 0);
  EXPECT_EQ(
      frame->statusBar()->currentMessage(),
      QStringLiteral("Deleted 80 points and 40 matches. Too few matches are left for a 3D model."));
  EXPECT_EQ(view->Mesh().FaceCount(), 0u);
  EXPECT_TRUE(frame->PaneAt(CMainFrame::kRight)
                  ->InfoBar()
                  ->Text()
                  .startsWith(QStringLiteral("3D Model - 0 Polygons")));
  EXPECT_EQ(DrawnPixels(view), 0) << "the old face is still drawn";
  doc.SetModifiedFlag(false);
}

TEST(Feedback, AGreyedRenderSaysWhatItWaitsForAndSaveSaysWhatItWrote) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  QAction* render = frame->Action(kRender);
  frame->UpdateCommandStates();
  EXPECT_FALSE(render->isEnabled());
  EXPECT_TRUE(render->toolTip().contains(QStringLiteral("Set Images")))
      << render->toolTip().toStdString();
  QTemporaryDir dir;
  ASSERT_TRUE(doc.SetImages(WriteBitmap(dir, "a.bmp", 160, 120).toStdString(),
                            WriteBitmap(dir, "b.bmp", 160, 120).toStdString()));
  AddMatches(doc, 4);
  frame->UpdateCommandStates();
  EXPECT_EQ(render->statusTip(), QStringLiteral("Render needs at least 10 matches: 4 so far."));
  AddMatches(doc, 6);
  frame->UpdateCommandStates();
  EXPECT_TRUE(render->isEnabled());
  EXPECT_EQ(render->statusTip(), QStringLiteral("Reconstruct the 3D model from the matches"));

  EXPECT_EQ(ShownTitle(*frame), QStringLiteral("Untitled* - Quorvan 3D"));
  ASSERT_TRUE(frame->SaveDocumentTo(dir.filePath("pair.qvp")));
  EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Saved pair.qvp."));
  EXPECT_EQ(ShownTitle(*frame), QStringLiteral("pair.qvp - Quorvan 3D"));
}

TEST(Feedback, EscapeClosesHelpAndCtrlNLendsTheZoomToolOnlyWhileHeld) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  frame->Dispatch(kHelpContents);
  ASSERT_NE(frame->Help(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame->Help()));
  // Escape is the window's own shortcut: it is heard only once the window is active, which
  // the window system grants some time after it is asked.
  frame->Help()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame->Help())) << "the help window never became active";
  QTest::keyClick(frame->Help(), Qt::Key_Escape);
  EXPECT_TRUE(WaitFor([&] { return !frame->Help()->isVisible(); }));

  LoadMatchedFace(app->Document(), 20);
  frame->Dispatch(kRender);
  auto* view = dynamic_cast<CVRMLView*>(frame->PaneAt(CMainFrame::kRight)->View());
  ASSERT_NE(view, nullptr);
  QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(view->ToolMode(), CVRMLView::kToolZoom);
  QTest::keyRelease(view, Qt::Key_Control);
  EXPECT_EQ(view->ToolMode(), CVRMLView::kToolRotate) << "the next click would zoom";
  frame->Dispatch(kToolZoom);
  QTest::keyRelease(view, Qt::Key_Control);
  EXPECT_EQ(view->ToolMode(), CVRMLView::kToolZoom) << "a chosen tool stays";
  app->Document().SetModifiedFlag(false);
}

}  // namespace
}  // namespace q3d::test
