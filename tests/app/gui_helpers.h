#pragma once
// Helpers of the shell's tests: bitmap files, a running application, and answering the
// modal windows that commands open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <typeinfo>

#include "app/application.h"
#include "app/main_frame.h"
#include "app/pane.h"

namespace q3d::test {

// Writes a colour bitmap (24 bits per pixel) or an 8-bit palette bitmap with dark dots.
QString WriteBitmap(const QTemporaryDir& dir, const QString& name, int width, int height,
                    bool eightBit = false);

// Answers modal windows in order. Each answer names the window it expects and handles
// it once it is the active modal window (the handler returns false to keep waiting). An
// answer counts as given once its window has closed; meanwhile later answers take the
// windows opened on top of it. A modal window that no answer takes within a few seconds,
// or that stays open after its answer, fails the test with its name and is closed, so a
// test never waits for ever on a window.
class ModalAnswers {
 public:
  using Handler = std::function<bool(QWidget*)>;
  struct Answer {
    QString window;  // what the answer expects, for the failure message
    Handler handler;
  };
  ModalAnswers();
  ~ModalAnswers();
  void Then(Answer answer);
  // An answer for windows of type W only.
  template <class W>
  void Then(std::function<bool(W*)> handler) {
    Then(Answer{WindowTypeName(typeid(W)), [handler](QWidget* w) {
                  auto* window = dynamic_cast<W*>(w);
                  return window && handler(window);
                }});
  }
  // Every answer was given and its window has closed.
  bool AllAnswered() const;
  // Texts of the message boxes answered.
  QStringList messages;

  // Presses the given button of a message box (recording its text).
  Answer Press(QMessageBox::StandardButton button);
  // Chooses the file in a file dialog, typed as a user would, and accepts it once the
  // dialog reports it as its selection.
  static Answer ChooseFile(const QString& path);

  static QString WindowTypeName(const std::type_info& type);

 private:
  struct Pending {
    Answer answer;
    QPointer<QWidget> answered;  // the window it answers or answered, until that closes
    bool running = false;        // the handler is running on the window
    bool given = false;
  };
  void Tick();
  void Fail(QWidget* modal, const QString& why);

  std::deque<Pending> pending_;
  QTimer timer_;
  QPointer<QWidget> waiting_;  // the open modal window no answer has taken yet
  QElapsedTimer waitingFor_;
};

// Seconds a modal window may stay open without an answer (or after its answer).
constexpr int kModalDeadlineMs = 5000;

// A one-line description of a window: its type, title and (message box) text.
QString DescribeWindow(QWidget* window);

// Closes the window as Escape would, ending its event loop.
void CloseModal(QWidget* window);

// For tests without answers: a modal window left open fails the test and is closed.
class UnansweredModalWatch {
 public:
  UnansweredModalWatch();

 private:
  QTimer timer_;
  QPointer<QWidget> seen_;
  QElapsedTimer since_;
};

// Puts the application's settings back as they were when it goes out of scope, so a
// case that changes a setting leaves none changed for the cases after it.
class SettingsGuard {
 public:
  SettingsGuard();
  ~SettingsGuard();
  SettingsGuard(const SettingsGuard&) = delete;
  SettingsGuard& operator=(const SettingsGuard&) = delete;

 private:
  QMap<QString, QVariant> saved_;
};

// Processes events until the condition holds; false after the time-out.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// A started application (no splash, no waits, a fake OpenGL device).
std::unique_ptr<QuorvanApp> StartApp(const QStringList& arguments = {});

// The title the window shows: the document's name, with a * while it has unsaved changes.
QString ShownTitle(QWidget& window);

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
