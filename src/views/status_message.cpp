#include "views/status_message.h"

#include <QMainWindow>
#include <QStatusBar>

namespace q3d {

void ShowStatusMessage(QWidget* widget, const QString& text) {
  auto* main = widget ? qobject_cast<QMainWindow*>(widget->window()) : nullptr;
  if (main) main->statusBar()->showMessage(text, kStatusMessageMs);
}

}  // namespace q3d
