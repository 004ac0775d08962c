#include "app/message_boxes.h"

#include <QMessageBox>
#include <QPointer>

namespace q3d {

int MessageBoxIconFor(const ErrorRecord& record) {
  switch (record.severity) {
    case 0:
    case 1: return QMessageBox::Warning;
    case 2: return QMessageBox::Critical;
    default: return QMessageBox::NoIcon;
  }
}

void InstallMessageBoxPresenter(QWidget* owner) {
  QPointer<QWidget> guardedOwner(owner);
  SetErrorPresenter([guardedOwner](const ErrorRecord& record) {
    QMessageBox box(static_cast<QMessageBox::Icon>(MessageBoxIconFor(record)),
                    QStringLiteral("Quorvan 3D"), QString::fromUtf8(record.Message().c_str()),
                    QMessageBox::Ok, guardedOwner);
    box.exec();
  });
}

void ShowFailure(int countBefore) {
  if (ErrorCount() <= countBefore) {
    // The stack empties itself when full: the failure's record is then the newest.
    if (ErrorCount() > 0) ShowError(PopError(true));
    return;
  }
  while (ErrorCount() > countBefore) ShowError(PopError(true));
}

}  // namespace q3d
