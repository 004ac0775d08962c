#include "gui_helpers.h"

#include <cxxabi.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "app/recent_files.h"
#include "support/synthetic_face.h"

namespace q3d::test {

QString WriteBitmap(const QTemporaryDir& dir, const QString& name, int width, int height,
                    bool eightBit) {
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

namespace {
// Answers alive; the watch of tests without answers stands aside meanwhile.
int liveAnswers = 0;
// An answered window keeps its event loop while its answer's work goes on (a render, a
// load); only one that stays open this much longer has refused its answer.
constexpr int kAnsweredDeadlineMs = 3 * kModalDeadlineMs;
}  // namespace

QString ModalAnswers::WindowTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  return QString::fromLatin1(status == 0 && name ? name.get() : type.name());
}

QString DescribeWindow(QWidget* window) {
  QString text = QString::fromLatin1(window->metaObject()->className());
  if (!window->windowTitle().isEmpty())
    text += QStringLiteral(" \"%1\"").arg(window->windowTitle());
  if (auto* box = qobject_cast<QMessageBox*>(window))
    text += QStringLiteral(" saying \"%1\"").arg(box->text().simplified());
  return text;
}

void CloseModal(QWidget* window) {
  if (auto* dialog = qobject_cast<QDialog*>(window))
    dialog->reject();
  else
    window->close();
}

ModalAnswers::ModalAnswers() {
  ++liveAnswers;
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  timer_.start(20);
}

ModalAnswers::~ModalAnswers() {
  timer_.stop();
  --liveAnswers;
}

void ModalAnswers::Then(Answer answer) {
  pending_.emplace_back();
  pending_.back().answer = std::move(answer);
}

bool ModalAnswers::AllAnswered() const {
  return std::all_of(pending_.begin(), pending_.end(), [](const Pending& p) {
    return p.given && (!p.answered || !p.answered->isVisible());
  });
}

void ModalAnswers::Tick() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) {
    waiting_ = nullptr;
    return;
  }
  // A window with an answer running or given must close, or open another one on top.
  const bool handled = std::any_of(pending_.begin(), pending_.end(), [modal](const Pending& p) {
    return (p.given || p.running) && p.answered == modal;
  });
  const auto next = std::find_if(pending_.begin(), pending_.end(),
                                 [](const Pending& p) { return !p.given && !p.running; });
  if (!handled && next != pending_.end()) {
    // The answer runs from the event loop, not inside this timer's tick: Qt does not fire a
    // timer again while its tick runs, and an answer may open a dialog of its own that a
    // later answer takes.
    Pending* answer = &*next;
    answer->running = true;
    answer->answered = modal;
    QMetaObject::invokeMethod(
        &timer_,
        [this, answer] {
          const bool taken = answer->answered && answer->answer.handler(answer->answered);
          answer->running = false;
          if (taken)
            answer->given = true;
          else
            answer->answered = nullptr;
          waiting_ = nullptr;
        },
        Qt::QueuedConnection);
    return;
  }
  if (waiting_ != modal) {
    waiting_ = modal;
    waitingFor_.start();
    return;
  }
  if (handled) {
    if (waitingFor_.elapsed() > kAnsweredDeadlineMs)
      Fail(modal, QStringLiteral("%1 stayed open after its answer").arg(DescribeWindow(modal)));
  } else if (waitingFor_.elapsed() > kModalDeadlineMs) {
    Fail(modal, next != pending_.end() ? QStringLiteral("waited for a %1, but %2 was open")
                                             .arg(next->answer.window, DescribeWindow(modal))
                                       : QStringLiteral("%1 opened, and no answer was left for it")
                                             .arg(DescribeWindow(modal)));
  }
}

void ModalAnswers::Fail(QWidget* modal, const QString& why) {
  ADD_FAILURE() << "modal window: " << why.toStdString() << "; closed it";
  waiting_ = nullptr;
  CloseModal(modal);
}

ModalAnswers::Answer ModalAnswers::Press(QMessageBox::StandardButton button) {
  return {QStringLiteral("message box"), [this, button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->button(button)) return false;
            messages.append(box->text());
            box->button(button)->click();
            return true;
          }};
}

ModalAnswers::Answer ModalAnswers::ChooseFile(const QString& path) {
  return {QStringLiteral("file dialog for %1").arg(path), [path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            auto* name =
                dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!name) return false;
            const QFileInfo file(path);
            dialog->setDirectory(file.absolutePath());
            name->setText(file.fileName());
            // The dialog takes the typed name once its folder is the file's.
            if (dialog->selectedFiles() != QStringList{file.absoluteFilePath()}) return false;
            QMetaObject::invokeMethod(dialog, "accept");
            return true;
          }};
}

UnansweredModalWatch::UnansweredModalWatch() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (liveAnswers > 0 || !modal || !modal->isVisible()) {
      seen_ = nullptr;
      return;
    }
    if (seen_ != modal) {
      seen_ = modal;
      since_.start();
    } else if (since_.elapsed() > kModalDeadlineMs) {
      ADD_FAILURE() << "modal window: " << DescribeWindow(modal).toStdString()
                    << " opened where the test expected none; closed it";
      seen_ = nullptr;
      CloseModal(modal);
    }
  });
  timer_.start(50);
}

SettingsGuard::SettingsGuard() {
  QSettings settings;
  for (const QString& key : settings.allKeys()) saved_.insert(key, settings.value(key));
}

SettingsGuard::~SettingsGuard() {
  QSettings settings;
  settings.clear();
  for (auto it = saved_.cbegin(); it != saved_.cend(); ++it)
    settings.setValue(it.key(), it.value());
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

QString ShownTitle(QWidget& window) { return window.windowHandle()->title(); }

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
    if (w->parentWidget() != pane || !w->isVisible())
      return fail() << "its view is not shown in it";
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
