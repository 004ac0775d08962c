#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/set_images_dialog.h"
#include "gui_helpers.h"
#include "support/status_assertions.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

class SetImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = StartApp();
    ASSERT_NE(app_, nullptr);
    frame_ = app_->Frame();
    doc_ = &app_->Document();
    first_ = WriteBitmap(dir_, "first.bmp", 200, 150);
    second_ = WriteBitmap(dir_, "second.bmp", 180, 140);
    third_ = WriteBitmap(dir_, "third.bmp", 120, 100);
  }
  void TearDown() override { doc_->SetModifiedFlag(false); }

  // A handler filling the dialog with the two names (empty = left empty) and pressing OK.
  ModalAnswers::Answer FillAndAccept(const QString& one, const QString& two) {
    return {QStringLiteral("Set Images dialog"), [one, two](QWidget* w) {
              auto* dialog = dynamic_cast<SetImagesDialog*>(w);
              if (!dialog) return false;
              if (!one.isEmpty()) {
                EXPECT_TRUE(dialog->ChooseFile(0, one));
              }
              if (!two.isEmpty()) {
                EXPECT_TRUE(dialog->ChooseFile(1, two));
              }
              dialog->accept();
              return true;
            }};
  }
  void RunSetImages(ModalAnswers& answers) {
    frame_->Dispatch(cmd::kSetImages);
    EXPECT_TRUE(answers.AllAnswered());
  }

  QTemporaryDir dir_;
  std::unique_ptr<QuorvanApp> app_;
  CMainFrame* frame_ = nullptr;
  CProjectDoc* doc_ = nullptr;
  QString first_, second_, third_;
};

TEST_F(SetImagesTest, AnEmptyProjectLoadsWithoutAsking) {
  ModalAnswers answers;
  answers.Then(FillAndAccept(first_, second_));
  RunSetImages(answers);
  EXPECT_TRUE(answers.messages.isEmpty());
  ASSERT_TRUE(doc_->ImagesLoaded());
  EXPECT_EQ(doc_->m_camera1.Width(), 200);
  EXPECT_EQ(doc_->m_camera2.Height(), 140);
  EXPECT_EQ(doc_->m_camera1.m_roi.width, 200);
  EXPECT_TRUE(doc_->m_camera1.m_gray.HasData());
  EXPECT_TRUE(doc_->IsModified());
  EXPECT_TRUE(frame_->QueryCommand(cmd::kAutomaticMatching).enabled);
}

TEST_F(SetImagesTest, ReplacingImagesAsksAndNoKeepsTheProject) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  AddMatches(*doc_, 3);
  ModalAnswers answers;
  answers.Then(FillAndAccept(third_, third_));
  answers.Then(answers.Press(QMessageBox::No));
  RunSetImages(answers);
  EXPECT_EQ(answers.messages, QStringList({"The project will be destroyed. Are you sure?"}));
  EXPECT_EQ(doc_->m_camera1.Width(), 200);
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 3);
}

TEST_F(SetImagesTest, ReplacingImagesWithYesEmptiesTheProjectFirst) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  AddMatches(*doc_, 3);
  ModalAnswers answers;
  answers.Then(FillAndAccept(third_, QString()));
  answers.Then(answers.Press(QMessageBox::Yes));
  RunSetImages(answers);
  EXPECT_EQ(doc_->m_camera1.Width(), 120);
  EXPECT_FALSE(doc_->m_camera2.HasImage());
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 0);
}

TEST_F(SetImagesTest, TwoEmptyNamesEmptyTheProjectAfterConfirmation) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  ModalAnswers answers;
  answers.Then(FillAndAccept(QString(), QString()));
  answers.Then(answers.Press(QMessageBox::Yes));
  RunSetImages(answers);
  EXPECT_TRUE(doc_->HasNoImages());
}

TEST_F(SetImagesTest, CancelChangesNothing) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  ModalAnswers answers;
  answers.Then<SetImagesDialog>([](SetImagesDialog* dialog) {
    dialog->reject();
    return true;
  });
  RunSetImages(answers);
  EXPECT_EQ(doc_->m_camera1.Width(), 200);
}

TEST_F(SetImagesTest, TheDialogPreviewsAt176By142AndRefusesEightBitBitmaps) {
  SetImagesDialog dialog(frame_);
  EXPECT_TRUE(dialog.NameEdit(0)->text().isEmpty());
  EXPECT_TRUE(dialog.NameEdit(0)->isReadOnly());
  EXPECT_EQ(dialog.NameEdit(1)->maxLength(), 255);
  ASSERT_TRUE(dialog.ChooseFile(0, first_));
  EXPECT_EQ(dialog.NameEdit(0)->text(), first_);
  EXPECT_EQ(dialog.Preview(0)->pixmap().size(), QSize(176, 142));

  const QString eightBit = WriteBitmap(dir_, "palette.bmp", 64, 64, true);
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Ok));
  EXPECT_FALSE(dialog.ChooseFile(0, eightBit));
  EXPECT_EQ(answers.messages,
            QStringList({"Pixel depth must be greater than 8 bpp. Please, try other file."}));
  EXPECT_EQ(dialog.FileName(0), first_) << "the previous choice stays";
  EXPECT_EQ(dialog.NameEdit(0)->text(), first_);

  answers.Then(answers.Press(QMessageBox::Ok));
  EXPECT_FALSE(dialog.ChooseFile(1, dir_.filePath("missing.bmp")));
  EXPECT_TRUE(dialog.FileName(1).isEmpty());
}

}  // namespace
}  // namespace q3d::test
