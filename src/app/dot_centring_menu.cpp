#include "app/dot_centring_menu.h"

#include <QAction>

#include "app/message_boxes.h"
#include "base/error_stack.h"
#include "project/recentre_points.h"
#include "views/dot_centring_setting.h"
#include "views/wait_cursor.h"

namespace q3d {
namespace {

constexpr int kStatusMessageMs = 5000;

void RecentrePoints(CProjectDoc* doc, QStatusBar* statusBar) {
  const int errorsBefore = ErrorCount();
  RecentreReport report;
  int result = 0;
  {
    WaitCursor wait;
    result = RecentrePointsOnDots(*doc, DotCentringSetting(), &report);
  }
  if (result != 1) {
    ShowFailure(errorsBefore);
    return;
  }
  statusBar->showMessage(QStringLiteral("%1 of %2 points re-centred on their dots")
                             .arg(report.moved)
                             .arg(report.moved + report.unchanged),
                         kStatusMessageMs);
}

}  // namespace

void AddDotCentringEntries(QMenu* menu, CProjectDoc* doc, QStatusBar* statusBar) {
  QAction* precise = menu->addAction(QStringLiteral("Precise &Dot Centres"));
  precise->setObjectName(QStringLiteral("preciseDotCentres"));
  precise->setCheckable(true);
  precise->setStatusTip(QStringLiteral(
      "Centre points placed on dots on the dot's darkness rather than on the circle through "
      "its outline pixels"));
  menu->addSeparator();
  QAction* recentre = menu->addAction(QStringLiteral("Re-&centre Points on Dots"));
  recentre->setObjectName(QStringLiteral("recentrePointsOnDots"));
  recentre->setStatusTip(
      QStringLiteral("Move every point of both images to the centre of the dot under it"));

  QObject::connect(precise, &QAction::triggered, menu, [](bool checked) {
    SetDotCentringSetting(checked ? DotCentring::kPrecise : DotCentring::kPlain);
  });
  QObject::connect(recentre, &QAction::triggered, menu,
                   [doc, statusBar] { RecentrePoints(doc, statusBar); });
  QObject::connect(menu, &QMenu::aboutToShow, menu, [precise, recentre, doc] {
    precise->setChecked(DotCentringSetting() == DotCentring::kPrecise);
    recentre->setEnabled(doc->m_camera1.m_points.Count() > 0 ||
                         doc->m_camera2.m_points.Count() > 0);
  });
}

}  // namespace q3d
