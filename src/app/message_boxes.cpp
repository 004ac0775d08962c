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
  const int now = ErrorCount();
  // Fewer records than before: the full stack emptied itself during the command, so its
  // newest record is this command's. As many as before: the command pushed none, and an
  // older record must not be shown as if it were this failure.
  if (now == 0 || now == countBefore) return;
  ShowError(PopError(true));
  // The command's earlier records are part of the same failure: not shown later as new.
  while (ErrorCount() > countBefore) PopError(true);
}

}  // namespace q3d
