#include "gui_helpers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <map>

#include "app/recent_files.h"
#include "support/synthetic_face.h"

namespace q3d::test {

QString WriteBitmap(const QTemporaryDir& dir, const QString& name, int width, int height, bool eightBit) {
  QImage image(width, height, QImage::Format_RGB888);
  image.fill(QColor(220, 180, 150));
  QPainter painter(&image);
  painter.setBrush(Qt::black);
  for (int y = 10; y < height - 5; y += 20)
    for (int x = 10; x < width - 5; x += 20) painter.drawEllipse(QPoint(x, y), 2, 2);
  painter.end();
  if (eightBit) image = image.convertToFormat(QImage::Format_Indexed8);
  const QString path = dir.filePath(name);
  image.save(path, "BMP");
  return path;
}

ModalAnswers::ModalAnswers() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (handlers_.empty()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && handlers_.front()(modal)) handlers_.pop_front();
  });
  timer_.start(20);
}

ModalAnswers::~ModalAnswers() { timer_.stop(); }

ModalAnswers::Handler ModalAnswers::Press(QMessageBox::StandardButton button) {
  return [this, button](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    messages.append(box->text());
    box->button(button)->click();
    return true;
  };
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QTest::qWait(10);
  }
  return true;
}

std::unique_ptr<QuorvanApp> StartApp(const QStringList& arguments) {
  auto app = std::make_unique<QuorvanApp>();
  StartupOptions options;
  options.showSplash = false;
  options.probeOpenGL = false;
  OfferedDevice device;
  device.name = "test device";
  device.hardware.colourModel = kColourModelRgb;
  device.hardware.renderDepths = DepthFlag(16) | DepthFlag(24) | DepthFlag(32);
  options.offeredDevices = {device};
  if (!app->InitInstance(arguments, options)) return nullptr;
  // Tests start from an empty list.
  while (!app->RecentFiles()->Entries().isEmpty()) app->RecentFiles()->Remove(0);
  if (!QTest::qWaitForWindowExposed(app->Frame())) return nullptr;
  return app;
}

ViewKind KindAt(CMainFrame& frame, int pane) { return frame.PaneAt(pane)->View()->Kind(); }

::testing::AssertionResult SoundLayout(CMainFrame& frame, const std::array<ViewKind, 3>& kinds) {
  static const std::map<ViewKind, QString> captions = {{ViewKind::Image1, "Image 1"},
                                                       {ViewKind::Image2, "Image 2"},
                                                       {ViewKind::Texture, "Texture"},
                                                       {ViewKind::Model3D, "3D Model"}};
  int activeBars = 0;
  for (int i = 0; i < CMainFrame::kPaneCount; ++i) {
    Pane* pane = frame.PaneAt(i);
    ContentView* view = pane->View();
    const auto fail = [i]() { return ::testing::AssertionFailure() << "pane " << i << ": "; };
    if (!pane->isVisible() || pane->width() < 100 || pane->height() < 100)
      return fail() << "collapsed to " << pane->width() << " x " << pane->height();
    if (!view || view->Kind() != kinds[i]) return fail() << "shows another view";
    QWidget* w = view->Widget();
    if (w->parentWidget() != pane || !w->isVisible()) return fail() << "its view is not shown in it";
    if (w->height() < pane->height() - pane->InfoBar()->height() - 10)
      return fail() << "view " << w->height() << " px high in a pane of " << pane->height();
    if (!pane->InfoBar()->Text().startsWith(captions.at(kinds[i])))
      return fail() << "caption " << pane->InfoBar()->Text().toStdString();
    if (pane->InfoBar()->IsActive()) {
      ++activeBars;
      if (i != frame.ActivePaneIndex()) return fail() << "shown active but not the active pane";
    }
  }
  if (activeBars != 1) return ::testing::AssertionFailure() << activeBars << " active panes";
  return ::testing::AssertionSuccess();
}

void FocusPane(CMainFrame& frame, int pane) {
  QWidget* w = frame.PaneAt(pane)->View()->Widget();
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
  EXPECT_EQ(frame.ActivePaneIndex(), pane);
}

void LoadMatchedFace(CProjectDoc& doc, int dots) {
  FaceSceneOptions options;
  options.width = 640;
  options.height = 480;
  options.dots = dots;
  const FaceStereoPair pair = RenderFaceStereoPair(options);
  LoadFaceImages(pair, doc.m_camera1, doc.m_camera2);
  for (size_t i = 0; i < pair.dots1.size(); ++i)
    ASSERT_TRUE(
        doc.AddMatch(pair.dots1[i].x(), pair.dots1[i].y(), pair.dots2[i].x(), pair.dots2[i].y()));
  doc.UpdateAllViews(nullptr, kHintImage1Replaced);
  doc.UpdateAllViews(nullptr, kHintImage2Replaced);
}

void AddMatches(CProjectDoc& doc, int n) {
  for (int i = 0; i < n; ++i)
    ASSERT_TRUE(doc.AddMatch(10 + 7 * i, 20 + 3 * i, 12 + 7 * i, 21 + 3 * i));
}

}  // namespace q3d::test
