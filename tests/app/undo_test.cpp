// Undo and Redo as a user reaches them: the keys, the Edit menu and the tool-bar buttons,
// with the step named in the menu and the title following the saved file.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "base/archive.h"
#include "gui_helpers.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

using namespace cmd;

std::vector<uint8_t> ProjectBytes(CProjectDoc& doc) {
  Archive ar = Archive::ForStoring();
  doc.Serialize(ar);
  return ar.TakeBuffer();
}

QMenu* EditMenu(CMainFrame& frame) {
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == QStringLiteral("&Edit")) return a->menu();
  return nullptr;
}

TEST(UndoRedo, KeysMenuAndToolBarTakeTheStepBackAndForthAndTheTitleFollowsTheFile) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  QTemporaryDir dir;
  LoadMatchedFace(doc, 12);
  ASSERT_TRUE(frame->SaveDocumentTo(dir.filePath("face.qvp")));
  const std::vector<uint8_t> saved = ProjectBytes(doc);
  const auto matches = [&] { return doc.m_stereoPair.m_matches.Count(); };

  FocusPane(*frame, CMainFrame::kTopLeft);
  QWidget* view = frame->ActiveView()->Widget();
  QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_Delete);
  ASSERT_EQ(matches(), 0);
  QAction* undo = frame->Action(kUndo);
  QAction* redo = frame->Action(kRedo);
  EXPECT_EQ(undo->text(), QStringLiteral("&Undo Delete 24 Points\tCtrl+Z"));
  EXPECT_EQ(undo->toolTip(), QStringLiteral("Undo Delete 24 Points"));
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  EXPECT_EQ(redo->text(), QStringLiteral("&Redo\tCtrl+Y"));
  EXPECT_EQ(ShownTitle(*frame), QStringLiteral("face.qvp* - Quorvan 3D"));

  QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(matches(), 12);
  EXPECT_TRUE(ProjectBytes(doc) == saved);
  EXPECT_EQ(ShownTitle(*frame), QStringLiteral("face.qvp - Quorvan 3D"))
      << "back where the file is";
  EXPECT_EQ(redo->text(), QStringLiteral("&Redo Delete 24 Points\tCtrl+Y"));
  EXPECT_EQ(undo->text(), QStringLiteral("&Undo Add Match\tCtrl+Z"));
  EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Undone: Delete 24 Points."));

  QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(matches(), 0);
  EXPECT_EQ(ShownTitle(*frame), QStringLiteral("face.qvp* - Quorvan 3D"));
  QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(matches(), 0) << "Ctrl+Shift+Z redoes";

  QToolBar* bar = frame->MainToolBar();
  QTest::mouseClick(bar->widgetForAction(undo), Qt::LeftButton);
  EXPECT_EQ(matches(), 12);
  QTest::mouseClick(bar->widgetForAction(redo), Qt::LeftButton);
  EXPECT_EQ(matches(), 0);

  // The Edit menu opened as a user opens it, and Undo chosen from it by its letter.
  QMenu* edit = EditMenu(*frame);
  ASSERT_NE(edit, nullptr);
  QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {},
                    frame->menuBar()->actionGeometry(edit->menuAction()).center());
  ASSERT_TRUE(WaitFor([&] { return edit->isVisible(); }));
  EXPECT_EQ(edit->actions().at(0)->text(), QStringLiteral("&Undo Delete 24 Points\tCtrl+Z"));
  EXPECT_EQ(edit->actions().at(1)->text(), QStringLiteral("&Redo\tCtrl+Y"));
  EXPECT_TRUE(edit->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/edit_menu_undo.png")));
  QTest::keyClick(edit, Qt::Key_U);
  ASSERT_TRUE(WaitFor([&] { return !edit->isVisible(); }));
  EXPECT_EQ(matches(), 12);

  QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {},
                    frame->menuBar()->actionGeometry(edit->menuAction()).center());
  ASSERT_TRUE(WaitFor([&] { return edit->isVisible(); }));
  EXPECT_EQ(edit->actions().at(1)->text(), QStringLiteral("&Redo Delete 24 Points\tCtrl+Y"));
  EXPECT_TRUE(edit->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/edit_menu_redo.png")));
  edit->close();
  EXPECT_FALSE(doc.IsModified());
}

TEST(UndoRedo, ARenderUndoneTakesTheModelAwayAndRemoveRenderDataUndoneBringsItBack) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  UnansweredModalWatch watch;
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 20);
  frame->Dispatch(kRender);
  ASSERT_TRUE(doc.IsRendered());
  ASSERT_EQ(KindAt(*frame, CMainFrame::kRight), ViewKind::Model3D);
  EXPECT_EQ(frame->Action(kUndo)->text(), QStringLiteral("&Undo Render\tCtrl+Z"));

  frame->Dispatch(kUndo);
  EXPECT_FALSE(doc.IsRendered());
  EXPECT_FALSE(doc.m_model.Texture().HasData());
  EXPECT_EQ(KindAt(*frame, CMainFrame::kRight), ViewKind::Image1)
      << "no pane shows a model that is gone";
  frame->Dispatch(kRedo);
  ASSERT_TRUE(doc.IsRendered());

  const std::vector<uint8_t> rendered = ProjectBytes(doc);
  frame->Dispatch(kRemoveRenderData);
  ASSERT_FALSE(doc.IsRendered());
  EXPECT_EQ(frame->Action(kUndo)->text(), QStringLiteral("&Undo Remove Render Data\tCtrl+Z"));
  frame->Dispatch(kUndo);
  EXPECT_TRUE(ProjectBytes(doc) == rendered);
  frame->ActivatePane(CMainFrame::kRight);
  frame->Dispatch(kView3DModel);
  EXPECT_EQ(KindAt(*frame, CMainFrame::kRight), ViewKind::Model3D);
  doc.SetModifiedFlag(false);
}

}  // namespace
}  // namespace q3d::test
