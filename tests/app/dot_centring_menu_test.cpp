#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <cmath>

#include "gui_helpers.h"
#include "views/dot_centring_setting.h"

namespace q3d::test {
namespace {

TEST(DotCentringMenu, TheSettingTogglesAndReCentringMovesPointsOntoTheirDots) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  const SettingsGuard keep;
  CMainFrame* frame = app->Frame();
  auto* precise = frame->findChild<QAction*>(QStringLiteral("preciseDotCentres"));
  auto* recentre = frame->findChild<QAction*>(QStringLiteral("recentrePointsOnDots"));
  ASSERT_TRUE(precise && recentre);
  auto* project = qobject_cast<QMenu*>(recentre->parent());
  ASSERT_NE(project, nullptr);
  SetDotCentringSetting(DotCentring::kPrecise);
  emit project->aboutToShow();  // the entries take their states as the menu opens
  precise->trigger();
  EXPECT_EQ(DotCentringSetting(), DotCentring::kPlain);
  precise->trigger();

  // Points a few tenths of a pixel off their dots' centres, as the circle fit leaves them.
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 20);
  std::vector<CSpPoint> truth;
  for (const auto& point : doc.m_camera1.m_points.Points()) {
    truth.push_back(*point);
    point->m_x += 0.4;
    point->m_y -= 0.3;
  }
  project->popup(frame->mapToGlobal(QPoint(60, 20)));
  ASSERT_TRUE(WaitFor([project] { return project->isVisible(); }));
  EXPECT_TRUE(precise->isChecked());
  EXPECT_TRUE(recentre->isEnabled());
  EXPECT_TRUE(project->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/project_menu.png")));
  project->hide();

  recentre->trigger();
  int near = 0;
  for (const auto& point : doc.m_camera1.m_points.Points())
    near += point->Distance(truth[static_cast<size_t>(point->m_id)]) < 0.2 ? 1 : 0;
  EXPECT_GE(near, static_cast<int>(truth.size()) - 1);
  EXPECT_TRUE(frame->statusBar()->currentMessage().contains(QStringLiteral("re-centred")));
  doc.SetModifiedFlag(false);
}

}  // namespace
}  // namespace q3d::test
