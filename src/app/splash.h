#pragma once
// The splash window of start-up and the About window: a picture in a pop-up window of
// its size. With a time-out it closes at the first timer tick at which the main window
// exists (checking every 100 ms after the first tick); option kCloseOnInput closes it on
// a key press or mouse click, kCloseAtFirstTick at the first tick without waiting.
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace q3d {

class SplashWindow : public QWidget {
 public:
  enum Option { kCloseOnInput = 1, kCloseAtFirstTick = 2 };
  static constexpr int kNoTimeout = -1;
  static constexpr int kRecheckMs = 100;

  // mainWindow returns the application's main window, or null while it does not exist.
  SplashWindow(const QPixmap& picture, int timeoutMs, int options,
               std::function<QWidget*()> mainWindow, QWidget* parent = nullptr);

  // The splash picture (640 x 325) and the About picture (500 x 571).
  static QPixmap SplashPicture();
  static QPixmap AboutPicture();

  // Shows the window centred on the screen, in front.
  void Present();
  int TickCount() const { return ticks_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnTimer();

  QPixmap picture_;
  int options_;
  std::function<QWidget*()> mainWindow_;
  QTimer timer_;
  int ticks_ = 0;
};

}  // namespace q3d
