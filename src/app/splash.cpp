#include "app/splash.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "base/build_version.h"

namespace q3d {

SplashWindow::SplashWindow(const QPixmap& picture, int timeoutMs, int options,
                           std::function<QWidget*()> mainWindow, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture),
      options_(options),
      mainWindow_(std::move(mainWindow)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(picture_.size() / picture_.devicePixelRatio());
  setCursor(Qt::ArrowCursor);
  if (timeoutMs != kNoTimeout) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SplashWindow::OnTimer);
    timer_.start(timeoutMs);
  }
}

void SplashWindow::Present() {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  show();
  raise();
  activateWindow();
  repaint();
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void SplashWindow::OnTimer() {
  ++ticks_;
  const bool mainWindowExists = mainWindow_ && mainWindow_();
  if (!(options_ & kCloseAtFirstTick) && !mainWindowExists) {
    timer_.start(kRecheckMs);
    return;
  }
  close();
}

void SplashWindow::keyPressEvent(QKeyEvent* event) {
  if (options_ & kCloseOnInput) {
    event->accept();
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void SplashWindow::mousePressEvent(QMouseEvent* event) {
  if (options_ & kCloseOnInput) {
    event->accept();
    close();
    return;
  }
  QWidget::mousePressEvent(event);
}

void SplashWindow::closeEvent(QCloseEvent* event) {
  timer_.stop();
  if (QWidget* main = mainWindow_ ? mainWindow_() : nullptr) {
    main->raise();
    main->activateWindow();
  }
  event->accept();
}

namespace {

// A face as a skin-coloured egg shape under a wire mesh, with its make-up dots.
void DrawFaceMesh(QPainter& p, const QRectF& box) {
  const int rows = 9;
  const int cols = 7;
  auto at = [&](int r, int c) {
    const double v = static_cast<double>(r) / (rows - 1);
    const double u = static_cast<double>(c) / (cols - 1);
    const double t = 2.0 * v - 1.0;
    // Rounder at the forehead, narrower towards the chin.
    const double halfWidth = 0.5 * std::sqrt(std::max(0.05, 1.0 - t * t)) * (t > 0 ? 1.0 - 0.3 * t : 1.0);
    const double x = 0.5 + (u - 0.5) * 2.0 * halfWidth;
    return QPointF(box.left() + box.width() * x, box.top() + box.height() * v);
  };
  QPolygonF outline;
  for (int r = 0; r < rows; ++r) outline << at(r, 0);
  for (int r = rows - 1; r >= 0; --r) outline << at(r, cols - 1);
  QLinearGradient skin(box.topLeft(), box.bottomRight());
  skin.setColorAt(0, QColor(240, 200, 165));
  skin.setColorAt(1, QColor(190, 140, 110));
  p.setPen(Qt::NoPen);
  p.setBrush(skin);
  p.drawPolygon(outline);
  p.setPen(QPen(QColor(255, 255, 255, 110), 1.0));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      if (c + 1 < cols) p.drawLine(at(r, c), at(r, c + 1));
      if (r + 1 < rows) p.drawLine(at(r, c), at(r + 1, c));
      if (r + 1 < rows && c + 1 < cols) p.drawLine(at(r, c), at(r + 1, c + 1));
    }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 30, 30));
  for (int r = 1; r < rows - 1; ++r)
    for (int c = 1; c < cols - 1; c += (r % 2 ? 2 : 1)) p.drawEllipse(at(r, c), 2.5, 2.5);
}

QPixmap Backdrop(int width, int height) {
  QPixmap pixmap(width, height);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, QColor(18, 32, 64));
  sky.setColorAt(1, QColor(40, 80, 130));
  p.fillRect(pixmap.rect(), sky);
  return pixmap;
}

}  // namespace

QPixmap SplashWindow::SplashPicture() {
  QPixmap pixmap = Backdrop(640, 325);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  DrawFaceMesh(p, QRectF(420, 30, 180, 260));
  p.setPen(Qt::white);
  QFont title(QStringLiteral("Sans"), 40, QFont::Bold);
  p.setFont(title);
  p.drawText(QRect(40, 90, 380, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quorvan 3D"));
  p.setFont(QFont(QStringLiteral("Sans"), 13));
  p.setPen(QColor(200, 220, 240));
  p.drawText(QRect(42, 160, 380, 60), Qt::AlignLeft | Qt::TextWordWrap,
             QStringLiteral("Textured 3D faces from two photographs"));
  p.setFont(QFont(QStringLiteral("Sans"), 9));
  p.drawText(QRect(42, 285, 380, 20), Qt::AlignLeft, QStringLiteral("Ostrel Multimedia"));
  return pixmap;
}

QPixmap SplashWindow::AboutPicture() {
  QPixmap pixmap = Backdrop(500, 571);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  DrawFaceMesh(p, QRectF(150, 40, 200, 280));
  p.setPen(Qt::white);
  p.setFont(QFont(QStringLiteral("Sans"), 30, QFont::Bold));
  p.drawText(QRect(0, 340, 500, 50), Qt::AlignCenter, QStringLiteral("Quorvan 3D"));
  p.setFont(QFont(QStringLiteral("Sans"), 11));
  p.setPen(QColor(200, 220, 240));
  p.drawText(QRect(30, 400, 440, 110), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Version %1\n\nBuilds a textured 3D model of a face from a stereo pair "
                            "of photographs with make-up markers.")
                 .arg(QString::fromStdString(VersionText())));
  p.setFont(QFont(QStringLiteral("Sans"), 9));
  p.drawText(QRect(0, 530, 500, 20), Qt::AlignCenter,
             QStringLiteral("Ostrel Multimedia \u2014 press a key or click to close"));
  return pixmap;
}

}  // namespace q3d
