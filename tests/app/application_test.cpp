#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QTest>

#include "app/recent_files.h"
#include "app/splash.h"
#include "gui_helpers.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

using namespace cmd;

StartupOptions FastOptions() {
  StartupOptions options;
  options.showSplash = false;
  options.probeOpenGL = false;
  OfferedDevice device;
  device.name = "test device";
  device.software = {kColourModelRgb, DepthFlag(24) | DepthFlag(32) | DepthFlag(16)};
  options.offeredDevices = {device};
  return options;
}

TEST(StartUp, AFifteenBitDisplayIsRefusedWithItsMessage) {
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Ok));
  QuorvanApp app;
  StartupOptions options = FastOptions();
  options.displayBitsPerPixel = 15;
  EXPECT_FALSE(app.InitInstance({}, options));
  EXPECT_EQ(app.Frame(), nullptr);
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(answers.messages[0].startsWith("Quorvan 3D only works with a display resolution of 16 bpp"));
}

TEST(StartUp, NoUsableDeviceEndsTheApplication) {
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Ok));
  QuorvanApp app;
  StartupOptions options = FastOptions();
  options.displayBitsPerPixel = 16;
  options.offeredDevices = {};
  EXPECT_FALSE(app.InitInstance({}, options));
  EXPECT_EQ(answers.messages, QStringList({"Error: Couldn't find any OpenGL device."}));
}

TEST(StartUp, TheProbedDeviceIsChosenAndSettingsUseTheCompanyKey) {
  QuorvanApp app;
  StartupOptions options = FastOptions();
  options.probeOpenGL = true;
  ASSERT_TRUE(app.InitInstance({}, options));
  EXPECT_EQ(app.Devices().chosen, 0);
  EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("Ostrel Multimedia"));
  EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Quorvan 3D"));
}

TEST(StartUp, TheSplashWaitsForTheMainWindowThenCloses) {
  QWidget* mainWindow = nullptr;
  QPointer<SplashWindow> splash =
      new SplashWindow(SplashWindow::SplashPicture(), 50, 0, [&] { return mainWindow; });
  splash->Present();
  EXPECT_EQ(splash->size(), QSize(640, 325));
  EXPECT_TRUE(WaitFor([&] { return splash.isNull() || splash->TickCount() >= 2; }));
  ASSERT_FALSE(splash.isNull()) << "no main window yet: the splash stays";
  QWidget main;
  mainWindow = &main;
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }, 1000));
}

TEST(StartUp, TheSplashOfAFullStartClosesOnceTheMainWindowIsUp) {
  QuorvanApp app;
  StartupOptions options = FastOptions();
  options.showSplash = true;
  options.splashTimeoutMs = 100;
  options.startupWaitMs = 50;
  ASSERT_TRUE(app.InitInstance({}, options));
  QPointer<SplashWindow> splash = app.Splash();
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }, 2000));
  EXPECT_TRUE(app.Frame()->isVisible());
  // The artwork, for review.
  EXPECT_TRUE(SplashWindow::SplashPicture().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/splash.png")));
  EXPECT_TRUE(SplashWindow::AboutPicture().save(QStringLiteral(Q3D_SCREENSHOT_DIR "/about.png")));
}

TEST(StartUp, TheAboutWindowClosesOnAKeyOrAClick) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  app->Frame()->Dispatch(kAbout);
  SplashWindow* about = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("aboutWindow") && w->isVisible()) about = static_cast<SplashWindow*>(w);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->size(), QSize(500, 571));
  QPointer<SplashWindow> guard(about);
  QTest::qWait(50);
  ASSERT_FALSE(guard.isNull()) << "no timer";
  QTest::keyClick(about, Qt::Key_Space);
  EXPECT_TRUE(WaitFor([&] { return guard.isNull(); }));

  app->Frame()->Dispatch(kAbout);
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("aboutWindow") && w->isVisible()) guard = static_cast<SplashWindow*>(w);
  ASSERT_FALSE(guard.isNull());
  QTest::mouseClick(guard.data(), Qt::LeftButton);
  EXPECT_TRUE(WaitFor([&] { return guard.isNull(); }));
}

TEST(RecentFiles, KeepsFourNewestFirstInTheSettings) {
  QSettings settings(QStringLiteral("Ostrel Multimedia"), QStringLiteral("Quorvan 3D test"));
  settings.clear();
  {
    RecentFileList list(&settings);
    for (const char* name : {"/p/a.qvp", "/p/b.qvp", "/p/c.qvp", "/p/d.qvp", "/p/e.qvp"}) list.Add(name);
    list.Add("/p/c.qvp");
    EXPECT_EQ(list.Entries(), QStringList({"/p/c.qvp", "/p/e.qvp", "/p/d.qvp", "/p/b.qvp"}));
  }
  RecentFileList reread(&settings);
  EXPECT_EQ(reread.Entries(), QStringList({"/p/c.qvp", "/p/e.qvp", "/p/d.qvp", "/p/b.qvp"}));
  EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(), QStringLiteral("/p/c.qvp"));
  reread.Remove(0);
  EXPECT_EQ(RecentFileList(&settings).Entries().size(), 3);
  settings.clear();
}

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = StartApp();
    ASSERT_NE(app_, nullptr);
    frame_ = app_->Frame();
    doc_ = &app_->Document();
    ASSERT_TRUE(doc_->SetImages(WriteBitmap(dir_, "a.bmp", 80, 60).toStdString(),
                                WriteBitmap(dir_, "b.bmp", 80, 60).toStdString()));
    AddMatches(*doc_, 5);
  }
  void TearDown() override { doc_->SetModifiedFlag(false); }

  QTemporaryDir dir_;
  std::unique_ptr<QuorvanApp> app_;
  CMainFrame* frame_ = nullptr;
  CProjectDoc* doc_ = nullptr;
};

TEST_F(FileCommandsTest, SavedProjectsReopenAndJoinTheRecentFiles) {
  const QString path = dir_.filePath("face.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(path));
  EXPECT_FALSE(doc_->IsModified());
  frame_->Dispatch(kNew);
  EXPECT_TRUE(doc_->HasNoImages());
  EXPECT_EQ(ShownTitle(*frame_), QStringLiteral("Untitled - Quorvan 3D"));

  ASSERT_EQ(app_->RecentFiles()->Entries().size(), 1);
  EXPECT_TRUE(frame_->QueryCommand(kRecentFile1).enabled);
  EXPECT_FALSE(frame_->QueryCommand(kRecentFile1 + 1).enabled);
  EXPECT_EQ(frame_->Action(kRecentFile1)->text(), QStringLiteral("&1 ") + QDir::cleanPath(path));
  frame_->Dispatch(kRecentFile1);
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 5);
  EXPECT_EQ(ShownTitle(*frame_), QStringLiteral("face.qvp - Quorvan 3D"));
}

TEST_F(FileCommandsTest, NewAsksToSaveAModifiedProjectAndCancelKeepsIt) {
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Cancel));
  frame_->Dispatch(kNew);
  EXPECT_EQ(answers.messages, QStringList({"Save changes to Untitled?"}));
  EXPECT_TRUE(doc_->ImagesLoaded());

  answers.Then(answers.Press(QMessageBox::No));
  frame_->Dispatch(kNew);
  EXPECT_TRUE(doc_->HasNoImages());
}

TEST_F(FileCommandsTest, ExitAsksToSaveAndCancelKeepsTheWindowOpen) {
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Cancel));
  frame_->Dispatch(kExit);
  EXPECT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(frame_->isVisible());
}

TEST_F(FileCommandsTest, AFileThatIsNoProjectLeavesTheOpenProjectAsItWas) {
  const QString good = dir_.filePath("good.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(good));
  AddMatches(*doc_, 1);
  const QString bad = dir_.filePath("bad.qvp"), cut = dir_.filePath("cut.qvp");
  QFile file(bad);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a project at all");
  file.close();
  QFile whole(good), truncated(cut);
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly) && truncated.open(QIODevice::WriteOnly));
  truncated.write(whole.read(whole.size() - 10));
  truncated.close();

  for (const QString& path : {bad, cut}) {
    ModalAnswers answers;
    answers.Then(answers.Press(QMessageBox::No));  // do not save the changes
    answers.Then(answers.Press(QMessageBox::Ok));
    EXPECT_FALSE(app_->OpenDocumentFile(path));
    ASSERT_EQ(answers.messages.size(), 2);
    const QString name = QFileInfo(path).fileName();
    EXPECT_TRUE(
        answers.messages[1].startsWith(QStringLiteral("Error: \"%1\" cannot be opened: it is not a "
                                                      "Quorvan 3D project, or it is damaged.")
                                           .arg(name)))
        << answers.messages[1].toStdString();
    EXPECT_EQ(doc_->PathName(), good.toStdString());
    EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 6) << "the open project stays, changes and all";
    EXPECT_TRUE(doc_->IsModified());
  }
}

TEST_F(FileCommandsTest, AMissingFileLeavesTheProjectAndDropsOutOfTheRecentList) {
  const QString gone = dir_.filePath("gone.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(gone));
  AddMatches(*doc_, 1);
  QFile::remove(gone);
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::No));  // do not save the changes
  answers.Then(answers.Press(QMessageBox::Ok));  // the error
  frame_->Dispatch(kRecentFile1);
  EXPECT_TRUE(answers.AllAnswered());
  EXPECT_TRUE(answers.messages.last().startsWith(QStringLiteral("Error: The file could not be opened")));
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 6);
  EXPECT_TRUE(app_->RecentFiles()->Entries().isEmpty());
}

TEST_F(FileCommandsTest, AFileDroppedOnTheWindowIsOpened) {
  const QString path = dir_.filePath("dropped.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(path));
  frame_->Dispatch(kNew);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  const QPoint inside = frame_->rect().center();
  QDragEnterEvent enter(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(frame_, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(inside), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(frame_, &drop);
  EXPECT_TRUE(WaitFor([&] { return doc_->m_stereoPair.m_matches.Count() == 5; }));
  EXPECT_EQ(ShownTitle(*frame_), QStringLiteral("dropped.qvp - Quorvan 3D"));
}

TEST_F(FileCommandsTest, AFileOnTheCommandLineIsOpenedAndABadOneOrASecondOneEndsStartUp) {
  const QString path = dir_.filePath("cmdline.qvp");
  ASSERT_TRUE(frame_->SaveDocumentTo(path));
  {
    auto other = StartApp({path});
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->Document().m_stereoPair.m_matches.Count(), 5);
  }
  {
    ModalAnswers answers;
    answers.Then(answers.Press(QMessageBox::Ok));
    EXPECT_EQ(StartApp({dir_.filePath("nowhere.qvp")}), nullptr);
    EXPECT_EQ(answers.messages.size(), 1);
  }
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Ok));
  EXPECT_EQ(StartApp({path, dir_.filePath("second.qvp")}), nullptr);
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_TRUE(answers.messages[0].startsWith("Quorvan 3D opens one project at a time"))
      << answers.messages[0].toStdString();
  EXPECT_TRUE(answers.messages[0].contains("cmdline.qvp, second.qvp"))
      << answers.messages[0].toStdString();
}

}  // namespace
}  // namespace q3d::test
