#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include "app/progress_window.h"
#include "gui_helpers.h"
#include "support/status_assertions.h"

namespace q3d::test {
namespace {

TEST(ProgressWindow, LabelsFollowThePositionAndTheOwnerIsDisabledMeanwhile) {
  QWidget owner;
  owner.show();
  ProgressWindow::SetOwner(&owner);
  {
    ProgressWindow progress;
    ASSERT_TRUE(progress.Create());
    EXPECT_FALSE(owner.isEnabled());
    ASSERT_TRUE(progress.Window()->isVisible());
    EXPECT_TRUE(progress.Window()->windowTitle().isEmpty());
    EXPECT_EQ(progress.PercentLabel()->text(), QStringLiteral(" 0 %"));
    EXPECT_TRUE(progress.StepLabel()->text().isEmpty());
    EXPECT_EQ(progress.Bar()->minimum(), 0);
    EXPECT_EQ(progress.Bar()->maximum(), 100);

    progress.SetStep("Saving Image 1...");
    EXPECT_EQ(progress.StepLabel()->text(), QStringLiteral("Saving Image 1..."));
    progress.SetPos(25);
    EXPECT_EQ(progress.PercentLabel()->text(), QStringLiteral("25%"));
    EXPECT_EQ(progress.Bar()->value(), 25);
    progress.SetPos(100);
    EXPECT_EQ(progress.PercentLabel()->text(), QStringLiteral("100%"));
    progress.Destroy();
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(progress.Window(), nullptr);
  }
  ProgressWindow::SetOwner(nullptr);
}

TEST(ProgressWindow, AnOwnerDisabledBeforeStaysDisabled) {
  QWidget owner;
  owner.show();
  owner.setEnabled(false);
  ProgressWindow::SetOwner(&owner);
  ProgressWindow progress;
  ASSERT_TRUE(progress.Create());
  progress.Destroy();
  EXPECT_FALSE(owner.isEnabled());
  ProgressWindow::SetOwner(nullptr);
}

TEST(ProgressWindow, PumpsEventsWhileTheOperationRuns) {
  QWidget owner;
  owner.show();
  ProgressWindow::SetOwner(&owner);
  ProgressWindow progress;
  ASSERT_TRUE(progress.Create());
  bool delivered = false;
  QTimer::singleShot(0, [&] { delivered = true; });
  progress.SetPos(10);
  EXPECT_TRUE(delivered);
  progress.Destroy();
  ProgressWindow::SetOwner(nullptr);
}

TEST(ProgressWindow, SavingAProjectShowsTheStepsAndGivesTheWindowBack) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  QTemporaryDir dir;
  CProjectDoc& doc = app->Document();
  ASSERT_TRUE(test::Succeeded(doc.SetImages(WriteBitmap(dir, "a.bmp", 64, 48).toStdString(), "")));
  // Records what the window shows at each step, from inside the operation.
  QStringList seen;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* label = w->findChild<QLabel*>(QStringLiteral("stepLabel")); label && w->isVisible()) {
        seen << label->text();
        EXPECT_FALSE(app->Frame()->isEnabled());
      }
  });
  probe.start(0);
  ASSERT_TRUE(app->Frame()->SaveDocumentTo(dir.filePath("p.qvp")));
  probe.stop();
  EXPECT_TRUE(seen.contains(QStringLiteral("Saving Stereo Pair..."))) << seen.join(QLatin1Char('|')).toStdString();
  EXPECT_TRUE(app->Frame()->isEnabled());
  EXPECT_EQ(ShownTitle(*app->Frame()), QStringLiteral("p.qvp - Quorvan 3D"));
}

}  // namespace
}  // namespace q3d::test
