#include "app/application.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "app/main_frame.h"
#include "app/message_boxes.h"
#include "app/opengl_probe.h"
#include "app/progress_window.h"
#include "app/recent_files.h"
#include "app/splash.h"
#include "views/wait_cursor.h"
#include "project/commands_file.h"
#include "base/error_stack.h"
#include "views/command_ids.h"

namespace q3d {

namespace {

void StopBox(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(QuorvanApp::kApplication), text,
                  QMessageBox::Ok);
  box.exec();
}

// Keeps the splash painted while start-up waits.
void PumpFor(int milliseconds) {
  if (milliseconds <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

QuorvanApp::QuorvanApp() = default;

QuorvanApp::~QuorvanApp() {
  if (frame_) frame_->setParent(nullptr);
  frame_.reset();
  SetErrorPresenter(nullptr);
  SetProgressFactory(nullptr);
}

bool QuorvanApp::ChooseDevice(const StartupOptions& options) {
  std::vector<OfferedDevice> offered = options.offeredDevices;
  if (options.probeOpenGL) offered = ProbeOpenGLDevices();
  devices_ = ChooseDevices(offered, displayDepth_);
  return devices_.chosen >= 0;
}

bool QuorvanApp::InitInstance(const QStringList& arguments, const StartupOptions& options) {
  // 0. At most one project on the command line; options are Qt's and were taken by it.
  QStringList files;
  for (const QString& a : arguments)
    if (!a.startsWith(QLatin1Char('-'))) files.append(a);
  if (files.size() > 1) {
    QStringList names;
    for (const QString& f : files) names.append(QFileInfo(f).fileName());
    StopBox(QStringLiteral("Quorvan 3D opens one project at a time, but was given %1 files (%2). "
                           "Start it once for each project.")
                .arg(files.size())
                .arg(names.join(QStringLiteral(", "))));
    return false;
  }

  // 1. Display depth.
  const QScreen* screen = QGuiApplication::primaryScreen();
  displayDepth_ = options.displayBitsPerPixel > 0 ? options.displayBitsPerPixel : (screen ? screen->depth() : 0);
  if (!DisplayDepthAccepted(displayDepth_)) {
    StopBox(QStringLiteral("Quorvan 3D only works with a display resolution of 16 bpp or higher. "
                           "Please change the display settings of the system."));
    return false;
  }

  // 2. Splash, closing once the main window exists.
  if (options.showSplash) {
    splash_ = new SplashWindow(SplashWindow::SplashPicture(), options.splashTimeoutMs, 0,
                               [this]() -> QWidget* { return frame_.get(); });
    splash_->Present();
  }

  // 3. The 3D device.
  if (!ChooseDevice(options)) {
    if (splash_) splash_->close();
    StopBox(QStringLiteral("Error: Couldn't find any OpenGL device."));
    return false;
  }

  // 4. Settings and the recent-file list.
  QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplication));
  settings_ = std::make_unique<QSettings>();
  recent_ = std::make_unique<RecentFileList>(settings_.get());

  // 5. The document's window, its message boxes and progress window.
  frame_ = std::make_unique<CMainFrame>(&doc_, this, recent_.get());
  frame_->openFile = [this](const QString& path) { return OpenDocumentFile(path); };
  InstallMessageBoxPresenter(frame_.get());
  ProgressWindow::Install();

  // 6. Let the splash be seen.
  if (options.showSplash) PumpFor(options.startupWaitMs);

  // 7. The command line: a new project, or the file named.
  if (files.isEmpty()) {
    NewProject(doc_);
  } else if (!OpenDocumentFile(files.first())) {
    if (splash_) splash_->close();
    return false;
  }

  // 8. The main window, maximised; files dropped on it are opened.
  // The geometry first: without a window manager nothing else makes the window screen-wide.
  if (screen) frame_->setGeometry(screen->availableGeometry());
  frame_->showMaximized();
  frame_->UpdateTitle();
  return true;
}

bool QuorvanApp::NewDocument() {
  if (frame_ && !frame_->SaveModified()) return false;
  NewProject(doc_);
  if (frame_) frame_->UpdateTitle();
  return true;
}

bool QuorvanApp::OpenDocumentFile(const QString& path) {
  if (frame_ && !frame_->SaveModified()) return false;
  return LoadDocumentFile(path);
}

bool QuorvanApp::LoadDocumentFile(const QString& path) {
  const int errorsBefore = ErrorCount();
  OpenOutcome outcome;
  {
    WaitCursor wait;
    outcome = OpenProject(doc_, path.toStdString());
  }
  if (frame_) frame_->UpdateTitle();
  if (outcome != OpenOutcome::kOpened) {
    ShowFailure(errorsBefore);
    return false;
  }
  if (recent_) recent_->Add(path);
  return true;
}

void QuorvanApp::OnOpen() {
  if (frame_ && !frame_->SaveModified()) return;
  QFileDialog dialog(frame_.get(), QStringLiteral("Open"), QString(),
                     QStringLiteral("Quorvan 3D Projects (*.qvp)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadDocumentFile(dialog.selectedFiles().first());
}

void QuorvanApp::OnOpenRecent(int index) {
  if (!recent_ || index >= recent_->Entries().size()) return;
  const QString path = recent_->Entries()[index];
  if (frame_ && !frame_->SaveModified()) return;
  // A recent file that cannot be opened any more leaves the list.
  if (!LoadDocumentFile(path)) {
    const qsizetype now = recent_->Entries().indexOf(path);
    if (now >= 0) recent_->Remove(static_cast<int>(now));
  }
}

void QuorvanApp::ShowAbout() {
  auto* about = new SplashWindow(SplashWindow::AboutPicture(), SplashWindow::kNoTimeout,
                                 SplashWindow::kCloseOnInput, [this]() -> QWidget* { return frame_.get(); });
  about->setObjectName(QStringLiteral("aboutWindow"));
  about->Present();
}

bool QuorvanApp::OnCommand(int id) {
  using namespace cmd;
  if (id >= kRecentFile1 && id < kRecentFile1 + RecentFileList::kSize) {
    OnOpenRecent(id - kRecentFile1);
    return true;
  }
  switch (id) {
    case kNew: NewDocument(); return true;
    case kOpen: OnOpen(); return true;
    case kAbout: ShowAbout(); return true;
    case kExit:
      if (frame_) frame_->close();
      return true;
    default: return false;
  }
}

bool QuorvanApp::OnUpdateCommand(int id, CommandState& state) {
  using namespace cmd;
  if (id >= kRecentFile1 && id < kRecentFile1 + RecentFileList::kSize) {
    state.enabled = recent_ && id - kRecentFile1 < recent_->Entries().size();
    return true;
  }
  switch (id) {
    case kNew:
    case kOpen:
    case kAbout:
    case kExit: state.enabled = true; return true;
    default: return false;
  }
}

}  // namespace q3d
