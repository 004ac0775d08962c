#include "views_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QStandardPaths>
#include <opencv2/imgproc.hpp>
#include <random>

namespace q3d::test {

void LoadSyntheticImage(CCamera& camera, int width, int height,
                        const std::vector<std::pair<int, int>>& dots) {
  ASSERT_TRUE(CreateColorImage(camera.m_image, width, height));
  cv::Mat colour = camera.m_image.Mat();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      colour.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(120 + 60 * x / width),
                                             static_cast<uint8_t>(150 + 40 * y / height), 200);
  for (auto [x, y] : dots) cv::circle(colour, {x, y}, 4, cv::Scalar(30, 30, 40), cv::FILLED);
  ASSERT_TRUE(CreateColorImage(camera.m_gray, width, height));
  cv::Mat gray;
  cv::cvtColor(colour, gray, cv::COLOR_BGR2GRAY);
  cv::cvtColor(gray, camera.m_gray.Mat(), cv::COLOR_GRAY2BGR);
  camera.m_roi = MakeRoi(0, 0, 0, width, height);
}

void LoadSyntheticTexture(C3DModel& model, unsigned seed) {
  ASSERT_TRUE(CreateColorImage(model.m_texture, 512, 512));
  cv::Mat texture = model.m_texture.Mat();
  texture.setTo(cv::Scalar(150, 170, 210));
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pos(20, 491);
  std::uniform_int_distribution<int> shade(-12, 12);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      auto& p = texture.at<cv::Vec3b>(y, x);
      const int s = shade(rng);
      for (int c = 0; c < 3; ++c) p[c] = cv::saturate_cast<uint8_t>(p[c] + s);
    }
  for (int i = 0; i < 40; ++i)
    cv::circle(texture, {pos(rng), pos(rng)}, 3, cv::Scalar(40, 45, 70), cv::FILLED);
  model.m_textureRoi = MakeRoi(0, 0, 0, 512, 512);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                    modifiers);
  QApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, QPoint pos, Qt::KeyboardModifiers modifiers) {
  SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton, modifiers);
  SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton, modifiers);
}

void Drag(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers) {
  SendMouse(widget, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton, modifiers);
  SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, modifiers);
  const QPoint mid = (from + to) / 2;
  SendMouse(widget, QEvent::MouseMove, mid, Qt::NoButton, Qt::LeftButton, modifiers);
  SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, modifiers);
  SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
}

void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(widget, &release);
}

std::string SaveScreenshot(QWidget* widget, const std::string& name) {
  const std::string path = QCoreApplication::applicationDirPath().toStdString() + "/" + name;
  widget->grab().save(QString::fromStdString(path));
  return path;
}

}  // namespace q3d::test

// Settings (the dot centring of a Shift-click) go to Qt's test location under names of
// their own, never into the user's configuration.
int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QCoreApplication::setOrganizationName(QStringLiteral("Ostrel Multimedia"));
  QCoreApplication::setApplicationName(QStringLiteral("Quorvan 3D view tests"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
