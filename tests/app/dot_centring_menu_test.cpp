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

QMenu* ProjectMenu(CMainFrame& frame) {
  for (QMenu* menu : frame.findChildren<QMenu*>())
    if (menu->title() == QStringLiteral("&Project")) return menu;
  return nullptr;
}

TEST(DotCentringMenu, PreciseDotCentresIsAPersistentToggleAndReCentringMovesPointsOntoTheirDots) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  QMenu* project = ProjectMenu(*frame);
  ASSERT_NE(project, nullptr);
  auto* precise = frame->findChild<QAction*>(QStringLiteral("preciseDotCentres"));
  auto* recentre = frame->findChild<QAction*>(QStringLiteral("recentrePointsOnDots"));
  ASSERT_TRUE(precise && recentre);

  SetDotCentringSetting(DotCentring::kPrecise);
  emit project->aboutToShow();
  EXPECT_TRUE(precise->isChecked());
  EXPECT_FALSE(recentre->isEnabled()) << "no points yet";
  precise->trigger();
  EXPECT_EQ(DotCentringSetting(), DotCentring::kPlain);
  precise->trigger();
  EXPECT_EQ(DotCentringSetting(), DotCentring::kPrecise);

  // Points a few tenths of a pixel off their dots' centres, as the circle fit leaves them.
  CProjectDoc& doc = app->Document();
  LoadMatchedFace(doc, 20);
  std::vector<std::pair<double, double>> truth;
  for (const auto& point : doc.m_camera1.m_points.Points()) {
    truth.emplace_back(point->m_x, point->m_y);
    point->m_x += 0.4;
    point->m_y -= 0.3;
  }
  project->popup(frame->mapToGlobal(QPoint(60, 20)));
  ASSERT_TRUE(WaitFor([project] { return project->isVisible(); }));
  EXPECT_TRUE(recentre->isEnabled());
  EXPECT_TRUE(project->grab().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/project_menu.png")));
  project->hide();

  recentre->trigger();
  int near = 0;
  size_t i = 0;
  for (const auto& point : doc.m_camera1.m_points.Points()) {
    const auto& [x, y] = truth[i++];
    near += std::hypot(point->m_x - x, point->m_y - y) < 0.2 ? 1 : 0;
  }
  EXPECT_GE(near, static_cast<int>(truth.size()) - 1);
  EXPECT_TRUE(frame->statusBar()->currentMessage().contains(QStringLiteral("re-centred")));
  doc.SetModifiedFlag(false);
}

}  // namespace
}  // namespace q3d::test
