// The dense surface's GUI: the Real Distance and Dense Surface Margin dialogs, and Cancel
// in the progress window of a dense build (screenshots beside the test program).
#include <gtest/gtest.h>

#include <QAction>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include "app/progress_window.h"
#include "app/scale_dialog.h"
#include "gui_helpers.h"
#include "project/real_distance.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

QString Shot(const char* name) { return QStringLiteral(Q3D_SCREENSHOT_DIR "/") + name; }

QAction* Entry(CMainFrame& frame, const char* name) {
  QAction* action = frame.findChild<QAction*>(QString::fromLatin1(name));
  if (action)
    for (QObject* menu = action->parent(); menu; menu = menu->parent())
      if (auto* m = qobject_cast<QMenu*>(menu)) emit m->aboutToShow();
  return action;
}

TEST(DenseGui, RealDistanceFromTwoPickedMatchesThenRemovedAndTheMarginSet) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 40);
  QAction* realDistance = Entry(*frame, "realDistance");
  ASSERT_NE(realDistance, nullptr);
  EXPECT_FALSE(realDistance->isEnabled()) << "no 3D points before a render";
  frame->Dispatch(cmd::kRender);
  ASSERT_TRUE(doc.IsRendered());
  doc.SetModifiedFlag(false);
  Entry(*frame, "realDistance");
  ASSERT_TRUE(realDistance->isEnabled());

  // Picks matches 2, 5 and 7 in the list: the last two name the distance.
  ModalAnswers answers;
  QString before;
  answers.Then<ScaleDialog>([&](ScaleDialog* dialog) {
    before = dialog->CurrentScale()->text();
    for (int row : {1, 4, 6}) dialog->MatchList()->item(row)->setSelected(true);
    EXPECT_EQ(dialog->MatchList()->selectedItems().size(), 2);
    dialog->Millimetres()->setValue(48.5);
    dialog->grab().save(Shot("real_distance_dialog.png"));
    dialog->accept();
    return true;
  });
  realDistance->trigger();
  ASSERT_TRUE(answers.AllAnswered());
  EXPECT_TRUE(before.contains(QStringLiteral("No real distance")));
  const auto set = CurrentRealDistance(doc);
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->first, 5);
  EXPECT_EQ(set->second, 7);
  EXPECT_EQ(set->millimetres, 48.5);
  ASSERT_TRUE(set->mmPerUnit.ok());
  EXPECT_TRUE(doc.IsModified());

  // A bad pair keeps the dialog open with the reason; Remove Distance clears the scale.
  QString shown, problem;
  answers.Then<ScaleDialog>([&](ScaleDialog* dialog) {
    shown = dialog->CurrentScale()->text();
    dialog->SecondMatch()->setValue(dialog->FirstMatch()->value());
    dialog->accept();
    EXPECT_TRUE(dialog->isVisible());
    problem = dialog->findChild<QLabel*>(QStringLiteral("scaleProblem"))->text();
    dialog->grab().save(Shot("real_distance_refused.png"));
    dialog->ClearButton()->click();
    return true;
  });
  realDistance->trigger();
  ASSERT_TRUE(answers.AllAnswered());
  EXPECT_TRUE(shown.contains(QStringLiteral("48.5 mm between matches 5 and 7")))
      << shown.toStdString();
  EXPECT_TRUE(problem.contains(QStringLiteral("two different matches"))) << problem.toStdString();
  EXPECT_FALSE(CurrentRealDistance(doc).has_value());

  QAction* margin = Entry(*frame, "denseMargin");
  ASSERT_NE(margin, nullptr);
  answers.Then<QInputDialog>([&](QInputDialog* dialog) {
    EXPECT_DOUBLE_EQ(dialog->doubleValue(), 100 * DenseMatchParams{}.hullMargin);
    dialog->setDoubleValue(12.5);
    dialog->grab().save(Shot("dense_margin_dialog.png"));
    dialog->accept();
    return true;
  });
  margin->trigger();
  ASSERT_TRUE(answers.AllAnswered());
  EXPECT_DOUBLE_EQ(doc.m_model.m_denseMargin, 0.125);
  doc.SetModifiedFlag(false);
}

// A progress window that presses its own Cancel once the work has reached a given
// position: a fixed step of the build, whatever the machine's speed.
class CancellingProgressWindow : public ProgressWindow {
 public:
  static inline int cancelAt = 0;
  static inline bool clicked = false;
  static std::unique_ptr<Progress> Make() { return std::make_unique<CancellingProgressWindow>(); }

 protected:
  void OnPosChanged(bool labelChanged) override {
    ProgressWindow::OnPosChanged(labelChanged);
    if (clicked || Pos() < cancelAt || !CancelButton() || !CancelButton()->isVisible()) return;
    Window()->grab().save(Shot("dense_progress_cancel.png"));
    CancelButton()->click();
    clicked = true;
  }
};

// Cancel in the progress window stops the dense build: the window keeps turning events
// meanwhile, no message follows, and the view keeps the points' mesh.
TEST(DenseGui, CancelStopsTheDenseBuildQuietlyAndKeepsThePointsMesh) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 40);
  frame->Dispatch(cmd::kRender);
  ASSERT_TRUE(doc.IsRendered());
  ASSERT_EQ(KindAt(*frame, CMainFrame::kRight), ViewKind::Model3D);
  doc.SetModifiedFlag(false);
  const int32_t pointTriangles = doc.m_model.PolygonCount();

  ModalAnswers answers;  // any message box would be answered and recorded
  answers.Then(answers.Press(QMessageBox::Ok));
  CancellingProgressWindow::cancelAt = 15;  // the photographs are rectified, matching starts
  SetProgressFactory(&CancellingProgressWindow::Make);
  frame->Dispatch(cmd::kDenseMesh);
  QCoreApplication::processEvents();  // a failure's message would come now
  ProgressWindow::Install();
  ASSERT_TRUE(CancellingProgressWindow::clicked);
  EXPECT_TRUE(answers.messages.isEmpty()) << answers.messages.join(" ").toStdString();
  EXPECT_TRUE(frame->statusBar()->currentMessage().contains(QStringLiteral("cancelled")));
  EXPECT_FALSE(frame->QueryCommand(cmd::kDenseMesh).checked);
  EXPECT_EQ(doc.m_model.PolygonCount(), pointTriangles);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(frame->isEnabled());

  // Left alone, the same build gives the dense surface.
  frame->Dispatch(cmd::kDenseMesh);
  EXPECT_TRUE(frame->QueryCommand(cmd::kDenseMesh).checked);
  EXPECT_GT(doc.m_model.PolygonCount(), 20 * pointTriangles);
  EXPECT_TRUE(frame->isEnabled());
}

}  // namespace
}  // namespace q3d::test
