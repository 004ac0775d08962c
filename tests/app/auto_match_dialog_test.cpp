#include "app/auto_match_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>

#include "app/progress_window.h"
#include "gui_helpers.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

using F = AutoMatchField;

QString Label(const AutoMatchDialog& d, F f) { return d.ValueLabel(f)->text(); }

TEST(AutoMatchDialog, SlidersAtZeroGiveTheSmallestValues) {
  AutoMatchDialog dialog(AutoMatchParams{});
  for (F field : kAutoMatchFields) dialog.Slider(field)->setValue(0);
  const AutoMatchParams& p = dialog.Params();
  EXPECT_EQ(p.points, 0);
  EXPECT_EQ(p.gaussianSize, 1);
  EXPECT_EQ(p.gaussianDev, 0.0);
  EXPECT_EQ(p.relativeMinimum, 1.0);
  EXPECT_EQ(p.windowWidth, 1);
  EXPECT_EQ(p.windowHeight, 1);
  EXPECT_EQ(p.threshold, 0.0);
  EXPECT_EQ(p.widthFactor, 0);
  EXPECT_EQ(Label(dialog, F::kGaussianDev), QStringLiteral("0.0"));
  EXPECT_EQ(Label(dialog, F::kRelativeMinimum), QStringLiteral("1.000000"));
  EXPECT_EQ(Label(dialog, F::kGaussianSize), QStringLiteral("1"));
}

TEST(AutoMatchDialog, MovingASliderUpdatesOnlyItsValueAndLabel) {
  AutoMatchDialog dialog(AutoMatchParams{});
  dialog.Slider(F::kWindowHeight)->setValue(5);
  EXPECT_EQ(dialog.Params().windowHeight, 11);
  EXPECT_EQ(Label(dialog, F::kWindowHeight), QStringLiteral("11"));
  EXPECT_EQ(dialog.Params().windowWidth, 7);
  EXPECT_EQ(Label(dialog, F::kWindowWidth), QStringLiteral("7"));
  dialog.Slider(F::kThreshold)->setValue(8);
  EXPECT_EQ(Label(dialog, F::kThreshold), QStringLiteral("0.8"));
}

TEST(AutoMatchDialog, DefaultRestoresValuesLabelsAndSliderPositions) {
  AutoMatchDialog dialog(AutoMatchParams{});
  for (F field : kAutoMatchFields) dialog.Slider(field)->setValue(dialog.Slider(field)->maximum());
  QTest::mouseClick(dialog.DefaultButton(), Qt::LeftButton);
  const AutoMatchParams& p = dialog.Params();
  EXPECT_EQ(p.points, 100);
  EXPECT_EQ(p.gaussianSize, 3);
  EXPECT_DOUBLE_EQ(p.gaussianDev, 0.7);
  EXPECT_DOUBLE_EQ(p.relativeMinimum, 0.0001);
  EXPECT_EQ(p.windowWidth, 7);
  EXPECT_EQ(p.windowHeight, 7);
  EXPECT_DOUBLE_EQ(p.threshold, 0.4);
  EXPECT_EQ(p.widthFactor, 4);
  const int positions[] = {100, 1, 7, 4, 3, 3, 4, 4};
  for (size_t i = 0; i < kAutoMatchFields.size(); ++i)
    EXPECT_EQ(dialog.Slider(kAutoMatchFields[i])->value(), positions[i]);
  EXPECT_EQ(Label(dialog, F::kRelativeMinimum), QStringLiteral("0.000100"));
  EXPECT_EQ(Label(dialog, F::kGaussianDev), QStringLiteral("0.7"));
  EXPECT_EQ(Label(dialog, F::kPoints), QStringLiteral("100"));
  EXPECT_EQ(dialog.DefaultButton()->text(), QStringLiteral("&Default"));
}

TEST(AutoMatchDialog, OpensOnTheRecordItIsGiven) {
  AutoMatchParams kept;
  kept.windowWidth = 9;
  kept.relativeMinimum = 0.01;
  AutoMatchDialog dialog(kept);
  EXPECT_EQ(dialog.Slider(F::kWindowWidth)->value(), 4);
  EXPECT_EQ(dialog.Slider(F::kRelativeMinimum)->value(), 2);
  EXPECT_EQ(Label(dialog, F::kRelativeMinimum), QStringLiteral("0.010000"));
  EXPECT_EQ(dialog.Params().windowWidth, 9);
}

TEST(AutoMatchCommand, CancelLeavesPointsMatchesAndTheRecordUntouched) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  QTemporaryDir dir;
  CProjectDoc& doc = app->Document();
  ASSERT_TRUE(doc.SetImages(WriteBitmap(dir, "a.bmp", 160, 120).toStdString(),
                            WriteBitmap(dir, "b.bmp", 160, 120).toStdString()));
  AddMatches(doc, 4);
  ModalAnswers answers;
  answers.Then<AutoMatchDialog>([](AutoMatchDialog* dialog) {
    dialog->Slider(F::kPoints)->setValue(5);
    dialog->reject();
    return true;
  });
  app->Frame()->Dispatch(cmd::kAutomaticMatching);
  EXPECT_TRUE(answers.AllAnswered());
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 4);
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 4);
  EXPECT_EQ(app->Frame()->LastAutoMatchParams().points, 100);
  doc.SetModifiedFlag(false);
}

TEST(AutoMatchCommand, TheStatusBarTellsHowManyMatchesWereFound) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 30);
  doc.m_stereoPair.m_matches.RemoveAll();
  ModalAnswers answers;
  answers.Then<AutoMatchDialog>([](AutoMatchDialog* dialog) {
    dialog->accept();
    return true;
  });
  answers.Then(answers.Press(QMessageBox::Yes));  // the points are replaced
  app->Frame()->Dispatch(cmd::kAutomaticMatching);
  const int found = doc.m_stereoPair.m_matches.Count();
  EXPECT_GT(found, 10);
  EXPECT_EQ(app->Frame()->statusBar()->currentMessage(),
            QStringLiteral("Automatic matching found %1 matches.").arg(found));
  doc.SetModifiedFlag(false);
}

TEST(AutoMatchCommand, OkAsksBeforeReplacingHandPlacedMatches) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  QTemporaryDir dir;
  CProjectDoc& doc = app->Document();
  ASSERT_TRUE(doc.SetImages(WriteBitmap(dir, "a.bmp", 160, 120).toStdString(),
                            WriteBitmap(dir, "b.bmp", 160, 120).toStdString()));
  AddMatches(doc, 4);
  ModalAnswers answers;
  answers.Then<AutoMatchDialog>([](AutoMatchDialog* dialog) {
    dialog->Slider(F::kWidthFactor)->setValue(2);
    dialog->accept();
    return true;
  });
  answers.Then(answers.Press(QMessageBox::No));
  app->Frame()->Dispatch(cmd::kAutomaticMatching);
  EXPECT_TRUE(answers.AllAnswered());
  EXPECT_EQ(answers.messages.size(), 1);
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 4);
  EXPECT_EQ(app->Frame()->LastAutoMatchParams().widthFactor, 2) << "the accepted record is kept";
  doc.SetModifiedFlag(false);
}

// A progress window that presses its own Cancel once the search has found the features of
// the first photograph.
class CancellingProgressWindow : public ProgressWindow {
 public:
  static inline bool clicked = false;
  static std::unique_ptr<Progress> Make() { return std::make_unique<CancellingProgressWindow>(); }

 protected:
  void OnPosChanged(bool labelChanged) override {
    ProgressWindow::OnPosChanged(labelChanged);
    if (clicked || Pos() < 25 || !CancelButton() || !CancelButton()->isVisible()) return;
    CancelButton()->click();
    clicked = true;
  }
};

// The search shows its progress with Cancel; cancelled, it leaves the project as it was and
// says so in the status bar, without a message box.
TEST(AutoMatchCommand, CancelInTheProgressWindowLeavesTheProjectUntouched) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 30);
  doc.SetModifiedFlag(false);
  ModalAnswers answers;
  answers.Then<AutoMatchDialog>([](AutoMatchDialog* dialog) {
    dialog->accept();
    return true;
  });
  answers.Then(answers.Press(QMessageBox::Yes));  // the points are replaced
  SetProgressFactory(&CancellingProgressWindow::Make);
  app->Frame()->Dispatch(cmd::kAutomaticMatching);
  QCoreApplication::processEvents();
  ProgressWindow::Install();
  ASSERT_TRUE(CancellingProgressWindow::clicked);
  EXPECT_EQ(answers.messages.size(), 1) << answers.messages.join(" ").toStdString();
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 30);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(app->Frame()->statusBar()->currentMessage().contains(QStringLiteral("cancelled")));
  EXPECT_TRUE(app->Frame()->isEnabled());
}

}  // namespace
}  // namespace q3d::test
