// Pane switching, the panes after a reset, the start-up pane and the error boxes, with
// the real views. Registered a second time to run under a window manager, where focus
// moves as on a desktop.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include "app/message_boxes.h"
#include "app/recent_files.h"
#include "app/set_images_dialog.h"
#include "base/error_stack.h"
#include "gui_helpers.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

using namespace cmd;
using Kinds = std::array<ViewKind, 3>;
constexpr Kinds kInitial = {ViewKind::Image1, ViewKind::Image2, ViewKind::Image1};

// Each case is one pane holding the keyboard focus while every route switches views.
class PaneSwitching : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    app_ = StartApp();
    ASSERT_NE(app_, nullptr);
    frame_ = app_->Frame();
    doc_ = &app_->Document();
    LoadMatchedFace(*doc_, 40);
  }
  void TearDown() override {
    if (doc_) doc_->SetModifiedFlag(false);
  }
  // Presses the key where the keyboard focus is, as the keyboard would.
  void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target =
        QApplication::focusWidget() ? QApplication::focusWidget() : frame_->ActiveView()->Widget();
    QTest::keyClick(target, key, modifiers);
  }

  QTemporaryDir dir_;
  std::unique_ptr<QuorvanApp> app_;
  CMainFrame* frame_ = nullptr;
  CProjectDoc* doc_ = nullptr;
};

TEST_P(PaneSwitching, EveryRouteKeepsTheLayoutWithTheFocusInThisPane) {
  const int pane = GetParam();
  FocusPane(*frame_, pane);
  PressKey(Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(doc_->IsRendered());
  EXPECT_TRUE(SoundLayout(*frame_, {ViewKind::Image1, ViewKind::Image2, ViewKind::Model3D}));
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight) << "Render shows the model on the right";

  const std::pair<Qt::Key, ViewKind> keys[] = {{Qt::Key_F3, ViewKind::Texture},
                                               {Qt::Key_F1, ViewKind::Image1},
                                               {Qt::Key_F4, ViewKind::Model3D},
                                               {Qt::Key_F2, ViewKind::Image2}};
  const std::pair<int, ViewKind> menu[] = {{kViewTexture, ViewKind::Texture},
                                           {kView3DModel, ViewKind::Model3D},
                                           {kViewImage2, ViewKind::Image2},
                                           {kViewImage1, ViewKind::Image1}};
  Kinds expected = {ViewKind::Image1, ViewKind::Image2, ViewKind::Model3D};
  for (const auto& [key, kind] : keys) {
    FocusPane(*frame_, pane);
    PressKey(key);
    expected[pane] = kind;
    EXPECT_TRUE(SoundLayout(*frame_, expected)) << "key " << key;
    EXPECT_EQ(frame_->ActivePaneIndex(), pane);
  }
  for (const auto& [id, kind] : menu) {
    FocusPane(*frame_, pane);
    frame_->Action(id)->trigger();
    expected[pane] = kind;
    EXPECT_TRUE(SoundLayout(*frame_, expected)) << "command " << id;
    EXPECT_EQ(frame_->ActivePaneIndex(), pane);
  }

  const QString path = dir_.filePath("face.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(path));
  FocusPane(*frame_, pane);
  frame_->Action(kRecentFile1)->trigger();
  EXPECT_TRUE(doc_->IsRendered());
  EXPECT_TRUE(SoundLayout(*frame_, kInitial)) << "Open";
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight);

  FocusPane(*frame_, pane);
  PressKey(Qt::Key_F4);
  FocusPane(*frame_, pane);
  frame_->activateWindow();
  frame_->Action(kNew)->trigger();
  EXPECT_TRUE(SoundLayout(*frame_, kInitial)) << "New";
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight);
  // The window manager gives the window back once the progress window of Open has gone.
  EXPECT_TRUE(
      WaitFor([&] { return QApplication::focusWidget() == frame_->ActiveView()->Widget(); }));
}

INSTANTIATE_TEST_SUITE_P(FocusInEachPane, PaneSwitching, ::testing::Values(0, 1, 2));

// Manual matching ends whenever the panes go back to their first views.
class PaneReset : public PaneSwitching {
 protected:
  void EnterManualMatching() {
    FocusPane(*frame_, CMainFrame::kTopLeft);
    PressKey(Qt::Key_M, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(frame_->QueryCommand(kManualMatching).checked);
    ASSERT_FALSE(frame_->QueryCommand(kViewImage2).enabled);
  }
  void ExpectModeOffAndViewsFree() {
    EXPECT_TRUE(SoundLayout(*frame_, kInitial));
    EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight);
    for (int pane = 0; pane < CMainFrame::kPaneCount; ++pane) {
      frame_->ActivatePane(pane);
      EXPECT_FALSE(frame_->QueryCommand(kManualMatching).checked) << "pane " << pane;
    }
    frame_->ActivatePane(CMainFrame::kRight);
    EXPECT_TRUE(frame_->QueryCommand(kViewImage1).enabled);
    EXPECT_TRUE(frame_->QueryCommand(kViewImage2).enabled);
    EXPECT_EQ(frame_->QueryCommand(kView3DModel).enabled, doc_->IsRendered());
    EXPECT_EQ(frame_->QueryCommand(kManualMatching).enabled, doc_->ImagesLoaded());
  }
};

TEST_F(PaneReset, NewOpenSetImagesAndRemoveRenderDataEndManualMatching) {
  const QString path = dir_.filePath("face.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(path));
  ModalAnswers answers;

  EnterManualMatching();
  doc_->SetModifiedFlag(false);
  frame_->Action(kRecentFile1)->trigger();
  ExpectModeOffAndViewsFree();

  EnterManualMatching();
  answers.Then<SetImagesDialog>([&](SetImagesDialog* dialog) {
    EXPECT_TRUE(dialog->ChooseFile(0, WriteBitmap(dir_, "a.bmp", 160, 120)));
    EXPECT_TRUE(dialog->ChooseFile(1, WriteBitmap(dir_, "b.bmp", 160, 120)));
    dialog->accept();
    return true;
  });
  answers.Then(answers.Press(QMessageBox::Yes));  // the project will be destroyed
  frame_->Action(kSetImages)->trigger();
  ExpectModeOffAndViewsFree();

  doc_->SetModifiedFlag(false);
  frame_->Action(kRecentFile1)->trigger();
  PressKey(Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(doc_->IsRendered());
  EnterManualMatching();
  frame_->Action(kRemoveRenderData)->trigger();
  ExpectModeOffAndViewsFree();

  EnterManualMatching();
  answers.Then(answers.Press(QMessageBox::No));  // do not save the changes
  frame_->Action(kNew)->trigger();
  ExpectModeOffAndViewsFree();
  EXPECT_TRUE(answers.AllAnswered());
}

// The sequence of the manual-matching fault, a screenshot at each step (for review).
TEST_F(PaneReset, ManualMatchingThenNewThenEachPaneViewKey) {
  const auto shot = [this](const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(
        frame_->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/matching_new_%1.png").arg(name)));
  };
  shot("1_start");
  EnterManualMatching();
  EXPECT_FALSE(frame_->QueryCommand(kViewImage1).enabled);
  shot("2_manual_matching");
  doc_->SetModifiedFlag(false);
  PressKey(Qt::Key_N, Qt::ControlModifier);
  ExpectModeOffAndViewsFree();
  EXPECT_FALSE(frame_->QueryCommand(kManualMatching).enabled) << "no images to match";
  shot("3_new");
  const std::pair<Qt::Key, ViewKind> keys[] = {{Qt::Key_F1, ViewKind::Image1},
                                               {Qt::Key_F2, ViewKind::Image2},
                                               {Qt::Key_F3, ViewKind::Image2},  // needs a render
                                               {Qt::Key_F4, ViewKind::Image2}};
  for (const auto& [key, kind] : keys) {
    PressKey(key);
    EXPECT_TRUE(SoundLayout(*frame_, {ViewKind::Image1, ViewKind::Image2, kind})) << key;
    shot(QStringLiteral("4_F%1").arg(key - Qt::Key_F1 + 1).toLatin1().constData());
  }
}

TEST(StartUpFocus, TheRightPaneIsActiveAndHoldsTheFocus) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame& frame = *app->Frame();
  // Without a window manager nothing activates the window: the test does.
  if (!WaitFor([&] { return frame.isActiveWindow(); }, 1000)) frame.activateWindow();
  ASSERT_TRUE(WaitFor([] { return QApplication::focusWidget() != nullptr; }));
  EXPECT_EQ(frame.ActivePaneIndex(), CMainFrame::kRight);
  EXPECT_EQ(QApplication::focusWidget(), frame.PaneAt(CMainFrame::kRight)->View()->Widget());
  EXPECT_TRUE(SoundLayout(frame, kInitial));
}

TEST(ErrorDisplay, AFailedCommandShowsItsNewestRecordOnceAndNothingOlder) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  QTemporaryDir dir;
  ClearErrors();
  PushErrorText("Error: an earlier failure");
  ModalAnswers answers;
  // Both files go away between the choice and the loading: two records are pushed.
  answers.Then<SetImagesDialog>([&](SetImagesDialog* dialog) {
    for (int i = 0; i < 2; ++i) {
      const QString file = WriteBitmap(dir, QStringLiteral("gone%1.bmp").arg(i + 1), 160, 120);
      EXPECT_TRUE(dialog->ChooseFile(i, file));
      QFile::remove(file);
    }
    dialog->accept();
    return true;
  });
  answers.Then(answers.Press(QMessageBox::Ok));
  answers.Then(answers.Press(QMessageBox::Ok));  // a second box would be a fault
  app->Frame()->Action(kSetImages)->trigger();
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(answers.messages[0].contains(QStringLiteral("gone2.bmp")))
      << answers.messages[0].toStdString();
  EXPECT_EQ(ErrorCount(), 1) << "the command's other record is dropped, the earlier one kept";

  ShowFailure(ErrorCount());  // a failure that pushed nothing shows nothing stale
  EXPECT_EQ(answers.messages.size(), 1);
  ClearErrors();
}

}  // namespace
}  // namespace q3d::test
