#pragma once
// One line in the main window's status bar telling what a command did. It goes away after
// a while, so an old result is never read as the newest.
#include <QString>

class QWidget;

namespace q3d {

constexpr int kStatusMessageMs = 10000;

// Shows the text in the status bar of the main window holding the widget (nothing when it
// has none).
void ShowStatusMessage(QWidget* widget, const QString& text);

}  // namespace q3d
