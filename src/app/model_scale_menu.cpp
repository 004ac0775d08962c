#include "app/model_scale_menu.h"

#include <QAction>
#include <QInputDialog>
#include <cmath>

#include "app/scale_dialog.h"
#include "project/edit_history.h"

namespace q3d {

void AddRealDistanceEntry(QMenu* menu, CProjectDoc* doc, QWidget* parent) {
  QAction* action = menu->addAction(QStringLiteral("Real &Distance..."));
  action->setObjectName(QStringLiteral("realDistance"));
  action->setStatusTip(QStringLiteral(
      "Give the real distance between two matched points, so that exports are in millimetres"));
  QObject::connect(action, &QAction::triggered, parent, [doc, parent] {
    ScaleDialog dialog(*doc, parent);
    dialog.exec();
  });
  QObject::connect(menu, &QMenu::aboutToShow, action, [action, doc] {
    action->setEnabled(doc->IsRendered() || doc->m_model.m_metricScale.IsSet());
  });
}

void AddDenseMarginEntry(QMenu* menu, CProjectDoc* doc, QWidget* parent) {
  QAction* action = menu->addAction(QStringLiteral("Dense Surface &Margin..."));
  action->setObjectName(QStringLiteral("denseMargin"));
  action->setStatusTip(QStringLiteral("Set how far the dense surface reaches beyond the matches"));
  QObject::connect(action, &QAction::triggered, parent, [doc, parent] {
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("denseMarginDialog"));
    dialog.setWindowTitle(QStringLiteral("Dense Surface Margin"));
    dialog.setLabelText(QStringLiteral(
        "Margin of the dense surface around the matches,\nin percent of their extent:"));
    dialog.setInputMode(QInputDialog::DoubleInput);
    dialog.setDoubleRange(0, 50);
    dialog.setDoubleDecimals(1);
    dialog.setDoubleStep(1);
    dialog.setDoubleValue(doc->m_model.m_denseMargin * 100);
    if (dialog.exec() != QDialog::Accepted) return;
    const double margin = dialog.doubleValue() / 100;
    if (std::abs(margin - doc->m_model.m_denseMargin) < 1e-9) return;
    EditScope edit(*doc, "Dense Surface Margin");
    doc->m_model.m_denseMargin = margin;
    // The margin of a dense surface shown is kept with the project.
    if (doc->m_model.m_showDense) doc->SetModifiedFlag();
    doc->UpdateAllViews(nullptr, kHintRebuildModel);
  });
}

}  // namespace q3d
