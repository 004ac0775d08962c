#pragma once
// The application object: start-up checks, the splash, the 3D device choice, settings and
// the recent-file list, the one project document and its main window, and the
// application commands (New, Open, the recent files, About, Exit).
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <memory>

#include "app/command_target.h"
#include "app/device_choice.h"
#include "app/splash.h"
#include "project/project_doc.h"

namespace q3d {

class CMainFrame;
class RecentFileList;

struct StartupOptions {
  int splashTimeoutMs = 2000;
  int startupWaitMs = 3000;  // the splash stays in front this long before the window shows
  bool showSplash = true;
  // Offered devices to choose from instead of probing OpenGL (tests).
  std::vector<OfferedDevice> offeredDevices;
  bool probeOpenGL = true;
  // Overrides the measured display depth (tests); 0 measures.
  int displayBitsPerPixel = 0;
};

class QuorvanApp : public CommandTarget {
 public:
  static constexpr const char* kOrganisation = "Ostrel Multimedia";
  static constexpr const char* kApplication = "Quorvan 3D";

  QuorvanApp();
  ~QuorvanApp() override;

  // Runs start-up; false when the application must end (the reason has been shown).
  // arguments are the command line without the program name: one project file at most.
  bool InitInstance(const QStringList& arguments, const StartupOptions& options = {});

  CProjectDoc& Document() { return doc_; }
  CMainFrame* Frame() const { return frame_.get(); }
  RecentFileList* RecentFiles() const { return recent_.get(); }
  const DeviceList& Devices() const { return devices_; }
  SplashWindow* Splash() const { return splash_; }

  // New: asks to save a modified project, then empties it.
  bool NewDocument();
  // Open: asks to save a modified project, then loads the file. A file that cannot be
  // read leaves the project as it was; one that cannot be parsed leaves a new, empty
  // project. Failures are shown.
  bool OpenDocumentFile(const QString& path);
  void ShowAbout();

  bool OnCommand(int id) override;
  bool OnUpdateCommand(int id, CommandState& state) override;

 private:
  bool ChooseDevice(const StartupOptions& options);
  // Open once the question about saving has been answered.
  bool LoadDocumentFile(const QString& path);
  void OnOpen();
  void OnOpenRecent(int index);

  CProjectDoc doc_;
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<RecentFileList> recent_;
  std::unique_ptr<CMainFrame> frame_;
  QPointer<SplashWindow> splash_;
  DeviceList devices_;
  int displayDepth_ = 0;
};

}  // namespace q3d
