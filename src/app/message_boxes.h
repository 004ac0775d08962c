#pragma once
// Error records shown as message boxes owned by the main window.
#include <QWidget>

#include "base/error_stack.h"

namespace q3d {

// The icon of a record: exclamation for severity 0 or 1, stop for 2, none otherwise.
int MessageBoxIconFor(const ErrorRecord& record);  // a QMessageBox::Icon value

// Installs the presenter used by ShowError; boxes are owned by the given window.
void InstallMessageBoxPresenter(QWidget* owner);

// After a failed operation: shows the newest record it pushed since the stack held
// countBefore records, once, and drops its other records; shows nothing when it pushed none.
void ShowFailure(int countBefore);

}  // namespace q3d
