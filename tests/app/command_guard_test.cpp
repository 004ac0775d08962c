// A command that throws: the user is told, the project is put back, the window goes on.
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

#include "fake_views.h"
#include "gui_helpers.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

// A 3D view whose Flat Shading changes the project, then fails as a faulty command would.
class FaultyView : public FakeView {
 public:
  FaultyView(CProjectDoc* doc, bool outOfMemory) : FakeView(ViewKind::Model3D), doc_(doc), outOfMemory_(outOfMemory) {}
  bool OnCommand(int id) override {
    if (id != cmd::kFlatShading) return false;
    AddMatches(*doc_, 3);
    doc_->m_camera2.Clear();
    if (outOfMemory_) throw std::bad_alloc();
    throw std::out_of_range("match index 12 of 8");
  }

 private:
  CProjectDoc* doc_;
  bool outOfMemory_;
};

TEST(CommandGuard, AFaultingCommandIsReportedAndTheProjectPutBack) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame& frame = *app->Frame();
  CProjectDoc& doc = app->Document();
  QTemporaryDir dir;
  ASSERT_TRUE(doc.SetImages(WriteBitmap(dir, "a.bmp", 80, 60).toStdString(),
                            WriteBitmap(dir, "b.bmp", 80, 60).toStdString()));
  AddMatches(doc, 5);
  ASSERT_TRUE(frame.SaveDocumentTo(dir.filePath("kept.qvp")));

  for (const bool outOfMemory : {false, true}) {
    std::unique_ptr<ContentView> old =
        frame.PaneAt(CMainFrame::kRight)->ReplaceView(std::make_unique<FaultyView>(&doc, outOfMemory));
    frame.ActivatePane(CMainFrame::kRight);
    ModalAnswers answers;
    answers.Then(answers.Press(QMessageBox::Ok));
    frame.Dispatch(cmd::kFlatShading);
    ASSERT_EQ(answers.messages.size(), 1);
    const QString expected = outOfMemory ? QStringLiteral("Error: Out of memory")
                                         : QStringLiteral("internal fault (match index 12 of 8). The project is as "
                                                          "it was before the command.");
    EXPECT_TRUE(answers.messages[0].contains(expected)) << answers.messages[0].toStdString();
    EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 5);
    EXPECT_TRUE(doc.ImagesLoaded());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(QString::fromStdString(doc.PathName()), dir.filePath("kept.qvp"));
    // The faulty view needs a rendered project: the panes went back to their first views.
    EXPECT_TRUE(SoundLayout(frame, {ViewKind::Image1, ViewKind::Image2, ViewKind::Image1}));
    frame.Dispatch(cmd::kViewImage2);
    EXPECT_EQ(KindAt(frame, CMainFrame::kRight), ViewKind::Image2);
  }
}

}  // namespace
}  // namespace q3d::test
