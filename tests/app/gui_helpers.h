#pragma once
// Helpers of the shell's tests: bitmap files, a running application, and answering the
// modal windows that commands open.
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <memory>

#include "app/application.h"
#include "app/main_frame.h"
#include "app/pane.h"
#include <gtest/gtest.h>

namespace q3d::test {

// Writes a colour bitmap (24 bits per pixel) or an 8-bit palette bitmap with dark dots.
QString WriteBitmap(const QTemporaryDir& dir, const QString& name, int width, int height, bool eightBit = false);

// Answers modal windows in order: each handler is called with the active modal window
// once one is open that it accepts (it returns false to keep waiting).
class ModalAnswers {
 public:
  using Handler = std::function<bool(QWidget*)>;
  ModalAnswers();
  ~ModalAnswers();
  void Then(Handler handler) { handlers_.push_back(std::move(handler)); }
  bool AllAnswered() const { return handlers_.empty(); }
  // Texts of the message boxes answered.
  QStringList messages;

  // A handler pressing the given button of a message box (recording its text).
  Handler Press(QMessageBox::StandardButton button);

 private:
  std::deque<Handler> handlers_;
  QTimer timer_;
};

// Processes events until the condition holds; false after the time-out.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// A started application (no splash, no waits, a fake OpenGL device).
std::unique_ptr<QuorvanApp> StartApp(const QStringList& arguments = {});

// The kind of the content view of each pane.
ViewKind KindAt(CMainFrame& frame, int pane);

// The three-pane layout: each pane holds a visible view of the given kind filling its
// content row, its caption names that kind, and exactly the active pane shows as active.
::testing::AssertionResult SoundLayout(CMainFrame& frame, const std::array<ViewKind, 3>& kinds);

// Gives the keyboard focus to the pane as a user would: a click on its view.
void FocusPane(CMainFrame& frame, int pane);

// A synthetic face photographed twice (640 x 480) with its make-up dots matched.
void LoadMatchedFace(CProjectDoc& doc, int dots);

// Adds n matches at distinct positions.
void AddMatches(CProjectDoc& doc, int n);

}  // namespace q3d::test
